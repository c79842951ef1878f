#include "FolderBase.h"

#include "IconTable.h"
#include "IdListFormat.h"
#include "NameCodec.h"
#include "Trash.h"
#include "Volumes.h"

#include <QDir>
#include <QMimeDatabase>
#include <QStandardPaths>

#include <sys/stat.h>

namespace corvane::platform {

using namespace folders;

namespace {

QByteArray xdgDataHome()
{
    QByteArray d = qgetenv("XDG_DATA_HOME");
    if (d.isEmpty() || !d.startsWith('/'))
        d = HomeFolderPath() + "/.local/share";
    return d;
}

// The icon of a file's type, decided by its name alone: the list never reads a file to draw it.
QString iconNameForMime(const QString& fileName, QString* generic)
{
    static QMimeDatabase db;
    QMimeType t = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    *generic = t.genericIconName();
    return t.iconName();
}

} // namespace

QByteArray HomeFolderPath()
{
    QByteArray h = qgetenv("HOME");
    if (h.isEmpty())
        h = QFile::encodeName(QDir::homePath());
    while (h.size() > 1 && h.endsWith('/'))
        h.chop(1);
    return h;
}

QByteArray DesktopFolderPath()
{
    QByteArray d = QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    struct stat st;
    if (d.isEmpty() || d == HomeFolderPath() || ::stat(d.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    return d;
}

QByteArray TrashFilesPath()
{
    return xdgDataHome() + "/Trash/files";
}

QByteArray SendToFolderPath()
{
    return xdgDataHome() + "/Corvane/SendTo";
}

ShellFolderPtr SHGetDesktopFolder()
{
    static ShellFolderPtr desktop = folders::NewDesktopFolder();
    return desktop;
}

HResult SHGetSpecialFolderLocation(int csidl, PItemIDList& out)
{
    switch (csidl) {
    case CSIDL_DESKTOP:
        out = EmptyIdList();
        return S_OK;
    case CSIDL_DRIVES:
        out = makeItem(KindComputer, {});
        return S_OK;
    case CSIDL_BITBUCKET:
        out = makeItem(KindTrash, {});
        return S_OK;
    case CSIDL_PERSONAL:
        out = makeItem(KindHome, {});
        return S_OK;
    case CSIDL_DESKTOPDIRECTORY: {
        QByteArray d = DesktopFolderPath();
        if (d.isEmpty())
            d = HomeFolderPath();
        return SHGetDesktopFolder()->ParseDisplayName(DecodeName(d), out);
    }
    case CSIDL_SENDTO: {
        QByteArray d = SendToFolderPath();
        QDir().mkpath(QFile::decodeName(d));
        return SHGetDesktopFolder()->ParseDisplayName(DecodeName(d), out);
    }
    default:
        return E_INVALIDARG;
    }
}

QByteArray PathBytesFromIdList(const PItemIDList& abs)
{
    QByteArray path;
    bool first = true;
    bool inTrash = false;  // the previous item was the Trash
    for (QByteArrayView item : IdListItems(abs)) {
        if (item.isEmpty() || !validItem(item[0], item.sliced(1)))
            return {};
        char kind = item[0];
        QByteArrayView name = item.sliced(1);
        if (kind == KindTrashItem) {
            char fsKind;
            QByteArray root, entry;
            if (!inTrash || !splitTrashItem(name, &fsKind, &root, &entry))
                return {};
            inTrash = false;
            path = joinPath(joinPath(root, "files"), entry);
            continue;
        }
        inTrash = false;
        if (first) {
            first = false;
            switch (kind) {
            case KindHome:
                path = HomeFolderPath();
                continue;
            case KindComputer:
                continue;
            case KindTrash:
                path = TrashFilesPath();
                inTrash = true;
                continue;
            default:
                if (!isFsKind(kind))
                    return {};
                path = DesktopFolderPath();
                if (path.isEmpty())
                    return {};
            }
        }
        if (kind == KindVolume) {
            path = name.toByteArray();
            continue;
        }
        if (!isFsKind(kind) || path.isEmpty())
            return {};
        path = joinPath(path, name);
    }
    // The Trash itself is virtual; only what it holds has paths.
    if (IdListItems(abs).size() == 1 && firstItem(abs).kind == KindTrash)
        return {};
    return path;
}

bool SHGetPathFromIDList(const PItemIDList& abs, QString& path)
{
    QByteArray p = PathBytesFromIdList(abs);
    path = DecodeName(p);
    return !p.isEmpty();
}

QString SHGetDisplayName(const PItemIDList& abs)
{
    std::vector<QByteArrayView> items = IdListItems(abs);
    if (items.empty())
        return QString::fromLatin1(names::Desktop);
    QByteArrayView last = items.back();
    if (last.isEmpty())
        return {};
    char kind = last[0];
    QByteArray name = last.sliced(1).toByteArray();
    if (kind == KindTrashItem) {
        ItemRef it;
        if (!splitTrashItem(name, &it.fsKind, &it.trashRoot, &it.name))
            return {};
        TrashEntry e;
        if (!ReadTrashEntry(it.trashRoot, it.name, &e))
            e = TrashEntry();
        return shownTrashName(it, e);
    }
    switch (kind) {
    case KindHome:
        return QString::fromLatin1(names::Home);
    case KindComputer:
        return QString::fromLatin1(names::Computer);
    case KindTrash:
        return QString::fromLatin1(names::Trash);
    case KindVolume:
        return volumeLabel(name);
    default:
        return ReadableName(name);
    }
}

QString SHGetTypeName(const PItemIDList& abs)
{
    static QMimeDatabase db;
    std::vector<QByteArrayView> items = IdListItems(abs);
    char kind = items.empty() || items.back().isEmpty() ? 0 : items.back()[0];
    if (kind == KindTrashItem) {
        ItemRef it;
        if (!splitTrashItem(items.back().sliced(1), &it.fsKind, &it.trashRoot, &it.name))
            return {};
        return typeNameOf(it.fsKind, it.name);
    }
    switch (kind) {
    case 0:
    case KindHome:
    case KindComputer:
    case KindTrash:
    case KindDir:
    case KindDirLink:
        return db.mimeTypeForName(QStringLiteral("inode/directory")).comment();
    case KindVolume:
        return QStringLiteral("Volume");
    default: {
        QString name = DecodeName(items.back().sliced(1).toByteArray());
        return db.mimeTypeForFile(name, QMimeDatabase::MatchExtension).comment();
    }
    }
}

int SHGetIconIndex(const PItemIDList& abs, std::uint32_t flags)
{
    IconTable& table = IconTable::instance();
    std::vector<QByteArrayView> items = IdListItems(abs);
    bool open = flags & SHGFI_OPENICON;
    if (items.empty())
        return table.indexFor(QStringLiteral("user-desktop"), IconTable::Folder);
    QByteArrayView last = items.back();
    char kind = last.isEmpty() ? 0 : last[0];
    QByteArray name = last.isEmpty() ? QByteArray() : last.sliced(1).toByteArray();
    if (kind == KindTrashItem) {
        // A trashed item looks like what it is.
        QByteArray root, entry;
        if (splitTrashItem(name, &kind, &root, &entry))
            name = entry;
        else
            kind = 0;
    }
    switch (kind) {
    case KindHome:
        return table.indexFor(QStringLiteral("user-home"), IconTable::Home);
    case KindComputer:
        return table.indexFor(QStringLiteral("computer"), IconTable::Computer);
    case KindTrash:
        return table.indexFor(QStringLiteral("user-trash"), IconTable::Trash);
    case KindVolume:
        switch (GetDriveType(name)) {
        case DRIVE_REMOVABLE:
            return table.indexFor(QStringLiteral("drive-removable-media"), IconTable::Drive);
        case DRIVE_CDROM:
            return table.indexFor(QStringLiteral("media-optical"), IconTable::Drive);
        case DRIVE_REMOTE:
            return table.indexFor(QStringLiteral("folder-remote"), IconTable::Drive);
        default:
            return table.indexFor(QStringLiteral("drive-harddisk"), IconTable::Drive);
        }
    case KindDir:
    case KindDirLink:
        return open ? table.indexFor(QStringLiteral("folder-open"), IconTable::FolderOpen)
                    : table.indexFor(QStringLiteral("folder"), IconTable::Folder);
    default:
        return SHGetFileIconIndex(DecodeName(name), false);
    }
}

int SHGetFileIconIndex(const QString& fileName, bool folder)
{
    IconTable& table = IconTable::instance();
    if (folder)
        return table.indexFor(QStringLiteral("folder"), IconTable::Folder);
    QString generic;
    const QString icon = iconNameForMime(fileName, &generic);
    return table.indexFor(icon, IconTable::Document, generic);
}

} // namespace corvane::platform

