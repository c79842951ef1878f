#include "PSetting.h"

#include "PSettingCodec.h"
#include "PSettingConsts.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRandomGenerator>
#include <cmath>
#include <limits>

namespace corvane::settings {

namespace {

// The locale's decimal separator; group separators are refused, as the number parser of
// the original accepted none.
std::optional<double> parseNumber(const QString& text)
{
    QLocale loc;
    loc.setNumberOptions(loc.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double d = loc.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

// Truncated toward zero; out-of-range values are clamped rather than wrapped.
std::int32_t truncToInt(double d)
{
    if (std::isnan(d))
        return 0;
    d = std::trunc(d);
    if (d >= double(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (d <= double(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(d);
}

QString floatText(double d)
{
    if (std::isnan(d))
        return QStringLiteral("NAN");
    if (std::isinf(d))
        return d > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    QLocale loc;
    loc.setNumberOptions(loc.numberOptions() | QLocale::OmitGroupSeparator);
    // Fifteen significant digits: what a double holds reliably.
    return loc.toString(d, 'g', 15);
}

const QDate& dayZero()
{
    static const QDate d(1899, 12, 30);
    return d;
}

constexpr double kMsPerDay = 86400000.0;
// 31 December 9999, the last day a date-time may hold.
constexpr double kLastDay = 2958465.0;

// Before day zero the fraction still counts forward from midnight: -1.25 is 29 December 1899, 06:00.
QString dateTimeText(double v)
{
    if (!std::isfinite(v) || std::abs(v) > kLastDay + 1)
        return floatText(v);
    const double days = std::trunc(v);
    const double frac = std::abs(v - days);
    std::int64_t ms = std::llround(frac * kMsPerDay);
    if (ms >= std::int64_t(kMsPerDay))
        ms = std::int64_t(kMsPerDay) - 1;
    const QDate date = dayZero().addDays(std::int64_t(days));
    const QLocale loc;
    if (ms == 0)
        return loc.toString(date, QLocale::ShortFormat);
    return loc.toString(QDateTime(date, QTime(0, 0).addMSecs(int(ms))), QLocale::ShortFormat);
}

std::optional<double> parseDateTime(const QString& text)
{
    const QLocale loc;
    QDateTime dt = loc.toDateTime(text.trimmed(), QLocale::ShortFormat);
    if (!dt.isValid()) {
        const QDate d = loc.toDate(text.trimmed(), QLocale::ShortFormat);
        if (!d.isValid())
            return std::nullopt;
        dt = QDateTime(d, QTime(0, 0));
    }
    const double days = double(dayZero().daysTo(dt.date()));
    const double frac = dt.time().msecsSinceStartOfDay() / kMsPerDay;
    return days >= 0 ? days + frac : days - frac;
}

struct Guard
{
    explicit Guard(bool& flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~Guard() { m_flag = false; }
    bool& m_flag;
};

} // namespace

EPException::EPException(const QString& message)
    : std::runtime_error(message.toStdString())
    , m_message(message)
{
}

// --- comma text ---

QString StringsToCommaText(const QStringList& list)
{
    if (list.size() == 1 && list.front().isEmpty())
        return QStringLiteral("\"\"");
    QStringList parts;
    parts.reserve(list.size());
    for (const QString& s : list) {
        // Empty items are quoted too, so a trailing one survives the round trip.
        bool quote = s.isEmpty();
        for (const QChar c : s) {
            if (c.unicode() <= ' ' || c == QLatin1Char('"') || c == QLatin1Char(',')) {
                quote = true;
                break;
            }
        }
        if (quote) {
            QString q = s;
            q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            parts << QLatin1Char('"') + q + QLatin1Char('"');
        } else {
            parts << s;
        }
    }
    return parts.join(QLatin1Char(','));
}

QStringList CommaTextToStrings(const QString& text)
{
    QStringList out;
    const qsizetype n = text.size();
    qsizetype p = 0;
    auto blank = [&](qsizetype i) { return i < n && text[i].unicode() >= 1 && text[i].unicode() <= ' '; };
    while (blank(p))
        ++p;
    while (p < n && text[p].unicode() != 0) {
        QString item;
        if (text[p] == QLatin1Char('"')) {
            ++p;
            while (p < n && text[p].unicode() != 0) {
                if (text[p] == QLatin1Char('"')) {
                    if (p + 1 < n && text[p + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const qsizetype start = p;
            while (p < n && text[p].unicode() > ' ' && text[p] != QLatin1Char(','))
                ++p;
            item = text.mid(start, p - start);
        }
        out << item;
        while (blank(p))
            ++p;
        if (p < n && text[p] == QLatin1Char(',')) {
            do
                ++p;
            while (blank(p));
        }
    }
    return out;
}

// --- hidden properties ---

void TPHiddenPropsUse::DefineProperty(const QString& Name, Reader Read, Writer Write)
{
    if (Read && Write)
        m_entries.push_back({Name, std::move(Read), std::move(Write)});
}

const TPHiddenPropsUse::Entry* TPHiddenPropsUse::Find(const QString& Name) const
{
    for (const Entry& e : m_entries) {
        if (e.Name.compare(Name, Qt::CaseInsensitive) == 0)
            return &e;
    }
    return nullptr;
}

// --- TPSetting ---

TPSetting::TPSetting(TPSettings* Owner, const QString& Name, const QString& BoundProperty,
                     const QString& RelAppSetting, bool Encrypted)
    : m_owner(Owner)
    , m_name(Name)
    , m_boundProperty(BoundProperty)
    , m_relAppSetting(RelAppSetting)
    , m_encrypted(Encrypted)
{
}

QString TPSetting::UniqueName() const
{
    QString u = m_boundProperty + m_name;
    for (QChar& c : u) {
        const char16_t x = c.unicode();
        const bool alnum = (x >= 'a' && x <= 'z') || (x >= 'A' && x <= 'Z') || (x >= '0' && x <= '9');
        if (!alnum)
            c = QLatin1Char('_');
    }
    return u;
}

void TPSetting::checkSettable() const
{
    if (m_value.Type == pvtHiddenProp || m_value.Type == pvtCollection)
        throw EPSettingException(consts::SCannotSetCollections());
}

void TPSetting::checkGettable() const
{
    if (m_value.Type == pvtHiddenProp || m_value.Type == pvtCollection)
        throw EPSettingException(consts::SCannotGetCollections());
}

void TPSetting::assign(TPValue Value)
{
    m_value = std::move(Value);
}

void TPSetting::afterSet()
{
    if (IsBound() && !m_readingProperty)
        WriteToProperty();
}

void TPSetting::ReadFromProperty()
{
    if (!IsBound() || m_writingProperty || !m_owner)
        return;
    Guard g(m_readingProperty);
    if (std::optional<TPValue> v = m_owner->ReadBoundProperty(*this))
        m_value = std::move(*v);
}

void TPSetting::WriteToProperty()
{
    if (!IsBound() || m_readingProperty || !m_owner || m_value.Type == pvtNone)
        return;
    Guard g(m_writingProperty);
    m_owner->WriteBoundProperty(*this);
}

void TPSetting::CaptureDesignedValue()
{
    if (!IsBound())
        return;
    ReadFromProperty();
    m_designed = m_value;
}

void TPSetting::Clear()
{
    m_value = TPValue();
}

void TPSetting::SetAsCommaText(const QString& Value)
{
    checkSettable();
    TPValue v;
    v.Type = pvtStrings;
    v.Text = Value;
    assign(std::move(v));
    afterSet();
}

QString TPSetting::stringForm() const
{
    switch (m_value.Type) {
    case pvtNone:
        return {};
    case pvtString:
    case pvtVariant:
    case pvtStrings:
        return m_value.Text;
    case pvtInteger:
        return QString::number(m_value.Integer);
    case pvtFloat:
        return floatText(m_value.Float.toDouble());
    case pvtBoolean:
        return m_value.Boolean ? consts::STrue() : consts::SFalse();
    case pvtDateTime:
        return dateTimeText(m_value.Float.toDouble());
    case pvtHiddenProp:
    case pvtCollection:
        break;
    }
    return {};
}

bool TPSetting::AsBoolean()
{
    ReadFromProperty();
    checkGettable();
    switch (m_value.Type) {
    case pvtString:
    case pvtVariant:
        return m_value.Text == consts::STrue();
    case pvtInteger:
        return m_value.Integer != 0;
    case pvtFloat:
        return m_value.Float.toDouble() != 0;
    case pvtBoolean:
        return m_value.Boolean;
    case pvtDateTime:
        throw EPSettingException(consts::SCannotConvert().arg(QStringLiteral("AsBoolean"), QStringLiteral("TDateTime")));
    case pvtStrings:
        throw EPSettingException(consts::SCannotConvert().arg(QStringLiteral("AsBoolean"), QStringLiteral("TStrings")));
    default:
        return false;
    }
}

std::int32_t TPSetting::AsInteger()
{
    ReadFromProperty();
    checkGettable();
    switch (m_value.Type) {
    case pvtString:
    case pvtVariant:
        return truncToInt(parseNumber(m_value.Text).value_or(0));
    case pvtInteger:
        return m_value.Integer;
    case pvtFloat:
        return truncToInt(m_value.Float.toDouble());
    case pvtBoolean:
        return m_value.Boolean ? 1 : 0;
    case pvtDateTime:
        throw EPSettingException(consts::SCannotConvert().arg(QStringLiteral("AsInteger"), QStringLiteral("TDateTime")));
    case pvtStrings:
        throw EPSettingException(consts::SCannotConvert().arg(QStringLiteral("AsInteger"), QStringLiteral("TStrings")));
    default:
        return 0;
    }
}

double TPSetting::floatValue(const char* Getter)
{
    ReadFromProperty();
    checkGettable();
    switch (m_value.Type) {
    case pvtString:
    case pvtVariant:
        return parseNumber(m_value.Text).value_or(0);
    case pvtInteger:
        return m_value.Integer;
    case pvtFloat:
    case pvtDateTime:
        return m_value.Float.toDouble();
    case pvtBoolean:
        return m_value.Boolean ? 1 : 0;
    case pvtStrings:
        throw EPSettingException(consts::SCannotConvert().arg(QLatin1String(Getter), QStringLiteral("TStrings")));
    default:
        return 0;
    }
}

double TPSetting::AsFloat()
{
    return floatValue("AsFloat");
}

TDateTime TPSetting::AsDateTime()
{
    ReadFromProperty();
    if (m_value.Type == pvtString || m_value.Type == pvtVariant) {
        if (auto n = parseNumber(m_value.Text))
            return *n;
        return parseDateTime(m_value.Text).value_or(0);
    }
    return floatValue("AsDateTime");
}

QString TPSetting::AsString()
{
    ReadFromProperty();
    checkGettable();
    return stringForm();
}

QVariant TPSetting::AsVariant()
{
    ReadFromProperty();
    checkGettable();
    switch (m_value.Type) {
    case pvtInteger:
        return QVariant(int(m_value.Integer));
    case pvtFloat:
    case pvtDateTime:
        return QVariant(m_value.Float.toDouble());
    case pvtBoolean:
        return QVariant(m_value.Boolean);
    default:
        return QVariant(stringForm());
    }
}

void TPSetting::AsStrings(QStringList& Into)
{
    ReadFromProperty();
    checkGettable();
    if (m_value.Type == pvtNone)
        return;
    if (m_value.Type == pvtStrings)
        Into = CommaTextToStrings(m_value.Text);
    else
        Into << stringForm();
}

void TPSetting::SetAsBoolean(bool Value)
{
    checkSettable();
    TPValue v;
    v.Type = pvtBoolean;
    v.Boolean = Value;
    assign(std::move(v));
    afterSet();
}

void TPSetting::SetAsInteger(std::int32_t Value)
{
    checkSettable();
    TPValue v;
    v.Type = pvtInteger;
    v.Integer = Value;
    assign(std::move(v));
    afterSet();
}

void TPSetting::SetAsFloat(double Value)
{
    SetAsExtended(Extended80::fromDouble(Value), pvtFloat);
}

void TPSetting::SetAsDateTime(TDateTime Value)
{
    SetAsExtended(Extended80::fromDouble(Value), pvtDateTime);
}

void TPSetting::SetAsExtended(const Extended80& Value, TPValueType Type)
{
    checkSettable();
    TPValue v;
    v.Type = Type == pvtDateTime ? pvtDateTime : pvtFloat;
    v.Float = Value;
    assign(std::move(v));
    afterSet();
}

void TPSetting::SetAsString(const QString& Value)
{
    checkSettable();
    TPValue v;
    v.Type = pvtString;
    v.Text = Value;
    assign(std::move(v));
    afterSet();
}

void TPSetting::SetAsVariant(const QVariant& Value)
{
    checkSettable();
    const QMetaType t = Value.metaType();
    if (t == QMetaType::fromType<QVariantList>() || t == QMetaType::fromType<QStringList>())
        throw EPSettingException(consts::SNoVariantArrays());
    TPValue v;
    v.Type = pvtVariant;
    if (t == QMetaType::fromType<bool>())
        v.Text = Value.toBool() ? consts::STrue() : consts::SFalse();
    else if (t == QMetaType::fromType<double>() || t == QMetaType::fromType<float>())
        v.Text = floatText(Value.toDouble());
    else
        v.Text = Value.toString();
    assign(std::move(v));
    afterSet();
}

void TPSetting::SetAsStrings(const QStringList& Value)
{
    checkSettable();
    TPValue v;
    v.Type = pvtStrings;
    v.Text = StringsToCommaText(Value);
    assign(std::move(v));
    afterSet();
}

bool TPSetting::IsModified()
{
    if (!IsBound())
        return true;
    if (m_value.Type != m_designed.Type)
        return true;
    switch (m_value.Type) {
    case pvtNone:
        return false;
    case pvtInteger:
        return m_value.Integer != m_designed.Integer;
    case pvtFloat:
    case pvtDateTime:
        return !(m_value.Float == m_designed.Float);
    case pvtBoolean:
        return m_value.Boolean != m_designed.Boolean;
    case pvtString:
    case pvtVariant:
    case pvtStrings:
        return m_value.Text != m_designed.Text;
    case pvtHiddenProp:
    case pvtCollection:
        return true;
    }
    return true;
}

QString TPSetting::SubKeyPath() const
{
    if (!IsBound())
        return {};
    QStringList parts = m_boundProperty.split(QLatin1Char('.'));
    parts.removeLast();
    return parts.join(QLatin1Char('\\'));
}

QString TPSetting::ValueName() const
{
    if (!IsBound())
        return m_name;
    return m_boundProperty.section(QLatin1Char('.'), -1);
}

void TPSetting::SaveToRegistry(TPRegistry& Reg, const QString& CollectionKey, bool SaveAll)
{
    if (!m_relAppSetting.isEmpty())
        return;
    if (IsBound())
        ReadFromProperty();
    const QString sub = SubKeyPath();
    const QString key = sub.isEmpty() ? CollectionKey : CollectionKey + QLatin1Char('\\') + sub;
    const QString name = ValueName();

    Reg.CloseKey();
    if (IsModified() || SaveAll) {
        // A key that cannot be made shows at the first write, which throws.
        Reg.OpenKey(key, true);
        struct Closer
        {
            TPRegistry& r;
            ~Closer() { r.CloseKey(); }
        } closer {Reg};
        if (m_value.Type == pvtNone)
            return;
        if (m_encrypted)
            Reg.WriteBinaryData(name, EncodeScrambled(*this, std::uint8_t(QRandomGenerator::global()->bounded(256))));
        else if (m_value.Type == pvtString)
            Reg.WriteString(name, m_value.Text);
        else if (m_value.Type == pvtInteger)
            Reg.WriteInteger(name, m_value.Integer);
        else
            Reg.WriteBinaryData(name, EncodeBinary(*this));
        return;
    }

    // Unchanged from the form's design: remove the stored value so the design applies.
    if (!Reg.OpenKey(key, false))
        return;
    if (Reg.ValueExists(name))
        Reg.DeleteValue(name);
    const bool empty = Reg.GetValueNames().isEmpty() && !Reg.HasSubKeys();
    Reg.CloseKey();
    if (empty)
        Reg.DeleteKey(key);
}

void TPSetting::RestoreFromRegistry(TPRegistry& Reg, const QString& CollectionKey)
{
    if (!m_relAppSetting.isEmpty())
        return;
    const QString sub = SubKeyPath();
    const QString key = sub.isEmpty() ? CollectionKey : CollectionKey + QLatin1Char('\\') + sub;
    const QString name = ValueName();

    Reg.CloseKey();
    if (!Reg.OpenKey(key, false))
        return;
    try {
        if (Reg.ValueExists(name)) {
            const platform::RegType type = Reg.GetDataType(name);
            if (m_encrypted)
                DecodeScrambled(*this, Reg.ReadBinaryData(name));
            else if (type == platform::RegType::Sz)
                SetAsString(Reg.ReadString(name));
            else if (type == platform::RegType::Dword)
                SetAsInteger(Reg.ReadInteger(name));
            else if (type == platform::RegType::Binary)
                DecodeBinary(*this, Reg.ReadBinaryData(name));
            WriteToProperty();
        }
    } catch (const std::exception&) {
        // One setting that cannot be restored must not stop the others.
    }
    Reg.CloseKey();
}

// --- TPRegistry ---

namespace {

platform::RegKey rootOf(TPRootKeyType root)
{
    return platform::rootKey(root == prkLocalMachine ? platform::RootKey::LocalMachine
                                                     : platform::RootKey::CurrentUser);
}

} // namespace

TPRegistry::TPRegistry(TPRootKeyType Root)
    : m_root(Root)
{
}

void TPRegistry::SetRootKey(TPRootKeyType Root)
{
    CloseKey();
    m_root = Root;
}

std::uint32_t TPRegistry::Access() const
{
    // KEY_ALL_ACCESS without KEY_CREATE_LINK for the machine hive, KEY_ALL_ACCESS otherwise.
    return m_root == prkLocalMachine ? 0xF001Fu : 0xF003Fu;
}

platform::RegKey TPRegistry::base(const QString& Key, QString& Relative) const
{
    if (Key.startsWith(QLatin1Char('\\'))) {
        Relative = Key.mid(1);
        return rootOf(m_root);
    }
    Relative = Key;
    return m_current.isOpen() ? m_current : rootOf(m_root);
}

bool TPRegistry::OpenKey(const QString& Key, bool CanCreate)
{
    const bool relative = !Key.startsWith(QLatin1Char('\\')) && m_current.isOpen();
    QString rel;
    const platform::RegKey from = base(Key, rel);
    platform::RegKey k = from.openSubKey(rel, CanCreate);
    if (!k.isOpen())
        return false;
    m_currentPath = relative ? m_currentPath + QLatin1Char('\\') + rel : rel;
    m_current = std::move(k);
    return true;
}

void TPRegistry::CloseKey()
{
    m_current.close();
    m_currentPath.clear();
}

std::optional<platform::RegValue> TPRegistry::read(const QString& Name) const
{
    if (!m_current.isOpen())
        return std::nullopt;
    return m_current.value(Name);
}

bool TPRegistry::ValueExists(const QString& Name) const
{
    return read(Name).has_value();
}

platform::RegType TPRegistry::GetDataType(const QString& Name) const
{
    const auto v = read(Name);
    return v ? v->type : platform::RegType::None;
}

int TPRegistry::GetDataSize(const QString& Name) const
{
    const auto v = read(Name);
    if (!v)
        return -1;
    return int(v->data.size()) + (v->type == platform::RegType::Sz ? 1 : 0);
}

QString TPRegistry::ReadString(const QString& Name) const
{
    const auto v = read(Name);
    if (!v)
        throw ERegistryException(consts::SRegGetDataFailed().arg(Name));
    if (v->type != platform::RegType::Sz)
        throw ERegistryException(consts::SInvalidRegType().arg(Name));
    return v->toString();
}

std::int32_t TPRegistry::ReadInteger(const QString& Name) const
{
    const auto v = read(Name);
    if (!v)
        throw ERegistryException(consts::SRegGetDataFailed().arg(Name));
    if (v->type != platform::RegType::Dword)
        throw ERegistryException(consts::SInvalidRegType().arg(Name));
    return std::int32_t(v->toDword());
}

QByteArray TPRegistry::ReadBinaryData(const QString& Name) const
{
    const auto v = read(Name);
    if (!v)
        throw ERegistryException(consts::SRegGetDataFailed().arg(Name));
    return v->data;
}

void TPRegistry::write(const QString& Name, const platform::RegValue& Value)
{
    if (!m_current.isOpen() || m_current.setValue(Name, Value) != platform::RegStatus::Ok)
        throw ERegistryException(consts::SRegSetDataFailed().arg(Name));
}

void TPRegistry::WriteString(const QString& Name, const QString& Value)
{
    write(Name, platform::RegValue::fromString(Value));
}

void TPRegistry::WriteInteger(const QString& Name, std::int32_t Value)
{
    write(Name, platform::RegValue::fromDword(std::uint32_t(Value)));
}

void TPRegistry::WriteBinaryData(const QString& Name, const QByteArray& Value)
{
    write(Name, platform::RegValue::fromBinary(Value));
}

bool TPRegistry::DeleteValue(const QString& Name)
{
    return m_current.isOpen() && m_current.deleteValue(Name) == platform::RegStatus::Ok;
}

bool TPRegistry::DeleteKey(const QString& Key)
{
    QString rel;
    const platform::RegKey from = base(Key, rel);
    return from.deleteSubKey(rel) == platform::RegStatus::Ok;
}

bool TPRegistry::KeyExists(const QString& Key) const
{
    QString rel;
    const platform::RegKey from = base(Key, rel);
    return from.subKeyExists(rel);
}

bool TPRegistry::HasSubKeys() const
{
    return m_current.isOpen() && !m_current.subKeyNames().isEmpty();
}

QStringList TPRegistry::GetValueNames() const
{
    return m_current.isOpen() ? m_current.valueNames() : QStringList();
}

QStringList TPRegistry::GetKeyNames() const
{
    return m_current.isOpen() ? m_current.subKeyNames() : QStringList();
}

// --- TPSettings ---

TPSettings::TPSettings(QObject* Owner)
    : QObject(Owner)
{
    TPRegistry reg(prkLocalMachine);
    const QString org = QStringLiteral("RegisteredOrganization");
    if (reg.OpenKey(QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion"), false) && reg.ValueExists(org)) {
        try {
            m_companyName = reg.ReadString(org);
        } catch (const ERegistryException&) {
            m_companyName.clear();
        }
    }
}

TPSettings::~TPSettings() = default;

TPSetting& TPSettings::AddSetting(const QString& Name, const QString& BoundProperty,
                                  const QString& RelAppSetting, bool Encrypted)
{
    for (const auto& s : m_settings) {
        if (s->Name() == Name && s->BoundProperty() == BoundProperty && s->RelAppSetting() == RelAppSetting
            && s->Encrypted() == Encrypted)
            return *s;
    }
    m_settings.push_back(std::make_unique<TPSetting>(this, Name, BoundProperty, RelAppSetting, Encrypted));
    return *m_settings.back();
}

TPSetting& TPSettings::SettingByName(const QString& Name) const
{
    for (const auto& s : m_settings) {
        if (s->Name() == Name)
            return *s;
    }
    throw EPSettingsException(consts::SNoSuchSetting().arg(Name));
}

QString TPSettings::FormKeyName()
{
    return parent() ? parent()->objectName() : objectName();
}

QString TPSettings::RegistryKeyPath()
{
    QString path = QStringLiteral("Software\\");
    for (const QString& part : {m_companyName, m_softwareName, m_softwareVersion}) {
        if (!part.isEmpty())
            path += part + QLatin1Char('\\');
    }
    return path + FormKeyName();
}

void TPSettings::SaveToRegistry()
{
    TPRegistry reg(m_rootKey);
    const QString key = RegistryKeyPath();
    for (const auto& s : m_settings)
        s->SaveToRegistry(reg, key, m_saveAll);
}

void TPSettings::RestoreFromRegistry()
{
    TPRegistry reg(m_rootKey);
    const QString key = RegistryKeyPath();
    for (const auto& s : m_settings)
        s->RestoreFromRegistry(reg, key);
}

void TPSettings::UserSave()
{
    if (!OnUserSave)
        return;
    for (const auto& s : m_settings)
        OnUserSave(this, *s);
}

void TPSettings::UserRestore()
{
    if (!OnUserRestore)
        return;
    for (const auto& s : m_settings)
        OnUserRestore(this, *s);
}

std::optional<TPValue> TPSettings::ReadBoundProperty(TPSetting&)
{
    return std::nullopt;
}

void TPSettings::WriteBoundProperty(TPSetting&)
{
}

} // namespace corvane::settings
