#pragma once
// Named, typed settings kept in the registry. A setting either has a name and a value of its
// own, or is bound to a property of a form ("frmMain.Font.Name") and reads and writes that
// property. TPSettings owns an ordered list of settings and saves or restores them under
// HKEY_CURRENT_USER\Software\[company\]software\[version\]formkey.
#include "Extended80.h"
#include "platform/Registry.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace corvane::settings {

class EPException : public std::runtime_error
{
public:
    explicit EPException(const QString& message);
    QString Message() const { return m_message; }

private:
    QString m_message;
};

// A conversion or a setter refused.
class EPSettingException : public EPException
{
    using EPException::EPException;
};
// A collection could not find a setting.
class EPSettingsException : public EPException
{
    using EPException::EPException;
};
class EPFormSettingsException : public EPException
{
    using EPException::EPException;
};
// The registry layer could not read or write a value.
class ERegistryException : public EPException
{
    using EPException::EPException;
};

// The codes are written into stored binary values: never renumber them.
enum TPValueType : std::uint8_t {
    pvtNone = 0,
    pvtString = 1,
    pvtInteger = 2,
    pvtFloat = 3,
    pvtBoolean = 4,
    pvtDateTime = 5,
    pvtVariant = 6,
    pvtStrings = 7,
    pvtHiddenProp = 8,
    pvtCollection = 9,
};

enum TPRootKeyType { prkCurrentUser, prkLocalMachine };

// Days since 30 December 1899, the time of day as the fraction.
using TDateTime = double;

// The comma text of a string list: items joined by ",", an item holding a space, a control
// character, a comma or a double quote, or nothing at all, is quoted (quotes doubled).
QString StringsToCommaText(const QStringList& list);
// The reverse; unquoted items also end at spaces and control characters.
QStringList CommaTextToStrings(const QString& text);

// Collects the privately streamed properties that an object announces; only announcements
// that come with both a reader and a writer are kept.
class TPHiddenPropsUse
{
public:
    using Reader = std::function<void(const QByteArray& data)>;
    using Writer = std::function<QByteArray()>;
    struct Entry
    {
        QString Name;
        Reader Read;
        Writer Write;
    };

    void DefineProperty(const QString& Name, Reader Read, Writer Write);
    const Entry* Find(const QString& Name) const;

private:
    std::vector<Entry> m_entries;
};

// An object with privately streamed properties, which a binding can name.
class IPHiddenProps
{
public:
    virtual ~IPHiddenProps() = default;
    virtual void DefineProperties(TPHiddenPropsUse& Filer) = 0;
};

// A collection of items that a binding can name; the items are QObjects whose stored
// properties are streamed (see PStreaming.h).
class TPCollection : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual int Count() const = 0;
    virtual QObject* Item(int Index) const = 0;
    virtual QObject* Add() = 0;
    virtual void Clear() = 0;
};

struct TPValue
{
    TPValueType Type = pvtNone;
    QString Text; // pvtString, pvtVariant, pvtStrings
    std::int32_t Integer = 0;
    bool Boolean = false;
    Extended80 Float; // pvtFloat, pvtDateTime
    QPointer<QObject> Object; // pvtHiddenProp (the owning object), pvtCollection
};

class TPSettings;
class TPRegistry;

class TPSetting
{
public:
    explicit TPSetting(TPSettings* Owner, const QString& Name = {}, const QString& BoundProperty = {},
                       const QString& RelAppSetting = {}, bool Encrypted = false);
    TPSetting(const TPSetting&) = delete;
    TPSetting& operator=(const TPSetting&) = delete;

    TPSettings* Owner() const { return m_owner; }
    QString Name() const { return m_name; }
    void SetName(const QString& Name) { m_name = Name; }
    QString BoundProperty() const { return m_boundProperty; }
    void SetBoundProperty(const QString& Path) { m_boundProperty = Path; }
    QString RelAppSetting() const { return m_relAppSetting; }
    void SetRelAppSetting(const QString& Name) { m_relAppSetting = Name; }
    bool Encrypted() const { return m_encrypted; }
    void SetEncrypted(bool Encrypted) { m_encrypted = Encrypted; }
    bool IsBound() const { return !m_boundProperty.isEmpty(); }
    // BoundProperty then Name, every character but ASCII letters and digits as "_".
    QString UniqueName() const;

    // The stored value as it is, without reading the bound property.
    TPValueType ValueType() const { return m_value.Type; }
    const TPValue& Value() const { return m_value; }
    const TPValue& DesignedValue() const { return m_designed; }

    // Getters re-read a bound property first; they throw EPSettingException where a
    // conversion is refused. A setting never written reads as empty text, 0 or false.
    bool AsBoolean();
    std::int32_t AsInteger();
    double AsFloat();
    TDateTime AsDateTime();
    QString AsString();
    QVariant AsVariant();
    // Adds to the caller's list (or replaces it for a string-list value).
    void AsStrings(QStringList& Into);

    // Setters throw EPSettingException for collections and hidden properties, and write a
    // bound property at once.
    void SetAsBoolean(bool Value);
    void SetAsInteger(std::int32_t Value);
    void SetAsFloat(double Value);
    void SetAsDateTime(TDateTime Value);
    void SetAsString(const QString& Value);
    void SetAsVariant(const QVariant& Value);
    void SetAsStrings(const QStringList& Value);
    // The exact stored float, kept to the last bit (pvtFloat or pvtDateTime).
    void SetAsExtended(const Extended80& Value, TPValueType Type = pvtFloat);

    bool IsModified();

    // Back to pvtNone, releasing the value.
    void Clear();
    // A string-list value given as its comma text.
    void SetAsCommaText(const QString& Value);

    // Bound properties (the owner does the work).
    void ReadFromProperty();
    void WriteToProperty();
    void CaptureDesignedValue();

    // Where the setting lives below the collection's key: the subkey path ("" for a named
    // setting) and the value name.
    QString SubKeyPath() const;
    QString ValueName() const;

    void SaveToRegistry(TPRegistry& Reg, const QString& CollectionKey, bool SaveAll);
    void RestoreFromRegistry(TPRegistry& Reg, const QString& CollectionKey);

private:
    void checkSettable() const;
    void checkGettable() const;
    void assign(TPValue Value);
    void afterSet();
    QString stringForm() const;
    double floatValue(const char* Getter);

    TPSettings* m_owner;
    QString m_name;
    QString m_boundProperty;
    QString m_relAppSetting;
    bool m_encrypted = false;
    TPValue m_value;
    TPValue m_designed;
    bool m_writingProperty = false;
    bool m_readingProperty = false;
};

// The registry accessor: a root key, at most one open key and that key's path.
class TPRegistry
{
public:
    explicit TPRegistry(TPRootKeyType Root = prkCurrentUser);

    TPRootKeyType RootKey() const { return m_root; }
    void SetRootKey(TPRootKeyType Root);
    // The access mask keys are opened with; kept for what callers may show of it.
    std::uint32_t Access() const;

    // "\..." opens from the root; other paths below the open key, or the root when none is
    // open. A failed open leaves the current key as it was.
    bool OpenKey(const QString& Key, bool CanCreate);
    void CloseKey();
    bool HasCurrentKey() const { return m_current.isOpen(); }
    QString CurrentPath() const { return m_currentPath; }

    bool ValueExists(const QString& Name) const;
    platform::RegType GetDataType(const QString& Name) const;
    // Bytes of the data (text with its terminator); -1 when the value does not exist.
    int GetDataSize(const QString& Name) const;
    // These throw ERegistryException when the value is missing or of another type.
    QString ReadString(const QString& Name) const;
    std::int32_t ReadInteger(const QString& Name) const;
    QByteArray ReadBinaryData(const QString& Name) const;
    // These throw ERegistryException "Failed to set data for '...'" when the write fails.
    void WriteString(const QString& Name, const QString& Value);
    void WriteInteger(const QString& Name, std::int32_t Value);
    void WriteBinaryData(const QString& Name, const QByteArray& Value);
    bool DeleteValue(const QString& Name);
    // A key that still has subkeys is kept, so nothing below it is lost.
    bool DeleteKey(const QString& Key);
    bool KeyExists(const QString& Key) const;
    bool HasSubKeys() const;
    QStringList GetValueNames() const;
    QStringList GetKeyNames() const;

private:
    platform::RegKey base(const QString& Key, QString& Relative) const;
    std::optional<platform::RegValue> read(const QString& Name) const;
    void write(const QString& Name, const platform::RegValue& Value);

    TPRootKeyType m_root;
    platform::RegKey m_current;
    QString m_currentPath;
};

class TPSettings : public QObject
{
    Q_OBJECT
public:
    using SettingEvent = std::function<void(QObject* Sender, TPSetting& Setting)>;
    using NotifyEvent = std::function<void(QObject* Sender)>;
    using ContinueEvent = std::function<void(QObject* Sender, bool& Continue)>;

    explicit TPSettings(QObject* Owner = nullptr);
    ~TPSettings() override;

    QString CompanyName() const { return m_companyName; }
    virtual void SetCompanyName(const QString& Value) { m_companyName = Value; }
    QString SoftwareName() const { return m_softwareName; }
    virtual void SetSoftwareName(const QString& Value) { m_softwareName = Value; }
    QString SoftwareVersion() const { return m_softwareVersion; }
    virtual void SetSoftwareVersion(const QString& Value) { m_softwareVersion = Value; }
    TPRootKeyType RegistryRootKey() const { return m_rootKey; }
    virtual void SetRegistryRootKey(TPRootKeyType Value) { m_rootKey = Value; }
    // Save every setting, not only the modified ones.
    bool SaveAll() const { return m_saveAll; }
    void SetSaveAll(bool Value) { m_saveAll = Value; }

    // Declares a setting; an entry equal in all four fields is not added twice.
    TPSetting& AddSetting(const QString& Name, const QString& BoundProperty = {},
                          const QString& RelAppSetting = {}, bool Encrypted = false);
    int Count() const { return int(m_settings.size()); }
    TPSetting& Setting(int Index) const { return *m_settings.at(std::size_t(Index)); }
    // Case-sensitive; throws EPSettingsException "No such setting: "name"".
    TPSetting& SettingByName(const QString& Name) const;

    virtual QString RegistryKeyPath();
    virtual void SaveToRegistry();
    virtual void RestoreFromRegistry();
    virtual void UserSave();
    virtual void UserRestore();

    // Reading and writing bound properties; this base class has no form and leaves the
    // value as it is.
    virtual std::optional<TPValue> ReadBoundProperty(TPSetting& Setting);
    virtual void WriteBoundProperty(TPSetting& Setting);

    SettingEvent OnUserSave;
    SettingEvent OnUserRestore;
    NotifyEvent OnPreSave;
    NotifyEvent OnPostSave;
    NotifyEvent OnPreRestore;
    NotifyEvent OnPostRestore;
    ContinueEvent OnAutoSave;
    ContinueEvent OnAutoRestore;

protected:
    // The last element of the key path; the owner's object name here.
    virtual QString FormKeyName();

    std::vector<std::unique_ptr<TPSetting>> m_settings;

private:
    QString m_companyName;
    QString m_softwareName;
    QString m_softwareVersion;
    TPRootKeyType m_rootKey = prkCurrentUser;
    bool m_saveAll = true;
};

} // namespace corvane::settings
