#pragma once
// The rule that keeps an archive entry below the folder it is extracted to. Plain C++ without Qt,
// so that the self-extracting program applies the very same rule.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::zip {

// The folders and last part of an entry name below the destination; false when the name would
// lead outside it (absolute, a drive letter, "..", a NUL) or names nothing.
inline bool SafeEntryParts(std::string_view name, std::vector<std::string>& parts)
{
    parts.clear();
    if (name.find('\0') != std::string_view::npos)
        return false;
    std::string n(name);
    for (char& c : n) {
        if (c == '\\')
            c = '/';
    }
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (!n.empty() && n[0] == '/')
        return false;
    if (n.size() >= 2 && n[1] == ':' && letter(n[0]))
        return false;
    size_t start = 0;
    while (start <= n.size()) {
        size_t end = n.find('/', start);
        if (end == std::string::npos)
            end = n.size();
        const std::string part = n.substr(start, end - start);
        if (part == "..")
            return false;
        if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    return !parts.empty();
}

// Opens the first `count` parts as folders below `base`, one by one and never through a link,
// creating what is missing; -1 when one cannot be (with errno, and `throughLink` set when a link
// stood in the way).
template <typename Parts>
int OpenEntryFolders(int base, const Parts& parts, size_t count, bool* throughLink = nullptr)
{
    int fd = ::dup(base);
    for (size_t k = 0; k < count && fd >= 0; ++k) {
        const char* part = std::data(parts[k]);
        int next = ::openat(fd, part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT) {
            if (::mkdirat(fd, part, 0755) == 0 || errno == EEXIST)
                next = ::openat(fd, part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        const int error = errno;
        if (next < 0 && throughLink) {
            struct stat st {};
            *throughLink = ::fstatat(fd, part, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
        }
        ::close(fd);
        fd = next;
        errno = error;
    }
    return fd;
}

} // namespace corvane::zip
