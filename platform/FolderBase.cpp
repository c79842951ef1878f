// What every folder of the namespace shares: items are handled one level at a time.
#include "FolderBase.h"

#include "NameCodec.h"

#include <QCollator>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace corvane::platform::folders {

HResult FolderBase::BindToObject(const PItemIDList& rel, std::shared_ptr<IShellFolder>& out)
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

HResult FolderBase::CompareIDs(int column, const PItemIDList& a, const PItemIDList& b)
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

HResult FolderBase::GetAttributesOf(std::span<const PItemIDList> items, std::uint32_t& inOut)
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

HResult FolderBase::GetDisplayNameOf(const PItemIDList& rel, std::uint32_t shgdn, QString& out)
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

HResult FolderBase::SetNameOf(const PItemIDList& rel, const QString& newName, std::uint32_t, PItemIDList& out)
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

std::uint32_t FolderBase::childAttributes(const ItemRef& it, std::uint32_t mask, HResult& hr)
{
    QByteArray dir = childFolderPath(it);
    if (!isFsKind(it.kind) || dir.isNull())
        return 0;
    return fsAttributes(it.kind, it.name, joinPath(dir, it.name), mask, hr);
}

HResult FolderBase::childDisplayName(const ItemRef& it, std::uint32_t shgdn, QString& out)
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

int FolderBase::compareItems(int column, const ItemRef& a, const ItemRef& b)
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

} // namespace corvane::platform::folders
