#include "DesktopEntry.h"

#include "GlibPtr.h"
#include "core/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::platform {

namespace {

constexpr const char Group[] = "Desktop Entry";

QByteArray readRegularFile(const QByteArray& path, qint64 limit)
{
    // O_NONBLOCK: a FIFO named .desktop must not hang the reader.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return {};
    QByteArray out;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= limit)
        core::ReadToEnd(fd, out, limit);
    ::close(fd);
    return out;
}

// A string value as written, with the escapes of the format resolved. "\;" belongs to lists, but
// writers put it into strings too, meaning ";"; an escape at the end of the value means the
// value was cut and cannot be read.
bool unescape(const char* raw, QByteArray* out)
{
    out->clear();
    for (const char* c = raw; *c; ++c) {
        if (*c != '\\') {
            out->append(*c);
            continue;
        }
        switch (*++c) {
        case 's': out->append(' '); break;
        case 'n': out->append('\n'); break;
        case 't': out->append('\t'); break;
        case 'r': out->append('\r'); break;
        case '\\': out->append('\\'); break;
        case ';': out->append(';'); break;
        default: return false;
        }
    }
    return true;
}

} // namespace

struct DesktopEntry::KeyFile {
    GKeyFile* file = g_key_file_new();
    ~KeyFile() { g_key_file_free(file); }
};

DesktopEntry::DesktopEntry() = default;
DesktopEntry::~DesktopEntry() = default;

bool DesktopEntry::load(const QByteArray& path)
{
    m_file.reset();
    if (path.isEmpty() || path.contains('\0'))
        return false;
    const QByteArray text = readRegularFile(path, MaxSize);
    return !text.isEmpty() && parse(text);
}

bool DesktopEntry::parse(const QByteArray& text)
{
    m_file = std::make_unique<KeyFile>();
    GError* error = nullptr;
    const bool ok = g_key_file_load_from_data(m_file->file, text.constData(), gsize(text.size()), G_KEY_FILE_NONE, &error);
    GErrorPtr owned(error);
    if (!ok || !g_key_file_has_group(m_file->file, Group)) {
        m_file.reset();
        return false;
    }
    return true;
}

QString DesktopEntry::value(const char* key) const
{
    if (!m_file)
        return {};
    GError* error = nullptr;
    GCharPtr text(g_key_file_get_string(m_file->file, Group, key, &error));
    GErrorPtr owned(error);
    if (!error)
        return text ? QString::fromUtf8(text.get()) : QString();
    if (error->domain != G_KEY_FILE_ERROR || error->code != G_KEY_FILE_ERROR_INVALID_VALUE)
        return {};
    // An escape the parser does not take in a string: resolve it as desktops read it.
    GCharPtr raw(g_key_file_get_value(m_file->file, Group, key, nullptr));
    QByteArray resolved;
    if (!raw || !unescape(raw.get(), &resolved))
        return {};
    return QString::fromUtf8(resolved);
}

QString DesktopEntry::localeValue(const char* key) const
{
    if (!m_file)
        return {};
    GError* error = nullptr;
    GCharPtr text(g_key_file_get_locale_string(m_file->file, Group, key, nullptr, &error));
    GErrorPtr owned(error);
    if (text && !error)
        return QString::fromUtf8(text.get());
    return value(key);
}

bool ReadDesktopLink(const QByteArray& path, DesktopLink* out)
{
    DesktopEntry entry;
    if (!entry.load(path) || entry.value("Type") != QLatin1String("Link"))
        return false;
    DesktopLink link;
    link.url = entry.value("URL");
    if (link.url.isEmpty())
        return false;
    link.name = entry.localeValue("Name");
    link.comment = entry.localeValue("Comment");
    link.icon = entry.localeValue("Icon");
    *out = std::move(link);
    return true;
}

} // namespace corvane::platform
