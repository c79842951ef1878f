#include "Namespace.h"

#include "IconTable.h"
#include "IdListFormat.h"
#include "NameCodec.h"
#include "Trash.h"
#include "Volumes.h"

#include <QCollator>
#include <QDir>
#include <QHash>
#include <QLocale>
#include <QMimeDatabase>
#include <QStandardPaths>

#include <cstring>
#include <mutex>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::platform {

namespace {

// Item kinds: the first payload byte.
enum Kind : char {
    KindHome = 'H',
    KindComputer = 'C',
    KindTrash = 'T',
    KindVolume = 'V',
    KindDir = 'D',
    KindFile = 'F',
    KindDirLink = 'd',   // symbolic link to a folder
    KindFileLink = 'f',  // any other symbolic link, broken ones and loops included
    // An item of the Trash: then the kind of what it is (one of the four above), the trash
    // folder that holds it, a NUL byte and its name in that trash's files folder.
    KindTrashItem = 'e',
};

bool isFsKind(char k) { return k == KindDir || k == KindFile || k == KindDirLink || k == KindFileLink; }
bool isFolderKind(char k) { return k == KindDir || k == KindDirLink || k == KindHome || k == KindComputer || k == KindTrash || k == KindVolume; }
bool isLinkKind(char k) { return k == KindDirLink || k == KindFileLink; }

struct ItemRef {
    char kind = 0;
    QByteArray name;
    bool valid = false;
    // Trash items: what the item is and the trash folder that holds it.
    char fsKind = 0;
    QByteArray trashRoot;
};

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

// Serves a fixed list of items first, then (optionally) a folder's entries.
class ListEnum final : public IEnumIDList
{
public:
    ListEnum(std::vector<PItemIDList> items, std::unique_ptr<IEnumIDList> tail)
        : m_items(std::move(items)), m_tail(std::move(tail)) {}

    HResult Next(PItemIDList& item) override
    {
        if (m_pos < m_items.size()) {
            item = m_items[m_pos++];
            return S_OK;
        }
        return m_tail ? m_tail->Next(item) : S_FALSE;
    }

private:
    std::vector<PItemIDList> m_items;
    size_t m_pos = 0;
    std::unique_ptr<IEnumIDList> m_tail;
};

HResult enumFs(const QByteArray& dir, std::uint32_t flags, std::unique_ptr<IEnumIDList>& out)
{
    DIR* d = ::opendir(dir.constData());
    if (!d)
        return HResultFromErrno(errno);
    out = std::make_unique<FsEnum>(d, flags);
    return S_OK;
}

// Shared behaviour of every folder: items are handled one level at a time.
class FolderBase : public IShellFolder
{
public:
    explicit FolderBase(PItemIDList abs) : m_abs(std::move(abs)) {}

    PItemIDList AbsoluteIdList() const override { return m_abs; }

    HResult BindToObject(const PItemIDList& rel, std::shared_ptr<IShellFolder>& out) override
    {
        ItemRef it = firstItem(rel);
        if (!it.valid)
            return E_INVALIDARG;
        ShellFolderPtr child;
        HResult hr = bindChild(it, child);
        if (Failed(hr))
            return hr;
        PItemIDList rest = restOf(rel);
        if (rest.isNull()) {
            out = std::move(child);
            return S_OK;
        }
        return child->BindToObject(rest, out);
    }

    HResult CompareIDs(int column, const PItemIDList& a, const PItemIDList& b) override
    {
        ItemRef ia = firstItem(a), ib = firstItem(b);
        if (!ia.valid || !ib.valid)
            return MakeCompareResult(int(ia.valid) - int(ib.valid));
        int r = compareItems(column, ia, ib);
        if (r != 0)
            return MakeCompareResult(r);
        PItemIDList ra = restOf(a), rb = restOf(b);
        if (ra.isNull() || rb.isNull())
            return MakeCompareResult(int(!ra.isNull()) - int(!rb.isNull()));
        ShellFolderPtr child;
        HResult hr = bindChild(ia, child);
        if (Failed(hr))
            return hr;
        return child->CompareIDs(column, ra, rb);
    }

    HResult GetAttributesOf(std::span<const PItemIDList> items, std::uint32_t& inOut) override
    {
        std::uint32_t mask = inOut;
        std::uint32_t result = 0xFFFFFFFFu;
        for (const PItemIDList& rel : items) {
            ItemRef it = firstItem(rel);
            if (!it.valid)
                return E_INVALIDARG;
            HResult hr = S_OK;
            std::uint32_t a;
            PItemIDList rest = restOf(rel);
            if (!rest.isNull()) {
                ShellFolderPtr child;
                hr = bindChild(it, child);
                if (Failed(hr))
                    return hr;
                a = mask;
                std::array<PItemIDList, 1> one{rest};
                hr = child->GetAttributesOf(one, a);
            } else {
                a = childAttributes(it, mask, hr);
            }
            if (Failed(hr))
                return hr;
            result &= a;
        }
        inOut = items.empty() ? 0 : (result & mask);
        return S_OK;
    }

    HResult GetDisplayNameOf(const PItemIDList& rel, std::uint32_t shgdn, QString& out) override
    {
        ItemRef it = firstItem(rel);
        if (!it.valid)
            return E_INVALIDARG;
        PItemIDList rest = restOf(rel);
        if (!rest.isNull()) {
            ShellFolderPtr child;
            HResult hr = bindChild(it, child);
            if (Failed(hr))
                return hr;
            return child->GetDisplayNameOf(rest, shgdn, out);
        }
        return childDisplayName(it, shgdn, out);
    }

    HResult SetNameOf(const PItemIDList& rel, const QString& newName, std::uint32_t, PItemIDList& out) override
    {
        ItemRef it = firstItem(rel);
        if (!it.valid || !restOf(rel).isNull())
            return E_INVALIDARG;
        QByteArray dir = childFolderPath(it);
        if (!isFsKind(it.kind) || dir.isNull())
            return E_NOTIMPL;
        QByteArray name = EncodeName(newName);
        if (name.isEmpty() || name.contains('/') || name.contains('\0') || name == "." || name == "..")
            return E_INVALIDARG;
        if (name.size() > 255)
            return HResultFromErrno(ENAMETOOLONG);
        QByteArray from = joinPath(dir, it.name), to = joinPath(dir, name);
        if (from != to) {
            struct stat a, b;
            bool sameFile = ::lstat(to.constData(), &b) == 0 && ::lstat(from.constData(), &a) == 0
                            && a.st_ino == b.st_ino && a.st_dev == b.st_dev;
            // Never replace another file: rename(2) alone would overwrite it without a word.
            int rc = sameFile ? ::rename(from.constData(), to.constData())
                              : ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
            if (rc != 0 && !sameFile && (errno == EINVAL || errno == ENOSYS)) {
                if (::lstat(to.constData(), &b) == 0)
                    return HResultFromErrno(EEXIST);
                rc = ::rename(from.constData(), to.constData());
            }
            if (rc != 0)
                return HResultFromErrno(errno);
        }
        out = makeItem(it.kind, name);
        return S_OK;
    }

protected:
    virtual HResult bindChild(const ItemRef& it, ShellFolderPtr& out) = 0;
    // The folder that holds this folder's file-system children; null when it has none.
    virtual QByteArray childFolderPath(const ItemRef& it) const = 0;
    virtual std::uint32_t childAttributes(const ItemRef& it, std::uint32_t mask, HResult& hr)
    {
        QByteArray dir = childFolderPath(it);
        if (!isFsKind(it.kind) || dir.isNull())
            return 0;
        return fsAttributes(it.kind, it.name, joinPath(dir, it.name), mask, hr);
    }
    virtual HResult childDisplayName(const ItemRef& it, std::uint32_t shgdn, QString& out)
    {
        QByteArray dir = childFolderPath(it);
        if (!isFsKind(it.kind) || dir.isNull())
            return E_INVALIDARG;
        if ((shgdn & SHGDN_FORPARSING) && !(shgdn & SHGDN_INFOLDER))
            out = DecodeName(joinPath(dir, it.name));
        else if (shgdn & SHGDN_FORPARSING)
            out = DecodeName(it.name);
        else
            out = ReadableName(it.name);
        return S_OK;
    }
    // The rank of a kind ahead of any name: the Desktop's own items come first.
    virtual int kindRank(char) const { return 0; }

    HResult bindFs(const ItemRef& it, ShellFolderPtr& out);

    virtual int compareItems(int column, const ItemRef& a, const ItemRef& b)
    {
        int ra = kindRank(a.kind), rb = kindRank(b.kind);
        if (ra != rb)
            return ra < rb ? -1 : 1;
        bool fa = isFolderKind(a.kind), fb = isFolderKind(b.kind);
        if (fa != fb)
            return fa ? -1 : 1;
        if (column >= 1 && column <= 3 && isFsKind(a.kind)) {
            QByteArray dir = childFolderPath(a);
            struct stat sa{}, sb{};
            ::stat(joinPath(dir, a.name).constData(), &sa);
            ::stat(joinPath(dir, b.name).constData(), &sb);
            int r = 0;
            if (column == 1 && !fa)
                r = sa.st_size < sb.st_size ? -1 : sa.st_size > sb.st_size ? 1 : 0;
            else if (column == 2)
                r = nameCollator().compare(SHGetTypeName(concat(m_abs, makeItem(a.kind, a.name))),
                                           SHGetTypeName(concat(m_abs, makeItem(b.kind, b.name))));
            else if (column == 3)
                r = sa.st_mtim.tv_sec < sb.st_mtim.tv_sec ? -1 : sa.st_mtim.tv_sec > sb.st_mtim.tv_sec ? 1 : 0;
            if (r != 0)
                return r;
        }
        return compareNames(a.name, b.name);
    }

    PItemIDList m_abs;
};

class FsFolder final : public FolderBase
{
public:
    FsFolder(QByteArray path, PItemIDList abs)
        : FolderBase(std::move(abs))
        , m_path(std::move(path))
        , m_trashFiles(BaseName(m_path) == "files" && TrashPlaceOf(m_path) == TrashPlace::FilesFolder)
    {
    }

    HResult ParseDisplayName(const QString& displayName, PItemIDList& out) override
    {
        QByteArray rel = EncodeName(displayName);
        PItemIDList result = EmptyIdList();
        QByteArray cur = m_path;
        for (const QByteArray& part : rel.split('/')) {
            if (part.isEmpty() || part == ".")
                continue;
            if (part == "..")
                return E_INVALIDARG;
            cur = joinPath(cur, part);
            int err = 0;
            char kind = kindOfPath(cur, &err);
            if (!kind)
                return HResultFromErrno(err);
            result = concat(result, makeItem(kind, part));
        }
        out = result;
        return S_OK;
    }

    HResult EnumObjects(std::uint32_t flags, std::unique_ptr<IEnumIDList>& out) override
    {
        return enumFs(m_path, flags, out);
    }

    HResult SetNameOf(const PItemIDList& rel, const QString& newName, std::uint32_t shgdn, PItemIDList& out) override
    {
        if (m_trashFiles)
            return HResultFromErrno(EPERM);
        return FolderBase::SetNameOf(rel, newName, shgdn, out);
    }

protected:
    HResult bindChild(const ItemRef& it, ShellFolderPtr& out) override { return bindFs(it, out); }
    QByteArray childFolderPath(const ItemRef&) const override { return m_path; }
    std::uint32_t childAttributes(const ItemRef& it, std::uint32_t mask, HResult& hr) override
    {
        std::uint32_t a = FolderBase::childAttributes(it, mask, hr);
        // A trash's files folder seen on disk: what is there leaves only by restoring, which
        // takes its info along, and nothing comes in but by trashing, which writes one.
        if (m_trashFiles)
            a &= ~std::uint32_t(SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANLINK | SFGAO_DROPTARGET);
        return a;
    }

private:
    QByteArray m_path;
    bool m_trashFiles;
};

HResult FolderBase::bindFs(const ItemRef& it, ShellFolderPtr& out)
{
    QByteArray dir = childFolderPath(it);
    if (!isFsKind(it.kind) || dir.isNull())
        return E_INVALIDARG;
    QByteArray path = joinPath(dir, it.name);
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return HResultFromErrno(errno);
    if (!S_ISDIR(st.st_mode))
        return HResultFromErrno(ENOTDIR);
    out = std::make_shared<FsFolder>(path, concat(m_abs, makeItem(it.kind, it.name)));
    return S_OK;
}

QString volumeLabel(const QByteArray& mountPoint)
{
    for (const Volume& v : MountedVolumes()) {
        if (v.mountPoint == mountPoint)
            return v.label;
    }
    qsizetype slash = mountPoint.lastIndexOf('/');
    return ReadableName(mountPoint.mid(slash + 1));
}

class ComputerFolder final : public FolderBase
{
public:
    ComputerFolder() : FolderBase(makeItem(KindComputer, {})) {}

    HResult ParseDisplayName(const QString& displayName, PItemIDList& out) override
    {
        QByteArray mp = EncodeName(displayName);
        for (const Volume& v : MountedVolumes()) {
            if (v.mountPoint == mp) {
                out = makeItem(KindVolume, mp);
                return S_OK;
            }
        }
        return HResultFromErrno(ENOENT);
    }

    HResult EnumObjects(std::uint32_t flags, std::unique_ptr<IEnumIDList>& out) override
    {
        std::vector<PItemIDList> items;
        if (flags & SHCONTF_FOLDERS) {
            for (const Volume& v : MountedVolumes())
                items.push_back(makeItem(KindVolume, v.mountPoint));
        }
        out = std::make_unique<ListEnum>(std::move(items), nullptr);
        return S_OK;
    }

protected:
    HResult bindChild(const ItemRef& it, ShellFolderPtr& out) override
    {
        if (it.kind != KindVolume || !it.name.startsWith('/'))
            return E_INVALIDARG;
        struct stat st;
        if (::stat(it.name.constData(), &st) != 0)
            return HResultFromErrno(errno);
        out = std::make_shared<FsFolder>(it.name, concat(m_abs, makeItem(KindVolume, it.name)));
        return S_OK;
    }
    QByteArray childFolderPath(const ItemRef&) const override { return {}; }
    std::uint32_t childAttributes(const ItemRef& it, std::uint32_t mask, HResult& hr) override
    {
        if (it.kind != KindVolume)
            return 0;
        std::uint32_t a = SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_FILESYSTEM | SFGAO_DROPTARGET
                          | SFGAO_CANLINK | SFGAO_HASPROPSHEET | SFGAO_HASSUBFOLDER;
        DriveType t = GetDriveType(it.name);
        if (t == DRIVE_REMOVABLE || t == DRIVE_CDROM)
            a |= SFGAO_REMOVABLE;
        if ((mask & SFGAO_VALIDATE) && t == DRIVE_NO_ROOT_DIR)
            hr = HResultFromErrno(ENOENT);
        return a;
    }
    HResult childDisplayName(const ItemRef& it, std::uint32_t shgdn, QString& out) override
    {
        if (it.kind != KindVolume)
            return E_INVALIDARG;
        out = (shgdn & SHGDN_FORPARSING) ? DecodeName(it.name) : volumeLabel(it.name);
        return S_OK;
    }
    int kindRank(char) const override { return 0; }
};

// ---- The Trash ----

bool isFolderFsKind(char k) { return k == KindDir || k == KindDirLink; }

QByteArray trashItemPath(const ItemRef& it)
{
    return joinPath(joinPath(it.trashRoot, "files"), it.name);
}

// The name the Trash shows: the one the item had before it was trashed.
QString shownTrashName(const ItemRef& it, const TrashEntry& e)
{
    return ReadableName(e.originalPath.isEmpty() ? it.name : BaseName(e.originalPath));
}

QString trashOriginText(const TrashEntry& e)
{
    return e.originalPath.isEmpty() ? QString() : ReadableName(ParentOf(e.originalPath));
}

QString trashDateText(const TrashEntry& e)
{
    if (!e.deletionDate.isValid())
        return {};
    QLocale loc;
    return loc.toString(e.deletionDate.date(), QLocale::ShortFormat) + QLatin1Char(' ')
           + loc.toString(e.deletionDate.time(), QLocale::ShortFormat);
}

QString sizeTextKB(qint64 bytes)
{
    QLocale loc;
    loc.setNumberOptions(loc.numberOptions() & ~QLocale::OmitGroupSeparator);
    return QString::fromLatin1(names::SizeKB).arg(loc.toString(bytes / 1024 + (bytes % 1024 ? 1 : 0)));
}

QString typeNameOf(char kind, const QByteArray& name)
{
    static QMimeDatabase db;
    if (isFolderKind(kind))
        return db.mimeTypeForName(QStringLiteral("inode/directory")).comment();
    return db.mimeTypeForFile(DecodeName(name), QMimeDatabase::MatchExtension).comment();
}

// The info of the Trash's items, read once per listing and shared with the Trash's columns.
class TrashInfoCache
{
public:
    TrashEntry entry(const ItemRef& it)
    {
        const QByteArray path = trashItemPath(it);
        std::lock_guard<std::mutex> lock(m_mutex);
        auto found = m_entries.constFind(path);
        if (found != m_entries.cend())
            return *found;
        TrashEntry e;
        if (!ReadTrashEntry(it.trashRoot, it.name, &e)) {
            e.trashFolder = it.trashRoot;
            e.name = it.name;
            e.isFolder = isFolderFsKind(it.fsKind);
        }
        m_entries.insert(path, e);
        return e;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries.clear();
    }

private:
    std::mutex m_mutex;
    QHash<QByteArray, TrashEntry> m_entries;
};

struct TrashColumn {
    const char* text;
    int fmt;
    int cxChar;
};
constexpr TrashColumn TrashColumns[] = {
    {names::TrashColName, LVCFMT_LEFT, 25},
    {names::TrashColOrigin, LVCFMT_LEFT, 32},
    {names::TrashColDeleted, LVCFMT_LEFT, 22},
    {names::TrashColSize, LVCFMT_RIGHT, 10},
    {names::TrashColType, LVCFMT_LEFT, 18},
};
enum TrashColumnIndex { TrashName, TrashOrigin, TrashDeleted, TrashSize, TrashType, TrashColumnCount };

class TrashDetails final : public IShellDetails
{
public:
    explicit TrashDetails(std::shared_ptr<TrashInfoCache> cache) : m_cache(std::move(cache)) {}

    HResult GetDetailsOf(const PItemIDList& rel, int column, ShellDetails& out) override
    {
        if (column < 0 || column >= TrashColumnCount)
            return E_INVALIDARG;
        out.fmt = TrashColumns[column].fmt;
        out.cxChar = TrashColumns[column].cxChar;
        if (IdListByteSize(rel) <= 2) {
            out.text = QString::fromLatin1(TrashColumns[column].text);
            return S_OK;
        }
        const ItemRef it = firstItem(rel);
        if (!it.valid || it.kind != KindTrashItem || !restOf(rel).isNull())
            return E_INVALIDARG;
        const TrashEntry e = m_cache->entry(it);
        switch (column) {
        case TrashName:
            out.text = shownTrashName(it, e);
            break;
        case TrashOrigin:
            out.text = trashOriginText(e);
            break;
        case TrashDeleted:
            out.text = trashDateText(e);
            break;
        case TrashSize:
            out.text = e.isFolder ? QString() : sizeTextKB(e.size);
            break;
        default:
            out.text = typeNameOf(it.fsKind, it.name);
        }
        return S_OK;
    }

private:
    std::shared_ptr<TrashInfoCache> m_cache;
};

// Every trash of this user on the mounted volumes as one folder. Its items are trash items that
// name their trash; lists of items straight below the Trash (from before there were trash
// items) still lead into the home trash.
class TrashFolder final : public FolderBase
{
public:
    TrashFolder() : FolderBase(makeItem(KindTrash, {})), m_cache(std::make_shared<TrashInfoCache>()) {}

    HResult ParseDisplayName(const QString& displayName, PItemIDList& out) override
    {
        QList<QByteArray> parts;
        for (const QByteArray& part : EncodeName(displayName).split('/')) {
            if (part == "..")
                return E_INVALIDARG;
            if (!part.isEmpty() && part != ".")
                parts.append(part);
        }
        if (parts.isEmpty())
            return E_INVALIDARG;
        for (const QByteArray& root : TrashFolders()) {
            QByteArray cur = joinPath(joinPath(root, "files"), parts.front());
            char kind = kindOfPath(cur, nullptr);
            if (!kind)
                continue;
            PItemIDList result = makeTrashItem(kind, root, parts.front());
            for (qsizetype i = 1; i < parts.size(); ++i) {
                cur = joinPath(cur, parts[i]);
                int err = 0;
                kind = kindOfPath(cur, &err);
                if (!kind)
                    return HResultFromErrno(err);
                result = concat(result, makeItem(kind, parts[i]));
            }
            out = result;
            return S_OK;
        }
        return HResultFromErrno(ENOENT);
    }

    HResult EnumObjects(std::uint32_t flags, std::unique_ptr<IEnumIDList>& out) override
    {
        m_cache->clear();
        std::vector<PItemIDList> items;
        for (const QByteArray& root : TrashFolders()) {
            DIR* d = ::opendir(joinPath(root, "files").constData());
            if (!d)
                continue;
            while (dirent* e = ::readdir(d)) {
                const char* n = e->d_name;
                if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                    continue;
                if (n[0] == '.' && !(flags & SHCONTF_INCLUDEHIDDEN))
                    continue;
                const char kind = kindOfEntry(d, e);
                if (isFolderFsKind(kind) ? !(flags & SHCONTF_FOLDERS) : !(flags & SHCONTF_NONFOLDERS))
                    continue;
                items.push_back(makeTrashItem(kind, root, QByteArrayView(n, qsizetype(std::strlen(n)))));
            }
            ::closedir(d);
        }
        out = std::make_unique<ListEnum>(std::move(items), nullptr);
        return S_OK;
    }

    HResult CreateViewObject(std::shared_ptr<IShellDetails>& out) override
    {
        out = std::make_shared<TrashDetails>(m_cache);
        return S_OK;
    }

protected:
    HResult bindChild(const ItemRef& it, ShellFolderPtr& out) override
    {
        if (it.kind != KindTrashItem)
            return bindFs(it, out);
        const QByteArray path = trashItemPath(it);
        struct stat st;
        if (::stat(path.constData(), &st) != 0)
            return HResultFromErrno(errno);
        if (!S_ISDIR(st.st_mode))
            return HResultFromErrno(ENOTDIR);
        out = std::make_shared<FsFolder>(path, concat(m_abs, makeTrashItem(it.fsKind, it.trashRoot, it.name)));
        return S_OK;
    }
    QByteArray childFolderPath(const ItemRef& it) const override
    {
        return it.kind == KindTrashItem ? joinPath(it.trashRoot, "files") : TrashFilesPath();
    }
    std::uint32_t childAttributes(const ItemRef& it, std::uint32_t mask, HResult& hr) override
    {
        const std::uint32_t a = it.kind == KindTrashItem
                                    ? fsAttributes(it.fsKind, it.name, trashItemPath(it), mask, hr)
                                    : FolderBase::childAttributes(it, mask, hr);
        // Items leave the Trash only by being restored, which takes their info along; trashed
        // folders take nothing in.
        return a & ~std::uint32_t(SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANLINK | SFGAO_DROPTARGET);
    }
    HResult childDisplayName(const ItemRef& it, std::uint32_t shgdn, QString& out) override
    {
        if (it.kind != KindTrashItem)
            return FolderBase::childDisplayName(it, shgdn, out);
        if ((shgdn & SHGDN_FORPARSING) && !(shgdn & SHGDN_INFOLDER))
            out = DecodeName(trashItemPath(it));
        else if (shgdn & SHGDN_FORPARSING)
            out = DecodeName(it.name);
        else
            out = shownTrashName(it, m_cache->entry(it));
        return S_OK;
    }
    int compareItems(int column, const ItemRef& a, const ItemRef& b) override
    {
        if (a.kind != KindTrashItem || b.kind != KindTrashItem)
            return FolderBase::compareItems(column, a, b);
        const bool fa = isFolderFsKind(a.fsKind), fb = isFolderFsKind(b.fsKind);
        if (fa != fb)
            return fa ? -1 : 1;
        const TrashEntry ea = m_cache->entry(a), eb = m_cache->entry(b);
        int r = 0;
        switch (column) {
        case TrashOrigin:
            r = nameCollator().compare(trashOriginText(ea), trashOriginText(eb));
            break;
        case TrashDeleted:
            r = ea.deletionDate < eb.deletionDate ? -1 : eb.deletionDate < ea.deletionDate ? 1 : 0;
            break;
        case TrashSize:
            r = fa || ea.size == eb.size ? 0 : ea.size < eb.size ? -1 : 1;
            break;
        case TrashType:
            r = nameCollator().compare(typeNameOf(a.fsKind, a.name), typeNameOf(b.fsKind, b.name));
            break;
        default:
            break;
        }
        if (r == 0)
            r = nameCollator().compare(shownTrashName(a, ea), shownTrashName(b, eb));
        // Items of the same name in different trashes are still different items.
        if (r == 0 && a.name != b.name)
            r = a.name < b.name ? -1 : 1;
        if (r == 0 && a.trashRoot != b.trashRoot)
            r = a.trashRoot < b.trashRoot ? -1 : 1;
        return r;
    }

private:
    std::shared_ptr<TrashInfoCache> m_cache;
};

class DesktopFolder final : public FolderBase
{
public:
    DesktopFolder() : FolderBase(EmptyIdList()) {}

    HResult ParseDisplayName(const QString& displayName, PItemIDList& out) override
    {
        if (displayName == QLatin1String(names::ComputerParsing)) {
            out = makeItem(KindComputer, {});
            return S_OK;
        }
        if (displayName == QLatin1String(names::TrashParsing)) {
            out = makeItem(KindTrash, {});
            return S_OK;
        }
        QByteArray path = EncodeName(displayName);
        if (!path.startsWith('/'))
            return E_INVALIDARG;
        // Lexical clean-up: empty and "." parts vanish, ".." steps back.
        QList<QByteArray> parts;
        for (const QByteArray& p : path.split('/')) {
            if (p.isEmpty() || p == ".")
                continue;
            if (p == "..") {
                if (!parts.isEmpty())
                    parts.removeLast();
                continue;
            }
            parts.append(p);
        }
        QByteArray clean = "/" + parts.join('/');
        QByteArray root = VolumeRootOf(clean);
        // The mount table vouches for a volume that may not answer: going to it must not wait.
        struct stat st;
        if (!VolumeMayStall(root) && ::stat(root.constData(), &st) != 0)
            return HResultFromErrno(errno);
        PItemIDList result = concat(makeItem(KindComputer, {}), makeItem(KindVolume, root));
        QByteArray cur = root;
        qsizetype skip = root == "/" ? 0 : root.count('/');
        for (qsizetype i = skip; i < parts.size(); ++i) {
            cur = joinPath(cur, parts[i]);
            int err = 0;
            char kind = kindOfPath(cur, &err);
            if (!kind)
                return HResultFromErrno(err);
            result = concat(result, makeItem(kind, parts[i]));
        }
        out = result;
        return S_OK;
    }

    HResult EnumObjects(std::uint32_t flags, std::unique_ptr<IEnumIDList>& out) override
    {
        std::vector<PItemIDList> items;
        if (flags & SHCONTF_FOLDERS) {
            items.push_back(makeItem(KindHome, {}));
            items.push_back(makeItem(KindComputer, {}));
            items.push_back(makeItem(KindTrash, {}));
        }
        std::unique_ptr<IEnumIDList> tail;
        QByteArray desk = DesktopFolderPath();
        if (!desk.isEmpty() && Failed(enumFs(desk, flags, tail)))
            tail.reset();  // a missing desktop folder leaves the Desktop's own items
        out = std::make_unique<ListEnum>(std::move(items), std::move(tail));
        return S_OK;
    }

protected:
    HResult bindChild(const ItemRef& it, ShellFolderPtr& out) override
    {
        switch (it.kind) {
        case KindHome:
            out = std::make_shared<FsFolder>(HomeFolderPath(), makeItem(KindHome, {}));
            return S_OK;
        case KindComputer:
            out = std::make_shared<ComputerFolder>();
            return S_OK;
        case KindTrash:
            out = std::make_shared<TrashFolder>();
            return S_OK;
        default:
            return bindFs(it, out);
        }
    }
    QByteArray childFolderPath(const ItemRef&) const override
    {
        QByteArray desk = DesktopFolderPath();
        return desk.isEmpty() ? QByteArray() : desk;
    }
    std::uint32_t childAttributes(const ItemRef& it, std::uint32_t mask, HResult& hr) override
    {
        switch (it.kind) {
        case KindHome:
            return SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_FILESYSTEM | SFGAO_HASSUBFOLDER | SFGAO_DROPTARGET
                   | SFGAO_CANLINK | SFGAO_HASPROPSHEET;
        case KindComputer:
            return SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER | SFGAO_HASPROPSHEET;
        case KindTrash:
            return SFGAO_FOLDER | SFGAO_DROPTARGET | SFGAO_HASPROPSHEET;
        default:
            return FolderBase::childAttributes(it, mask, hr);
        }
    }
    HResult childDisplayName(const ItemRef& it, std::uint32_t shgdn, QString& out) override
    {
        bool parsing = (shgdn & SHGDN_FORPARSING) && !(shgdn & SHGDN_INFOLDER);
        switch (it.kind) {
        case KindHome:
            out = parsing ? DecodeName(HomeFolderPath()) : QString::fromLatin1(names::Home);
            return S_OK;
        case KindComputer:
            out = QString::fromLatin1(parsing ? names::ComputerParsing : names::Computer);
            return S_OK;
        case KindTrash:
            out = QString::fromLatin1(parsing ? names::TrashParsing : names::Trash);
            return S_OK;
        default:
            return FolderBase::childDisplayName(it, shgdn, out);
        }
    }
    int kindRank(char k) const override
    {
        switch (k) {
        case KindHome:
            return 0;
        case KindComputer:
            return 1;
        case KindTrash:
            return 2;
        default:
            return 3;
        }
    }
};

QByteArray xdgDataHome()
{
    QByteArray d = qgetenv("XDG_DATA_HOME");
    if (d.isEmpty() || !d.startsWith('/'))
        d = HomeFolderPath() + "/.local/share";
    return d;
}

QString iconNameForMime(const QString& fileName, bool* isGeneric)
{
    static QMimeDatabase db;
    QMimeType t = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    *isGeneric = t.isDefault();
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
    static ShellFolderPtr desktop = std::make_shared<DesktopFolder>();
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
    default: {
        bool generic = false;
        QString icon = iconNameForMime(DecodeName(name), &generic);
        return table.indexFor(icon, IconTable::Document);
    }
    }
}

} // namespace corvane::platform
