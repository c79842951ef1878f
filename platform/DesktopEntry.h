#pragma once
// Desktop entry files (.desktop): key files whose "Desktop Entry" group describes an application,
// a link or a folder. They come from anywhere (downloads, other users' desktops), so they are read
// as GLib's key-file parser reads them, with a size limit, and nothing in them is trusted.
#include <QByteArray>
#include <QString>

#include <memory>

namespace corvane::platform {

class DesktopEntry
{
public:
    // Desktop entries are a few kilobytes; anything far larger is no desktop entry.
    static constexpr qint64 MaxSize = 1 << 20;

    DesktopEntry();
    ~DesktopEntry();
    DesktopEntry(const DesktopEntry&) = delete;
    DesktopEntry& operator=(const DesktopEntry&) = delete;

    // Reads a regular file (links are not followed); false when it is no key file with a
    // "Desktop Entry" group.
    bool load(const QByteArray& path);
    // The same for text already read.
    bool parse(const QByteArray& text);

    // A string of the "Desktop Entry" group with its escapes resolved; null when the key is
    // missing or its value cannot be read.
    QString value(const char* key) const;
    // A localestring: the value for the user's language, else the plain one.
    QString localeValue(const char* key) const;

private:
    struct KeyFile;
    std::unique_ptr<KeyFile> m_file;
};

// What a Link entry leads to.
struct DesktopLink {
    QString url;      // as written; may be any scheme
    QString name;
    QString comment;
    QString icon;
};
// False when the file is no desktop entry of type Link or has no URL.
bool ReadDesktopLink(const QByteArray& path, DesktopLink* out);

} // namespace corvane::platform
