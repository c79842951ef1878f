#pragma once
// Every user-facing text of the settings store.
#include <QString>

namespace corvane::settings::consts {

inline QString SNoSuchSetting() { return QStringLiteral("No such setting: \"%1\""); }
inline QString SCannotSetCollections()
{
    return QStringLiteral("Cannot use SetAs functions with collections or hidden properties");
}
inline QString SCannotGetCollections()
{
    return QStringLiteral("Cannot use GetAs functions with collections or hidden properties");
}
inline QString SNoVariantArrays() { return QStringLiteral("TPSetting.AsVariant cannot accept variant arrays"); }
// %1 the getter (AsBoolean, AsInteger, AsFloat), %2 the stored type (TDateTime, TStrings).
inline QString SCannotConvert() { return QStringLiteral("TPSetting.%1 cannot convert from %2 type"); }
inline QString SParentNotForm() { return QStringLiteral("Parent must be a TCustomForm descendent"); }
// Texts of the registry layer; %1 the value name.
inline QString SRegSetDataFailed() { return QStringLiteral("Failed to set data for '%1'"); }
inline QString SRegGetDataFailed() { return QStringLiteral("Failed to get data for '%1'"); }
inline QString SInvalidRegType() { return QStringLiteral("Invalid data type for '%1'"); }

// Names of the two boolean values, as stored and compared.
inline QString STrue() { return QStringLiteral("True"); }
inline QString SFalse() { return QStringLiteral("False"); }
// Header of a scrambled value.
inline constexpr char SScrambleHeader[] = "TPSOK";

} // namespace corvane::settings::consts
