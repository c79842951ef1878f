// The items of the namespace: their payloads, names and what the file system says of them.
#include "FolderBase.h"

#include "IdListFormat.h"
#include "NameCodec.h"
#include "Trash.h"
#include "Volumes.h"

#include <QCollator>
#include <QLocale>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::platform::folders {

// Item bytes can come from the clipboard or a drag: a name that is no plain name of one
// folder entry (empty, ".", "..", a slash or a NUL byte) would lead outside its folder.
bool plainName(QByteArrayView name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

bool plainMountPoint(QByteArrayView mp)
{
    if (mp.isEmpty() || mp[0] != '/' || mp.contains('\0'))
        return false;
    for (const QByteArray& part : mp.toByteArray().split('/')) {
        if (part == "." || part == "..")
            return false;
    }
    return true;
}

// The parts of a trash item's payload after its kind byte; false when they are malformed.
bool splitTrashItem(QByteArrayView rest, char* fsKind, QByteArray* root, QByteArray* name)
{
    if (rest.size() < 2 || !isFsKind(rest[0]))
        return false;
    const QByteArrayView body = rest.sliced(1);
    const qsizetype nul = body.indexOf('\0');
    if (nul <= 0)
        return false;
    const QByteArrayView r = body.first(nul);
    const QByteArrayView n = body.sliced(nul + 1);
    // The trash folder is an absolute, clean path; the name one plain folder entry.
    if (!plainMountPoint(r) || r.size() < 2 || r.contains("//") || r.endsWith('/') || !plainName(n))
        return false;
    *fsKind = rest[0];
    *root = r.toByteArray();
    *name = n.toByteArray();
    return true;
}

bool validItem(char kind, QByteArrayView name)
{
    switch (kind) {
    case KindTrashItem: {
        char k;
        QByteArray r, n;
        return splitTrashItem(name, &k, &r, &n);
    }
    case KindHome:
    case KindComputer:
    case KindTrash:
        return name.isEmpty();
    case KindVolume:
        return plainMountPoint(name);
    case KindDir:
    case KindFile:
    case KindDirLink:
    case KindFileLink:
        return plainName(name);
    default:
        return false;
    }
}

ItemRef firstItem(const PItemIDList& list)
{
    ItemRef r;
    QByteArrayView body = IdListBody(list);
    if (body.size() < 3)
        return r;
    quint16 cb = quint16(quint8(body[0]) | (quint16(quint8(body[1])) << 8));
    if (cb < 3)
        return r;
    r.kind = body[2];
    r.name = QByteArray(body.data() + 3, cb - 3);
    if (r.kind == KindTrashItem) {
        QByteArray rest = r.name;
        r.valid = splitTrashItem(rest, &r.fsKind, &r.trashRoot, &r.name);
        return r;
    }
    r.valid = validItem(r.kind, r.name);
    return r;
}

// The items after the first, as their own list (null when there are none).
PItemIDList restOf(const PItemIDList& list)
{
    QByteArrayView body = IdListBody(list);
    if (body.size() < 2)
        return {};
    quint16 cb = quint16(quint8(body[0]) | (quint16(quint8(body[1])) << 8));
    if (cb >= body.size())
        return {};
    PItemIDList rest(body.data() + cb, body.size() - cb);
    rest.append(2, '\0');
    return rest;
}

PItemIDList makeItem(char kind, QByteArrayView name)
{
    QByteArray payload;
    payload.reserve(name.size() + 1);
    payload.append(kind);
    payload.append(name.data(), name.size());
    return MakeIdItem(payload);
}

PItemIDList makeTrashItem(char fsKind, const QByteArray& root, QByteArrayView name)
{
    QByteArray payload;
    payload.reserve(root.size() + name.size() + 3);
    payload.append(KindTrashItem);
    payload.append(fsKind);
    payload.append(root);
    payload.append('\0');
    payload.append(name.data(), name.size());
    return MakeIdItem(payload);
}

PItemIDList concat(const PItemIDList& a, const PItemIDList& b)
{
    PItemIDList out;
    QByteArrayView ba = IdListBody(a), bb = IdListBody(b);
    out.reserve(ba.size() + bb.size() + 2);
    out.append(ba.data(), ba.size());
    out.append(bb.data(), bb.size());
    out.append(2, '\0');
    return out;
}

QByteArray joinPath(const QByteArray& dir, QByteArrayView name)
{
    QByteArray p = dir;
    if (!p.endsWith('/'))
        p.append('/');
    p.append(name.data(), name.size());
    return p;
}

bool isHiddenName(QByteArrayView name) { return !name.isEmpty() && name[0] == '.'; }

char kindOfPath(const QByteArray& path, int* err)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) {
        if (err)
            *err = errno;
        return 0;
    }
    if (S_ISDIR(st.st_mode))
        return KindDir;
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        return ::stat(path.constData(), &target) == 0 && S_ISDIR(target.st_mode) ? KindDirLink : KindFileLink;
    }
    return KindFile;
}

// Whether a folder holds at least one folder. Counting links is enough where the file system
// keeps them (a folder's link count is 2 plus its subfolders); otherwise a bounded scan.
bool hasSubfolder(const QByteArray& path)
{
    // A network share or FUSE volume is not asked for an expander: it may not answer, and it
    // would be asked once per folder shown. The expander shows; the first expansion tells.
    if (VolumeMayStall(path))
        return true;
    struct stat st;
    if (::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (st.st_nlink > 2)
        return true;
    DIR* d = ::opendir(path.constData());
    if (!d)
        return false;
    bool found = false;
    int seen = 0;
    while (dirent* e = ::readdir(d)) {
        if (++seen > 4096) {
            found = true;  // a huge folder: show the expander and let expansion tell
            break;
        }
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        if (e->d_type == DT_DIR) {
            found = true;
            break;
        }
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat s;
            if (::fstatat(::dirfd(d), n, &s, 0) == 0 && S_ISDIR(s.st_mode)) {
                found = true;
                break;
            }
        }
    }
    ::closedir(d);
    return found;
}

std::uint32_t fsAttributes(char kind, QByteArrayView name, const QByteArray& path, std::uint32_t mask, HResult& hr)
{
    std::uint32_t a = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK | SFGAO_CANRENAME | SFGAO_CANDELETE
                      | SFGAO_HASPROPSHEET | SFGAO_FILESYSTEM;
    if (isHiddenName(name))
        a |= SFGAO_HIDDEN;
    if (isLinkKind(kind))
        a |= SFGAO_LINK;
    if (kind == KindDir || kind == KindDirLink)
        a |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_DROPTARGET;
    if (mask & (SFGAO_READONLY | SFGAO_VALIDATE)) {
        struct stat st;
        if (::lstat(path.constData(), &st) != 0) {
            if (mask & SFGAO_VALIDATE)
                hr = HResultFromErrno(errno);
        } else if (!S_ISLNK(st.st_mode) && !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) {
            a |= SFGAO_READONLY;
        }
    }
    if (mask & (SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE)) {
        // Moving, renaming or deleting an item changes the folder that holds it.
        if (::faccessat(AT_FDCWD, ParentOf(path).constData(), W_OK, AT_EACCESS) != 0)
            a &= ~(SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE);
    }
    if ((mask & SFGAO_HASSUBFOLDER) && (kind == KindDir || kind == KindDirLink) && hasSubfolder(path))
        a |= SFGAO_HASSUBFOLDER;
    return a;
}

QCollator& nameCollator()
{
    thread_local QCollator c = [] {
        // The C locale collates bytewise and knows no numeric mode; natural order needs a language.
        QLocale loc;
        QCollator col(loc.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : loc);
        col.setNumericMode(true);
        col.setCaseSensitivity(Qt::CaseInsensitive);
        return col;
    }();
    return c;
}

int compareNames(const QByteArray& a, const QByteArray& b)
{
    if (a == b)
        return 0;
    int r = nameCollator().compare(DecodeName(a), DecodeName(b));
    if (r != 0)
        return r;
    // Names that differ only in case are still different files here.
    return a < b ? -1 : 1;
}

char kindOfEntry(DIR* dir, const dirent* e)
{
    const char* n = e->d_name;
    switch (e->d_type) {
    case DT_DIR:
        return KindDir;
    case DT_LNK:
    case DT_UNKNOWN: {
        struct stat st;
        int fd = ::dirfd(dir);
        if (e->d_type == DT_UNKNOWN && ::fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISLNK(st.st_mode))
            return S_ISDIR(st.st_mode) ? KindDir : KindFile;
        return ::fstatat(fd, n, &st, 0) == 0 && S_ISDIR(st.st_mode) ? KindDirLink : KindFileLink;
    }
    default:
        return KindFile;
    }
}

class FsEnum final : public IEnumIDList
{
public:
    FsEnum(DIR* dir, std::uint32_t flags) : m_dir(dir), m_flags(flags) {}
    ~FsEnum() override { ::closedir(m_dir); }

    HResult Next(PItemIDList& item) override
    {
        for (;;) {
            errno = 0;
            dirent* e = ::readdir(m_dir);
            if (!e)
                return errno ? HResultFromErrno(errno) : S_FALSE;
            const char* n = e->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                continue;
            if (n[0] == '.' && !(m_flags & SHCONTF_INCLUDEHIDDEN))
                continue;
            const char kind = kindOfEntry(m_dir, e);
            bool folder = kind == KindDir || kind == KindDirLink;
            if (folder ? !(m_flags & SHCONTF_FOLDERS) : !(m_flags & SHCONTF_NONFOLDERS))
                continue;
            item = makeItem(kind, QByteArrayView(n, qsizetype(std::strlen(n))));
            return S_OK;
        }
    }

private:
    DIR* m_dir;
    std::uint32_t m_flags;
};

HResult enumFs(const QByteArray& dir, std::uint32_t flags, std::unique_ptr<IEnumIDList>& out)
{
    DIR* d = ::opendir(dir.constData());
    if (!d)
        return HResultFromErrno(errno);
    out = std::make_unique<FsEnum>(d, flags);
    return S_OK;
}

} // namespace corvane::platform::folders
