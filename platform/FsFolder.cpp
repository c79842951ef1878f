// A folder of the file system.
#include "FolderBase.h"

#include "NameCodec.h"
#include "IdListFormat.h"
#include "Trash.h"

#include <cerrno>
#include <sys/stat.h>

namespace corvane::platform::folders {

namespace {

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

} // namespace

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
    out = NewFsFolder(path, concat(m_abs, makeItem(it.kind, it.name)));
    return S_OK;
}

ShellFolderPtr NewFsFolder(QByteArray path, PItemIDList abs)
{
    return std::make_shared<FsFolder>(std::move(path), std::move(abs));
}

} // namespace corvane::platform::folders
