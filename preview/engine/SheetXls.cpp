// .xls workbooks through FreeXL: the first worksheet's cells as text.
//
// FreeXL reads crafted files out of bounds (fuzzing finds it within a minute), so it runs in a
// child process of its own: a file that crashes or hangs it only ends that child, and the grid
// stays hidden. The child hands the raw cells back through a pipe; formatting happens here.
#include "Sheet.h"
#include "SheetBuild.h"

#include "core/UniqueFd.h"

#include <freexl.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace corvane::preview::sheet {

namespace {

// The records of the pipe: a kind byte, then row (4 bytes), column (2), and the value: 4 bytes of
// an integer, 8 of a double, or a 4-byte length and UTF-8 bytes.
enum : char { kInt = 1, kDouble, kText, kDate, kDateTime, kTime, kEnd = 0x7f };

// Everything the child sends: a file whose cells run beyond it is read that far.
constexpr qsizetype kMaxPipeBytes = 256 * 1024 * 1024;
// A child still reading after this long is taken for hung.
constexpr auto kChildTimeLimit = std::chrono::seconds(30);

// The child's side. Only FreeXL, plain memory and write(): the parent may have had any lock held
// by another thread when it forked, so nothing of Qt runs here.
class TPipeWriter
{
public:
    explicit TPipeWriter(int fd) : m_fd(fd) {}
    void put(const void* data, size_t size)
    {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            const size_t n = std::min(size, sizeof m_buffer - m_used);
            std::memcpy(m_buffer + m_used, p, n);
            m_used += n;
            p += n;
            size -= n;
            if (m_used == sizeof m_buffer)
                flush();
        }
    }
    void flush()
    {
        for (size_t done = 0; done < m_used;) {
            const ssize_t n = ::write(m_fd, m_buffer + done, m_used - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                ::_exit(3);
            done += size_t(n);
        }
        m_used = 0;
    }

private:
    int m_fd;
    size_t m_used = 0;
    char m_buffer[64 * 1024];
};

[[noreturn]] void childReadCells(int fd, int out)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    const void* xls = nullptr;
    unsigned int sheets = 0;
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_open(path, &xls) != FREEXL_OK || !xls || freexl_get_info(xls, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK
        || sheets == 0 || freexl_select_active_worksheet(xls, 0) != FREEXL_OK
        || freexl_worksheet_dimensions(xls, &rows, &columns) != FREEXL_OK)
        ::_exit(1);
    TPipeWriter writer(out);
    qsizetype kept = 0;
    for (unsigned int r = 0; r < rows && r < unsigned(kSheetMaxRows) && kept < kSheetMaxCells; ++r) {
        for (unsigned short c = 0; c < columns && kept < kSheetMaxCells; ++c) {
            FreeXL_CellValue value {};
            if (freexl_get_cell_value(xls, r, c, &value) != FREEXL_OK)
                continue;
            char kind = 0;
            switch (value.type) {
            case FREEXL_CELL_INT: kind = kInt; break;
            case FREEXL_CELL_DOUBLE: kind = kDouble; break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT: kind = kText; break;
            case FREEXL_CELL_DATE: kind = kDate; break;
            case FREEXL_CELL_DATETIME: kind = kDateTime; break;
            case FREEXL_CELL_TIME: kind = kTime; break;
            default: continue;
            }
            const quint32 row = r;
            const quint16 column = c;
            writer.put(&kind, 1);
            writer.put(&row, sizeof row);
            writer.put(&column, sizeof column);
            if (kind == kInt) {
                const qint32 v = value.value.int_value;
                writer.put(&v, sizeof v);
            } else if (kind == kDouble) {
                writer.put(&value.value.double_value, sizeof(double));
            } else {
                const char* text = value.value.text_value ? value.value.text_value : "";
                const quint32 length = quint32(strnlen(text, size_t(kSheetMaxCellText) * 4));
                writer.put(&length, sizeof length);
                writer.put(text, length);
            }
            ++kept;
        }
    }
    const char end = kEnd;
    writer.put(&end, 1);
    writer.flush();
    ::_exit(0);
}

// Reads the child's records into cells; false when they are cut short.
bool readRecords(const QByteArray& bytes, TSheetBuilder& builder)
{
    qsizetype at = 0;
    auto take = [&bytes, &at](void* out, qsizetype size) {
        if (at + size > bytes.size())
            return false;
        std::memcpy(out, bytes.constData() + at, size_t(size));
        at += size;
        return true;
    };
    for (;;) {
        char kind = 0;
        quint32 row = 0;
        quint16 column = 0;
        if (!take(&kind, 1))
            return false;
        if (kind == kEnd)
            return true;
        if (!take(&row, sizeof row) || !take(&column, sizeof column))
            return false;
        QString text;
        bool number = true;
        if (kind == kInt) {
            qint32 v = 0;
            if (!take(&v, sizeof v))
                return false;
            text = FormatNumber(v, {}, false);
        } else if (kind == kDouble) {
            double v = 0;
            if (!take(&v, sizeof v))
                return false;
            text = FormatNumber(v, {}, false);
        } else {
            quint32 length = 0;
            if (!take(&length, sizeof length) || at + qsizetype(length) > bytes.size())
                return false;
            const QString raw = QString::fromUtf8(bytes.constData() + at, qsizetype(length));
            at += qsizetype(length);
            if (kind == kDate) {
                text = DateText(QDate::fromString(raw, Qt::ISODate));
            } else if (kind == kDateTime) {
                text = DateTimeText(QDateTime::fromString(raw, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            } else if (kind == kTime) {
                const QTime time = QTime::fromString(raw, QStringLiteral("HH:mm:ss"));
                text = TimeText(time, time.second() != 0);
            } else {
                text = raw;
                number = false;
            }
        }
        if (!builder.add(int(row), int(column), std::move(text), number))
            return true;
    }
}

} // namespace

std::optional<TSheet> ReadXls(int fd, const std::atomic<bool>* cancel)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return std::nullopt;
    core::UniqueFd in(pipeFds[0]);
    core::UniqueFd out(pipeFds[1]);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0)
        return std::nullopt;
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(2);
        ::close(pipeFds[0]);
        childReadCells(fd, pipeFds[1]);
    }
    out.reset();

    QByteArray bytes;
    bool stopped = false;
    bool hung = false;
    const auto deadline = std::chrono::steady_clock::now() + kChildTimeLimit;
    for (;;) {
        hung = std::chrono::steady_clock::now() > deadline;
        if ((cancel && cancel->load(std::memory_order_relaxed)) || hung || bytes.size() >= kMaxPipeBytes) {
            ::kill(pid, SIGKILL);
            stopped = true;
            break;
        }
        pollfd p {in.get(), POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        const qsizetype at = bytes.size();
        bytes.resize(at + 64 * 1024);
        const ssize_t n = ::read(in.get(), bytes.data() + at, 64 * 1024);
        bytes.resize(at + std::max<ssize_t>(n, 0));
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            break;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if ((cancel && cancel->load(std::memory_order_relaxed)) || hung)
        return std::nullopt;
    // A child that ended by a signal (a crash) or with a failure read nothing worth showing.
    if (!stopped && (!WIFEXITED(status) || WEXITSTATUS(status) != 0))
        return std::nullopt;
    TSheetBuilder builder(cancel);
    if (!readRecords(bytes, builder) && !stopped)
        return std::nullopt;
    return builder.finish();
}

std::optional<TSheet> ReadXlsBytes(const QByteArray& bytes, const std::atomic<bool>* cancel)
{
    core::UniqueFd fd(::memfd_create("corvane-sheet", MFD_CLOEXEC));
    if (!fd)
        return std::nullopt;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd.get(), bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return std::nullopt;
        done += n;
    }
    return ReadXls(fd.get(), cancel);
}

} // namespace corvane::preview::sheet
