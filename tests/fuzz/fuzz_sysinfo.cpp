// libFuzzer target for the readers behind the system information sheet. The input holds the
// files' contents separated by NUL bytes; whatever they hold, the sheet has its 17 lines.
#include "reports/engine/SysInfo.h"

#include <cstdint>
#include <cstdlib>
#include <iterator>

using namespace corvane::reports;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0');
    SystemFiles files;
    QByteArray* fields[] = {&files.osRelease, &files.kernelRelease, &files.hostName, &files.passwd,
                            &files.organization, &files.machineId, &files.cpuinfo, &files.meminfo,
                            &files.userLpOptions, &files.lpOptions, &files.printersConf};
    for (qsizetype i = 0; i < parts.size() && i < qsizetype(std::size(fields)); ++i)
        *fields[i] = parts[i];
    if (SysInfoLines(ParseSystemFacts(files, 1000)).size() != 17)
        std::abort();
    return 0;
}
