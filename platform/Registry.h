#pragma once
// The registry on Linux: a tree of keys holding named, typed values, with the operations
// and value types of the Windows registry. Key and value names compare without regard to
// case and keep the case they were first written in.
//
// HKEY_CURRENT_USER lives in an SQLite file ($XDG_CONFIG_HOME/Corvane/registry.sqlite3).
// Every write is one transaction in WAL mode, so copies of Corvane running side by side
// never lose each other's values, and a copy killed while saving leaves the last complete
// state. A file that cannot be used never stops Corvane: the hive then lives in memory,
// starts empty, and says once what went wrong (takeRegistryProblem).
//
// HKEY_LOCAL_MACHINE is a small read-only view of the running system.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

namespace corvane::platform {

// The Windows type codes; a value may carry any other code that someone wrote into the file.
enum class RegType : std::uint32_t { None = 0, Sz = 1, Binary = 3, Dword = 4 };

enum class RegStatus {
    Ok,
    NotFound,
    AccessDenied, // the hive is read-only
    KeyDeleted,   // someone deleted the key after it was opened
    HasSubKeys,   // deleteSubKey of a key that still has subkeys
    InvalidName,
    StoreFailed,  // the database refused the write (full disk, locked for too long, I/O error)
};

struct RegValue
{
    RegType type = RegType::None;
    // Sz: UTF-8 text without terminator; Dword: 4 bytes little-endian; other types: the bytes.
    QByteArray data;

    static RegValue fromString(const QString& text);
    static RegValue fromDword(std::uint32_t value);
    static RegValue fromBinary(const QByteArray& bytes);
    QString toString() const;
    // The first four bytes little-endian, missing bytes as zeros.
    std::uint32_t toDword() const;
};

class Hive;

// An open key. Copies refer to the same key; an open key keeps its hive alive.
class RegKey
{
public:
    RegKey() = default;

    bool isOpen() const { return m_hive != nullptr; }
    // The last element of the key's path; empty for a hive's root.
    QString name() const;
    bool isReadOnly() const;

    // A path of subkey names separated by "\" below this key; empty elements are skipped,
    // so an empty path opens this key again. With create, missing levels are made in one
    // transaction. A key that cannot be opened gives a closed RegKey.
    RegKey openSubKey(const QString& path, bool create, RegStatus* status = nullptr) const;
    bool subKeyExists(const QString& path) const;
    // False once someone deleted the key.
    bool exists() const;

    std::optional<RegValue> value(const QString& name) const;
    RegStatus setValue(const QString& name, const RegValue& value) const;
    RegStatus deleteValue(const QString& name) const;
    // Deletes one subkey with its values; refused (HasSubKeys) while it has subkeys of its own.
    RegStatus deleteSubKey(const QString& path) const;
    // Deletes a subkey with everything below it.
    RegStatus deleteSubKeyTree(const QString& path) const;

    // Names as first written; subkeys in name order, values in the order they were created.
    QStringList subKeyNames() const;
    QStringList valueNames() const;

    void close();

private:
    friend class Hive;
    RegKey(std::shared_ptr<Hive> hive, std::int64_t id);

    std::shared_ptr<Hive> m_hive;
    std::int64_t m_id = 0;
};

class Hive : public std::enable_shared_from_this<Hive>
{
public:
    // Opens or creates the database at the path. Never fails: a file that is damaged,
    // locked for longer than busyTimeoutMs or cannot be written gives an empty hive in
    // memory, and problem() tells why.
    static std::shared_ptr<Hive> open(const QString& path, int busyTimeoutMs = 3000);
    static std::shared_ptr<Hive> inMemory();
    ~Hive();
    Hive(const Hive&) = delete;
    Hive& operator=(const Hive&) = delete;

    RegKey root();
    // True for a hive whose file is in use; false when it runs in memory.
    bool isPersistent() const;
    bool isReadOnly() const;
    // Refuse writes from now on (a view that was filled once).
    void setReadOnly();
    QString path() const;
    // The user-facing text of what went wrong while opening; empty when nothing did.
    QString problem() const;

private:
    friend class RegKey;
    struct Impl;
    explicit Hive(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> d;
};

enum class RootKey { CurrentUser, LocalMachine };

// $XDG_CONFIG_HOME/Corvane/registry.sqlite3, with ~/.config when the variable is not set.
QString defaultRegistryPath();
// The user's hive, opened at defaultRegistryPath() on first use.
std::shared_ptr<Hive> currentUserHive();
// Puts another hive in place of the user's (another location, tests); null reopens the default.
void setCurrentUserHive(std::shared_ptr<Hive> hive);
// The read-only view of the system, built on first use.
std::shared_ptr<Hive> localMachineHive();
RegKey rootKey(RootKey root);

// What went wrong while opening the user's hive, the first time it is asked; empty after
// that and when nothing went wrong. The program shows it once.
QString takeRegistryProblem();

} // namespace corvane::platform
