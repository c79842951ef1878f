#pragma once
// Owners of a file descriptor and of a directory stream, closed on every path.
#include <QByteArray>

#include <cerrno>
#include <dirent.h>
#include <unistd.h>

#include <utility>

namespace corvane::core {

class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& o) noexcept : m_fd(o.release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept
    {
        if (this != &o)
            reset(o.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    explicit operator bool() const { return valid(); }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

class DirStream
{
public:
    DirStream() = default;
    explicit DirStream(DIR* dir) : m_dir(dir) {}
    // Takes the descriptor over; it is closed with the stream, also when fdopendir fails.
    static DirStream fromFd(UniqueFd fd)
    {
        DIR* d = fd.valid() ? ::fdopendir(fd.get()) : nullptr;
        if (d)
            fd.release();
        return DirStream(d);
    }
    static DirStream open(const char* path) { return DirStream(::opendir(path)); }
    DirStream(DirStream&& o) noexcept : m_dir(std::exchange(o.m_dir, nullptr)) {}
    DirStream& operator=(DirStream&& o) noexcept
    {
        if (this != &o) {
            reset();
            m_dir = std::exchange(o.m_dir, nullptr);
        }
        return *this;
    }
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;
    ~DirStream() { reset(); }

    DIR* get() const { return m_dir; }
    explicit operator bool() const { return m_dir != nullptr; }
    int fd() const { return m_dir ? ::dirfd(m_dir) : -1; }
    // The next entry other than "." and "..", null at the end (errno tells an error from the end).
    dirent* next()
    {
        while (dirent* e = ::readdir(m_dir)) {
            const char* n = e->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                continue;
            return e;
        }
        return nullptr;
    }
    void reset()
    {
        if (m_dir)
            ::closedir(m_dir);
        m_dir = nullptr;
    }

private:
    DIR* m_dir = nullptr;
};

// Reads from the descriptor's current position to the end. False when more than `limit` bytes
// come (a negative limit has none); `out` then holds nothing.
inline bool ReadToEnd(int fd, QByteArray& out, qint64 limit = -1)
{
    out.clear();
    char buf[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return true;
        out.append(buf, n);
        if (limit >= 0 && out.size() > limit) {
            out.clear();
            return false;
        }
    }
}

// Writes all the bytes, going on after interruptions. False with errno set when the write fails
// (EIO when the system takes nothing).
inline bool WriteAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace corvane::core
