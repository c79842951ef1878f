#include "SysInfo.h"

#include "ReportTexts.h"
#include "core/OsRelease.h"
#include "core/Text.h"

#include <QFile>
#include <QLocale>
#include <QMessageAuthenticationCode>
#include <QUrl>

#include <pwd.h>
#include <unistd.h>

namespace corvane::reports {

namespace {

// System files are small; a bigger one is not what it should be.
QByteArray ReadSmall(const QByteArray& root, const char* path)
{
    QByteArray full = root;
    while (full.endsWith('/'))
        full.chop(1);
    full += path;
    QFile f(QString::fromLocal8Bit(full));
    return f.open(QIODevice::ReadOnly) ? f.read(1 << 20) : QByteArray();
}

QString FirstLine(const QByteArray& text)
{
    return QString::fromUtf8(text.left(text.indexOf('\n')).trimmed());
}

// "key : value" lines of the first processor in /proc/cpuinfo.
QString CpuValue(const QByteArray& cpuinfo, std::initializer_list<const char*> keys)
{
    for (const char* key : keys) {
        for (const QByteArray& line : cpuinfo.split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed() == key)
                return QString::fromUtf8(line.mid(colon + 1).trimmed());
        }
    }
    return {};
}

struct Account {
    QString name;
    QString fullName;
    QByteArray home;
};

Account ParseAccount(const QByteArray& passwd, uid_t uid)
{
    Account a;
    for (const QByteArray& line : passwd.split('\n')) {
        const QList<QByteArray> f = line.split(':');
        if (f.size() >= 7 && f[2] == QByteArray::number(uid)) {
            a.name = QString::fromUtf8(f[0]);
            a.fullName = QString::fromUtf8(f[4]).section(QLatin1Char(','), 0, 0).trimmed();
            a.home = f[5];
            break;
        }
    }
    return a;
}

// The machine ID must stay private (machine-id(5)), so the sheet shows an identifier derived
// from it for this program, which names the installation just as well.
QString ProductId(const QByteArray& machineId)
{
    const QByteArray id = QByteArray::fromHex(machineId.trimmed().left(32));
    if (id.size() != 16)
        return {};
    const QByteArray mac = QMessageAuthenticationCode::hash("Corvane System Information", id,
                                                            QCryptographicHash::Sha256);
    const QByteArray hex = mac.left(16).toHex();
    return QString::fromLatin1(hex.left(8) + '-' + hex.mid(8, 4) + '-' + hex.mid(12, 4) + '-' + hex.mid(16, 4) + '-'
                               + hex.mid(20));
}

// The default printer of CUPS: the user's choice in lpoptions, else the system's, with its
// model and device from printers.conf where that file may be read.
QString DefaultPrinter(const SystemFiles& files)
{
    QString name;
    auto fromLpOptions = [&name](const QByteArray& text) {
        for (const QByteArray& line : text.split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() >= 2 && f[0].compare("Default", Qt::CaseInsensitive) == 0)
                name = QString::fromUtf8(f[1]).section(QLatin1Char('/'), 0, 0);
        }
    };
    fromLpOptions(files.userLpOptions);
    if (name.isEmpty())
        fromLpOptions(files.lpOptions);
    QString driver;
    QString device;
    QString current;
    for (const QByteArray& raw : files.printersConf.split('\n')) {
        const QString line = QString::fromUtf8(raw.trimmed());
        if (line.startsWith(QLatin1Char('<')) && line.endsWith(QLatin1Char('>')) && !line.startsWith(QLatin1String("</"))) {
            const QString tag = line.mid(1).chopped(1);
            current = tag.section(QLatin1Char(' '), 1);
            if (tag.startsWith(QLatin1String("DefaultPrinter ")) && name.isEmpty())
                name = current;
        } else if (!current.isEmpty() && current == name) {
            if (line.startsWith(QLatin1String("MakeModel ")))
                driver = line.mid(10).trimmed();
            else if (line.startsWith(QLatin1String("DeviceURI ")))
                device = line.mid(10).trimmed();
        }
    }
    return name.isEmpty() ? QString() : PrinterEntry(name, driver, device);
}

QString Line(const char* label, const QString& value)
{
    return core::Text(label) + value;
}

} // namespace

MemoryStatus ParseMemInfo(const QByteArray& meminfo)
{
    MemoryStatus m;
    bool haveAvailable = false;
    quint64 freeKb = 0;
    quint64 buffersKb = 0;
    quint64 cachedKb = 0;
    for (const QByteArray& line : meminfo.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray key = line.left(colon);
        const quint64 kb = line.mid(colon + 1).simplified().split(' ').value(0).toULongLong();
        if (key == "MemTotal")
            m.totalRamBytes = kb * 1024;
        else if (key == "MemAvailable") {
            m.availableRamBytes = kb * 1024;
            haveAvailable = true;
        } else if (key == "MemFree")
            freeKb = kb;
        else if (key == "Buffers")
            buffersKb = kb;
        else if (key == "Cached")
            cachedKb = kb;
        else if (key == "SwapTotal")
            m.swapTotalBytes = kb * 1024;
        else if (key == "SwapFree")
            m.swapFreeBytes = kb * 1024;
    }
    // Kernels before 3.14 have no MemAvailable.
    if (!haveAvailable)
        m.availableRamBytes = (freeKb + buffersKb + cachedKb) * 1024;
    return m;
}

QString PrinterEntry(const QString& name, const QString& driver, const QString& device)
{
    QUrl url(device);
    const QString port = url.isValid() && !url.userInfo().isEmpty()
                             ? url.adjusted(QUrl::RemoveUserInfo).toString()
                             : device;
    QString entry = name;
    if (!driver.isEmpty() || !port.isEmpty())
        entry += QLatin1Char(',') + driver;
    if (!port.isEmpty())
        entry += QLatin1Char(',') + port;
    return entry;
}

int PercentInUse(quint64 total, quint64 free)
{
    const quint64 totalKb = total >> 10;
    if (totalKb == 0 || free > total)
        return 0;
    return int(((total - free + 512) >> 10) * 100 / totalKb);
}

SystemFacts ReadSystemFacts(const SysInfoSource& source)
{
    const QByteArray& root = source.root;
    SystemFiles files;
    files.osRelease = ReadSmall(root, "/etc/os-release");
    if (files.osRelease.isEmpty())
        files.osRelease = ReadSmall(root, "/usr/lib/os-release");
    files.kernelRelease = ReadSmall(root, "/proc/sys/kernel/osrelease");
    files.hostName = ReadSmall(root, "/proc/sys/kernel/hostname");
    files.passwd = ReadSmall(root, "/etc/passwd");
    // Accounts from a directory service are not in the file.
    if (ParseAccount(files.passwd, source.uid).name.isEmpty() && root == "/") {
        if (const passwd* pw = ::getpwuid(source.uid))
            files.passwd += '\n' + QByteArray(pw->pw_name) + ":x:" + QByteArray::number(source.uid) + ":0:"
                            + QByteArray(pw->pw_gecos).replace(':', ' ') + ':' + QByteArray(pw->pw_dir) + ":\n";
    }
    files.organization = ReadSmall(root, "/etc/organization");
    files.machineId = ReadSmall(root, "/etc/machine-id");
    files.cpuinfo = ReadSmall(root, "/proc/cpuinfo");
    files.meminfo = ReadSmall(root, "/proc/meminfo");
    const QByteArray home = ParseAccount(files.passwd, source.uid).home;
    if (!home.isEmpty())
        files.userLpOptions = ReadSmall(root, (home + "/.cups/lpoptions").constData());
    files.lpOptions = ReadSmall(root, "/etc/cups/lpoptions");
    files.printersConf = ReadSmall(root, "/etc/cups/printers.conf");
    return ParseSystemFacts(files, source.uid);
}

SystemFacts ParseSystemFacts(const SystemFiles& files, uid_t uid)
{
    SystemFacts f;
    f.version = core::OsReleaseValue(files.osRelease, "PRETTY_NAME");
    if (f.version.isEmpty())
        f.version = (core::OsReleaseValue(files.osRelease, "NAME") + QLatin1Char(' ')
                     + core::OsReleaseValue(files.osRelease, "VERSION")).trimmed();
    f.versionNumber = FirstLine(files.kernelRelease);
    const Account account = ParseAccount(files.passwd, uid);
    f.owner = account.fullName;
    f.organization = FirstLine(files.organization);
    f.productId = ProductId(files.machineId);
    f.cpuVendor = CpuValue(files.cpuinfo, {"vendor_id", "CPU implementer", "vendor"});
    f.cpuIdentifier = CpuValue(files.cpuinfo, {"model name", "Processor", "cpu model", "cpu", "Hardware"});
    f.computerName = FirstLine(files.hostName);
    f.userName = account.name;
    // Linux has no separate network log-on: the network knows the user by the same name.
    f.networkUserName = account.name;
    f.defaultPrinter = DefaultPrinter(files);
    f.memory = ParseMemInfo(files.meminfo);
    return f;
}

QStringList SysInfoLines(const SystemFacts& f)
{
    const MemoryStatus& m = f.memory;
    // Whole kilobytes, as the sheet has always shown them.
    auto bytes = [](quint64 b) {
        return QLocale().toString((b >> 10) * 1024) + core::Text(texts::BytesSuffix);
    };
    const QString percent = core::Text(texts::Percent);
    return {
        Line(texts::WindowsVersion, f.version + QStringLiteral(" (") + f.versionNumber + QLatin1Char(')')),
        Line(texts::RegisteredOwner, f.owner),
        Line(texts::RegisteredOrganization, f.organization),
        Line(texts::ProductId, f.productId),
        Line(texts::ProductKey, f.productKey),
        Line(texts::Cpu, f.cpuVendor + QStringLiteral("  ") + f.cpuIdentifier),
        QString(),
        Line(texts::ComputerName, f.computerName),
        Line(texts::UserName, f.userName),
        Line(texts::NetworkUserName, f.networkUserName),
        Line(texts::DefaultPrinter, f.defaultPrinter),
        QString(),
        Line(texts::TotalRam, bytes(m.totalRamBytes)),
        Line(texts::RamInUse, QString::number(PercentInUse(m.totalRamBytes, m.availableRamBytes)) + percent),
        Line(texts::SwapSpace, bytes(m.swapTotalBytes)),
        Line(texts::SwapInUse, QString::number(PercentInUse(m.swapTotalBytes, m.swapFreeBytes)) + percent),
        QString(),
    };
}

} // namespace corvane::reports
