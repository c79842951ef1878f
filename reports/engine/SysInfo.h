#pragma once
// The facts of the system information sheet and its lines. Everything is read from files below a
// root folder ("/" on a running system, a fixed copy in tests): os-release, the kernel's release
// and host name under /proc/sys/kernel, /proc/cpuinfo, /proc/meminfo, the user's account in
// /etc/passwd, /etc/organization, /etc/machine-id and the CUPS configuration.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace corvane::reports {

struct MemoryStatus {
    quint64 totalRamBytes = 0;
    quint64 availableRamBytes = 0;
    quint64 swapTotalBytes = 0;
    quint64 swapFreeBytes = 0;
};

struct SystemFacts {
    QString version;        // the system's name and version
    QString versionNumber;  // the kernel release
    QString owner;          // the full name of the user's account
    QString organization;
    QString productId;      // an identifier of this installation, derived from the machine ID
    QString productKey;     // none on Linux
    QString cpuVendor;
    QString cpuIdentifier;
    QString computerName;
    QString userName;
    QString networkUserName;
    QString defaultPrinter;  // "name,driver,port", as far as they are known
    MemoryStatus memory;
};

struct SysInfoSource {
    QByteArray root = "/";
    uid_t uid = 0;
};

SystemFacts ReadSystemFacts(const SysInfoSource& source);

// The contents of the files the facts come from.
struct SystemFiles {
    QByteArray osRelease;
    QByteArray kernelRelease;
    QByteArray hostName;
    QByteArray passwd;
    QByteArray organization;
    QByteArray machineId;
    QByteArray cpuinfo;
    QByteArray meminfo;
    QByteArray userLpOptions;  // ~/.cups/lpoptions
    QByteArray lpOptions;      // /etc/cups/lpoptions
    QByteArray printersConf;
};
SystemFacts ParseSystemFacts(const SystemFiles& files, uid_t uid);

// Pieces, exposed for tests.
MemoryStatus ParseMemInfo(const QByteArray& meminfo);
// The printer's name, then its driver and port when known, separated by commas; the user name
// and password that a device address may carry are left out.
QString PrinterEntry(const QString& name, const QString& driver, const QString& device);

// The sheet, one entry per line, the labels beginning with a blank.
QStringList SysInfoLines(const SystemFacts& facts);
// Memory in use in percent (0 without memory figures).
int PercentInUse(quint64 total, quint64 free);

} // namespace corvane::reports
