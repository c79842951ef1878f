#pragma once
// The rule that keeps an archive entry below the folder it is extracted to. Plain C++ without Qt,
// so that the self-extracting program applies the very same rule.
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

} // namespace corvane::zip
