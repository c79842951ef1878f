#include "Registry.h"

#include "RegistryConsts.h"
#include "core/OsRelease.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QtEndian>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace corvane::platform {

namespace {

struct DbCloser
{
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;

class Statement
{
public:
    Statement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, std::int64_t v)
    {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Statement& bind(int i, const QString& s)
    {
        const QByteArray u = s.toUtf8();
        sqlite3_bind_text(m_stmt, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindBlob(int i, const QByteArray& b)
    {
        // A null pointer would store NULL; an empty value must stay a zero-length blob.
        static const char empty = 0;
        sqlite3_bind_blob(m_stmt, i, b.isEmpty() ? &empty : b.constData(), int(b.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step()
    {
        if (m_rc != SQLITE_OK || !m_stmt)
            return m_rc == SQLITE_OK ? SQLITE_MISUSE : m_rc;
        return sqlite3_step(m_stmt);
    }
    std::int64_t int64(int c) const { return sqlite3_column_int64(m_stmt, c); }
    int columnType(int c) const { return sqlite3_column_type(m_stmt, c); }
    QByteArray bytes(int c) const
    {
        const void* p = sqlite3_column_blob(m_stmt, c);
        const int n = sqlite3_column_bytes(m_stmt, c);
        return p && n > 0 ? QByteArray(static_cast<const char*>(p), n) : QByteArray("");
    }
    QString text(int c) const { return QString::fromUtf8(bytes(c)); }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

int exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// BEGIN IMMEDIATE takes the write lock at once (waiting up to the busy timeout), so a
// transaction never fails halfway because another copy of Corvane started writing.
class Transaction
{
public:
    explicit Transaction(sqlite3* db)
        : m_db(db)
        , m_rc(exec(db, "BEGIN IMMEDIATE"))
    {
    }
    ~Transaction()
    {
        if (m_rc == SQLITE_OK && !m_done)
            exec(m_db, "ROLLBACK");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool ok() const { return m_rc == SQLITE_OK; }
    int code() const { return m_rc; }
    bool commit()
    {
        if (exec(m_db, "COMMIT") != SQLITE_OK)
            return false;
        m_done = true;
        return true;
    }

private:
    sqlite3* m_db;
    int m_rc;
    bool m_done = false;
};

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB,"
    " PRIMARY KEY(key, fold));";

QString fold(const QString& name)
{
    return name.toCaseFolded();
}

QStringList splitPath(const QString& path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

QString describe(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
        return consts::SRegistryDamaged();
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return consts::SRegistryLocked();
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return consts::SRegistryReadOnly();
    default:
        return QString::fromUtf8(sqlite3_errstr(rc));
    }
}

} // namespace

struct Hive::Impl
{
    DbHandle db;
    QString path;
    QString problem;
    bool persistent = false;
    bool readOnly = false;

    // Empty on success, else why the file cannot be used.
    QString openFile(const QString& file, int busyTimeoutMs)
    {
        sqlite3* raw = nullptr;
        int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &raw,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        db.reset(raw);
        if (rc != SQLITE_OK)
            return describe(rc);
        sqlite3_extended_result_codes(db.get(), 1);
        sqlite3_busy_timeout(db.get(), busyTimeoutMs);

        rc = exec(db.get(), "PRAGMA journal_mode=WAL");
        if (rc != SQLITE_OK)
            return describe(rc);
        // NORMAL in WAL mode: a killed process never damages the file or loses a committed
        // transaction; only a power cut can lose the last ones.
        exec(db.get(), "PRAGMA synchronous=NORMAL");
        {
            Statement check(db.get(), "PRAGMA quick_check");
            rc = check.step();
            if (rc != SQLITE_ROW)
                return describe(rc);
            if (check.text(0) != QLatin1String("ok"))
                return consts::SRegistryDamaged();
        }
        Transaction t(db.get());
        if (!t.ok())
            return describe(t.code());
        rc = exec(db.get(), kSchema);
        if (rc != SQLITE_OK)
            return describe(rc);
        if (!t.commit())
            return describe(sqlite3_errcode(db.get()));
        persistent = true;
        return {};
    }

    void openMemory()
    {
        sqlite3* raw = nullptr;
        sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        db.reset(raw);
        exec(db.get(), kSchema);
        persistent = false;
    }

    bool keyAlive(std::int64_t id)
    {
        if (id == 0)
            return true;
        Statement s(db.get(), "SELECT 1 FROM keys WHERE id=?1");
        s.bind(1, id);
        return s.step() == SQLITE_ROW;
    }

    std::optional<std::int64_t> child(std::int64_t parent, const QString& name)
    {
        Statement s(db.get(), "SELECT id FROM keys WHERE parent=?1 AND fold=?2");
        s.bind(1, parent).bind(2, fold(name));
        if (s.step() == SQLITE_ROW)
            return s.int64(0);
        return std::nullopt;
    }

    std::optional<std::int64_t> walk(std::int64_t from, const QStringList& parts)
    {
        if (!keyAlive(from))
            return std::nullopt;
        std::int64_t id = from;
        for (const QString& p : parts) {
            auto next = child(id, p);
            if (!next)
                return std::nullopt;
            id = *next;
        }
        return id;
    }

    std::optional<std::int64_t> create(std::int64_t from, const QStringList& parts, RegStatus& status)
    {
        if (readOnly) {
            status = RegStatus::AccessDenied;
            return std::nullopt;
        }
        Transaction t(db.get());
        if (!t.ok()) {
            status = RegStatus::StoreFailed;
            return std::nullopt;
        }
        if (!keyAlive(from)) {
            status = RegStatus::KeyDeleted;
            return std::nullopt;
        }
        std::int64_t id = from;
        for (const QString& p : parts) {
            if (auto next = child(id, p)) {
                id = *next;
                continue;
            }
            Statement ins(db.get(), "INSERT INTO keys(parent, name, fold) VALUES(?1, ?2, ?3)");
            ins.bind(1, id).bind(2, p).bind(3, fold(p));
            if (ins.step() != SQLITE_DONE) {
                status = RegStatus::StoreFailed;
                return std::nullopt;
            }
            id = sqlite3_last_insert_rowid(db.get());
        }
        if (!t.commit()) {
            status = RegStatus::StoreFailed;
            return std::nullopt;
        }
        status = RegStatus::Ok;
        return id;
    }

    // Deletes keys with their values; the ids must come from the same transaction.
    bool deleteKeys(const std::vector<std::int64_t>& ids)
    {
        for (std::int64_t id : ids) {
            Statement v(db.get(), "DELETE FROM vals WHERE key=?1");
            v.bind(1, id);
            Statement k(db.get(), "DELETE FROM keys WHERE id=?1");
            k.bind(1, id);
            if (v.step() != SQLITE_DONE || k.step() != SQLITE_DONE)
                return false;
        }
        return true;
    }
};

// --- RegValue ---

RegValue RegValue::fromString(const QString& text)
{
    return {RegType::Sz, text.toUtf8()};
}

RegValue RegValue::fromDword(std::uint32_t value)
{
    QByteArray b(4, '\0');
    qToLittleEndian(value, b.data());
    return {RegType::Dword, b};
}

RegValue RegValue::fromBinary(const QByteArray& bytes)
{
    return {RegType::Binary, bytes};
}

QString RegValue::toString() const
{
    return QString::fromUtf8(data);
}

std::uint32_t RegValue::toDword() const
{
    unsigned char b[4] = {0, 0, 0, 0};
    for (qsizetype i = 0; i < 4 && i < data.size(); ++i)
        b[i] = static_cast<unsigned char>(data[i]);
    return qFromLittleEndian<std::uint32_t>(b);
}

// --- RegKey ---

RegKey::RegKey(std::shared_ptr<Hive> hive, std::int64_t id)
    : m_hive(std::move(hive))
    , m_id(id)
{
}

QString RegKey::name() const
{
    if (!m_hive || m_id == 0)
        return {};
    Statement s(m_hive->d->db.get(), "SELECT name FROM keys WHERE id=?1");
    s.bind(1, m_id);
    return s.step() == SQLITE_ROW ? s.text(0) : QString();
}

bool RegKey::isReadOnly() const
{
    return !m_hive || m_hive->d->readOnly;
}

RegKey RegKey::openSubKey(const QString& path, bool create, RegStatus* status) const
{
    RegStatus st = RegStatus::NotFound;
    RegKey result;
    if (m_hive) {
        const QStringList parts = splitPath(path);
        auto id = m_hive->d->walk(m_id, parts);
        if (id) {
            st = RegStatus::Ok;
        } else if (create) {
            id = m_hive->d->create(m_id, parts, st);
        } else if (!m_hive->d->keyAlive(m_id)) {
            st = RegStatus::KeyDeleted;
        }
        if (id)
            result = RegKey(m_hive, *id);
    }
    if (status)
        *status = st;
    return result;
}

bool RegKey::subKeyExists(const QString& path) const
{
    return m_hive && m_hive->d->walk(m_id, splitPath(path)).has_value();
}

bool RegKey::exists() const
{
    return m_hive && m_hive->d->keyAlive(m_id);
}

std::optional<RegValue> RegKey::value(const QString& name) const
{
    if (!m_hive)
        return std::nullopt;
    Statement s(m_hive->d->db.get(), "SELECT type, data FROM vals WHERE key=?1 AND fold=?2");
    s.bind(1, m_id).bind(2, fold(name));
    if (s.step() != SQLITE_ROW)
        return std::nullopt;
    RegValue v;
    v.type = static_cast<RegType>(static_cast<std::uint32_t>(s.int64(0)));
    const int ct = s.columnType(1);
    if (v.type == RegType::Dword && (ct == SQLITE_INTEGER || ct == SQLITE_FLOAT))
        v = RegValue::fromDword(static_cast<std::uint32_t>(s.int64(1)));
    else
        v.data = ct == SQLITE_NULL ? QByteArray("") : s.bytes(1);
    return v;
}

RegStatus RegKey::setValue(const QString& name, const RegValue& value) const
{
    if (!m_hive)
        return RegStatus::NotFound;
    Hive::Impl& h = *m_hive->d;
    if (h.readOnly)
        return RegStatus::AccessDenied;
    Transaction t(h.db.get());
    if (!t.ok())
        return RegStatus::StoreFailed;
    if (!h.keyAlive(m_id))
        return RegStatus::KeyDeleted;
    // The name keeps the case it was first written in; the row keeps its place in the order.
    Statement s(h.db.get(),
                "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
                "ON CONFLICT(key, fold) DO UPDATE SET type=excluded.type, data=excluded.data");
    s.bind(1, m_id).bind(2, name).bind(3, fold(name)).bind(4, std::int64_t(value.type));
    if (value.type == RegType::Sz)
        s.bind(5, value.toString());
    else if (value.type == RegType::Dword)
        s.bind(5, std::int64_t(value.toDword()));
    else
        s.bindBlob(5, value.data);
    if (s.step() != SQLITE_DONE)
        return RegStatus::StoreFailed;
    return t.commit() ? RegStatus::Ok : RegStatus::StoreFailed;
}

RegStatus RegKey::deleteValue(const QString& name) const
{
    if (!m_hive)
        return RegStatus::NotFound;
    Hive::Impl& h = *m_hive->d;
    if (h.readOnly)
        return RegStatus::AccessDenied;
    Transaction t(h.db.get());
    if (!t.ok())
        return RegStatus::StoreFailed;
    Statement s(h.db.get(), "DELETE FROM vals WHERE key=?1 AND fold=?2");
    s.bind(1, m_id).bind(2, fold(name));
    if (s.step() != SQLITE_DONE)
        return RegStatus::StoreFailed;
    const bool found = sqlite3_changes(h.db.get()) > 0;
    if (!t.commit())
        return RegStatus::StoreFailed;
    return found ? RegStatus::Ok : RegStatus::NotFound;
}

RegStatus RegKey::deleteSubKey(const QString& path) const
{
    if (!m_hive)
        return RegStatus::NotFound;
    Hive::Impl& h = *m_hive->d;
    if (h.readOnly)
        return RegStatus::AccessDenied;
    const QStringList parts = splitPath(path);
    if (parts.isEmpty())
        return RegStatus::InvalidName;
    Transaction t(h.db.get());
    if (!t.ok())
        return RegStatus::StoreFailed;
    auto id = h.walk(m_id, parts);
    if (!id)
        return RegStatus::NotFound;
    Statement sub(h.db.get(), "SELECT 1 FROM keys WHERE parent=?1 LIMIT 1");
    sub.bind(1, *id);
    if (sub.step() == SQLITE_ROW)
        return RegStatus::HasSubKeys;
    if (!h.deleteKeys({*id}) || !t.commit())
        return RegStatus::StoreFailed;
    return RegStatus::Ok;
}

RegStatus RegKey::deleteSubKeyTree(const QString& path) const
{
    if (!m_hive)
        return RegStatus::NotFound;
    Hive::Impl& h = *m_hive->d;
    if (h.readOnly)
        return RegStatus::AccessDenied;
    const QStringList parts = splitPath(path);
    if (parts.isEmpty())
        return RegStatus::InvalidName;
    Transaction t(h.db.get());
    if (!t.ok())
        return RegStatus::StoreFailed;
    auto id = h.walk(m_id, parts);
    if (!id)
        return RegStatus::NotFound;
    std::vector<std::int64_t> ids;
    {
        // UNION, not UNION ALL: a hand-edited file with a cycle of parents still ends.
        Statement s(h.db.get(),
                    "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION SELECT k.id FROM keys k JOIN sub ON k.parent=sub.id) "
                    "SELECT id FROM sub");
        s.bind(1, *id);
        while (s.step() == SQLITE_ROW)
            ids.push_back(s.int64(0));
    }
    if (!h.deleteKeys(ids) || !t.commit())
        return RegStatus::StoreFailed;
    return RegStatus::Ok;
}

QStringList RegKey::subKeyNames() const
{
    QStringList names;
    if (!m_hive)
        return names;
    Statement s(m_hive->d->db.get(), "SELECT name FROM keys WHERE parent=?1 ORDER BY fold");
    s.bind(1, m_id);
    while (s.step() == SQLITE_ROW)
        names << s.text(0);
    return names;
}

QStringList RegKey::valueNames() const
{
    QStringList names;
    if (!m_hive)
        return names;
    Statement s(m_hive->d->db.get(), "SELECT name FROM vals WHERE key=?1 ORDER BY rowid");
    s.bind(1, m_id);
    while (s.step() == SQLITE_ROW)
        names << s.text(0);
    return names;
}

void RegKey::close()
{
    m_hive.reset();
    m_id = 0;
}

// --- Hive ---

Hive::Hive(std::unique_ptr<Impl> impl)
    : d(std::move(impl))
{
}

Hive::~Hive() = default;

std::shared_ptr<Hive> Hive::open(const QString& path, int busyTimeoutMs)
{
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    QString why;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        why = consts::SRegistryNoFolder();
    else
        why = impl->openFile(path, busyTimeoutMs);
    if (!why.isEmpty()) {
        impl->openMemory();
        impl->problem = consts::SRegistryUnusable().arg(QDir::toNativeSeparators(path), why);
    }
    return std::shared_ptr<Hive>(new Hive(std::move(impl)));
}

std::shared_ptr<Hive> Hive::inMemory()
{
    auto impl = std::make_unique<Impl>();
    impl->openMemory();
    return std::shared_ptr<Hive>(new Hive(std::move(impl)));
}

RegKey Hive::root()
{
    return RegKey(shared_from_this(), 0);
}

bool Hive::isPersistent() const
{
    return d->persistent;
}

bool Hive::isReadOnly() const
{
    return d->readOnly;
}

void Hive::setReadOnly()
{
    d->readOnly = true;
}

QString Hive::path() const
{
    return d->path;
}

QString Hive::problem() const
{
    return d->problem;
}

// --- the program's hives ---

namespace {

struct Hives
{
    QMutex mutex;
    std::shared_ptr<Hive> user;
    std::shared_ptr<Hive> machine;
    bool problemTaken = false;
};

Hives& hives()
{
    static Hives h;
    return h;
}

QByteArray readSmallFile(const char* path)
{
    QFile f(QString::fromLatin1(path));
    return f.open(QIODevice::ReadOnly) ? f.read(1 << 20) : QByteArray();
}

void fillSystemView(const RegKey& root)
{
    QByteArray osRelease = readSmallFile("/etc/os-release");
    if (osRelease.isEmpty())
        osRelease = readSmallFile("/usr/lib/os-release");
    QString product = core::OsReleaseValue(osRelease, "PRETTY_NAME");
    if (product.isEmpty())
        product = QStringLiteral("Linux");

    utsname u {};
    uname(&u);
    const QString release = QString::fromUtf8(u.release);

    QString owner;
    if (const passwd* pw = getpwuid(getuid())) {
        owner = QString::fromUtf8(pw->pw_gecos).section(QLatin1Char(','), 0, 0);
        if (owner.isEmpty())
            owner = QString::fromUtf8(pw->pw_name);
    }

    // Deliberately no RegisteredOrganization: it would add a level to every settings path.
    const RegKey cv = root.openSubKey(QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion"), true);
    cv.setValue(QStringLiteral("ProductName"), RegValue::fromString(product));
    cv.setValue(QStringLiteral("Version"), RegValue::fromString(core::OsReleaseValue(osRelease, "VERSION_ID")));
    cv.setValue(QStringLiteral("VersionNumber"), RegValue::fromString(release));
    cv.setValue(QStringLiteral("RegisteredOwner"), RegValue::fromString(owner));

    const RegKey nt = root.openSubKey(QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"), true);
    nt.setValue(QStringLiteral("ProductName"), RegValue::fromString(product));
    nt.setValue(QStringLiteral("CurrentVersion"), RegValue::fromString(release));
    nt.setValue(QStringLiteral("CurrentBuildNumber"), RegValue::fromString(QString::fromUtf8(u.version)));
    nt.setValue(QStringLiteral("RegisteredOwner"), RegValue::fromString(owner));

    const RegKey cn = root.openSubKey(
        QStringLiteral("SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName"), true);
    cn.setValue(QStringLiteral("ComputerName"), RegValue::fromString(QString::fromUtf8(u.nodename)));

    // One key per logical processor, from /proc/cpuinfo's blocks.
    const QByteArray cpuinfo = readSmallFile("/proc/cpuinfo");
    int index = -1;
    RegKey cpu;
    for (const QByteArray& line : cpuinfo.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray key = line.left(colon).trimmed();
        const QString val = QString::fromUtf8(line.mid(colon + 1).trimmed());
        if (key == "processor") {
            ++index;
            cpu = root.openSubKey(QStringLiteral("HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\%1").arg(index), true);
        } else if (!cpu.isOpen()) {
            continue;
        } else if (key == "model name") {
            cpu.setValue(QStringLiteral("ProcessorNameString"), RegValue::fromString(val));
        } else if (key == "vendor_id") {
            cpu.setValue(QStringLiteral("VendorIdentifier"), RegValue::fromString(val));
        } else if (key == "cpu MHz") {
            cpu.setValue(QStringLiteral("~MHz"), RegValue::fromDword(std::uint32_t(val.toDouble() + 0.5)));
        }
    }
}

} // namespace

QString defaultRegistryPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // XDG base directories must be absolute; a relative one is ignored.
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Corvane/registry.sqlite3");
}

std::shared_ptr<Hive> currentUserHive()
{
    Hives& h = hives();
    QMutexLocker lock(&h.mutex);
    if (!h.user)
        h.user = Hive::open(defaultRegistryPath());
    return h.user;
}

void setCurrentUserHive(std::shared_ptr<Hive> hive)
{
    Hives& h = hives();
    QMutexLocker lock(&h.mutex);
    h.user = std::move(hive);
    h.problemTaken = false;
}

std::shared_ptr<Hive> localMachineHive()
{
    Hives& h = hives();
    QMutexLocker lock(&h.mutex);
    if (!h.machine) {
        h.machine = Hive::inMemory();
        fillSystemView(h.machine->root());
        h.machine->setReadOnly();
    }
    return h.machine;
}

RegKey rootKey(RootKey root)
{
    return root == RootKey::LocalMachine ? localMachineHive()->root() : currentUserHive()->root();
}

QString takeRegistryProblem()
{
    const std::shared_ptr<Hive> user = currentUserHive();
    Hives& h = hives();
    QMutexLocker lock(&h.mutex);
    if (h.problemTaken || user->problem().isEmpty())
        return {};
    h.problemTaken = true;
    return user->problem();
}

} // namespace corvane::platform
