#include "FolderSizeCsv.h"

#include "core/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace corvane::reports {

namespace {

QByteArray CsvCell(const QByteArray& cell)
{
    if (cell.isEmpty())
        return QByteArrayLiteral("\"\"");
    if (!cell.contains(',') && !cell.contains('"') && !cell.contains('\n') && !cell.contains('\r'))
        return cell;
    QByteArray quoted = cell;
    quoted.replace("\r\n", "\n");
    quoted.replace("\"", "\"\"");
    return '"' + quoted + '"';
}

QString SystemMessage(int error)
{
    return QString::fromLocal8Bit(::strerror(error));
}

} // namespace

QByteArray CsvText(const CsvTable& table)
{
    QByteArray out;
    for (const CsvRow& row : table) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i)
                out += ',';
            out += CsvCell(row[i]);
        }
        out += "\r\n";
    }
    return out;
}

QString WriteFileInPlace(const QByteArray& fileName, const QByteArray& text)
{
    static std::atomic<unsigned> serial{0};
    const qsizetype slash = fileName.lastIndexOf('/');
    const QByteArray folder = fileName.left(slash + 1);
    const QByteArray name = fileName.mid(slash + 1);
    QByteArray temp;
    core::UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        temp = folder + '.' + name.left(200) + ".part-" + QByteArray::number(::getpid()) + '-'
               + QByteArray::number(serial++);
        fd.reset(::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd && errno != EEXIST)
            return SystemMessage(errno);
    }
    if (!fd)
        return SystemMessage(EEXIST);
    if (!core::WriteAll(fd.get(), text) || ::fsync(fd.get()) != 0 || ::close(fd.release()) != 0
        || ::rename(temp.constData(), fileName.constData()) != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        return SystemMessage(error);
    }
    return {};
}

} // namespace corvane::reports
