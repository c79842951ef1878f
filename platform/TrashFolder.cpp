// The Trash: every trash of this user on the mounted volumes as one folder.
#include "FolderBase.h"
#include "core/SizeText.h"

#include "NameCodec.h"
#include "IdListFormat.h"
#include "Trash.h"
#include "Volumes.h"

#include <QCollator>
#include <QDateTime>
#include <QLocale>
#include <QMimeDatabase>

#include <dirent.h>
#include <sys/stat.h>

namespace corvane::platform::folders {

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

QString typeNameOf(char kind, const QByteArray& name)
{
    static QMimeDatabase db;
    if (isFolderKind(kind))
        return db.mimeTypeForName(QStringLiteral("inode/directory")).comment();
    return db.mimeTypeForFile(DecodeName(name), QMimeDatabase::MatchExtension).comment();
}

namespace {

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
            out.text = e.isFolder ? QString() : core::SizeTextKB(e.size);
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
        out = NewFsFolder(path, concat(m_abs, makeTrashItem(it.fsKind, it.trashRoot, it.name)));
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

} // namespace

ShellFolderPtr NewTrashFolder()
{
    return std::make_shared<TrashFolder>();
}

} // namespace corvane::platform::folders
