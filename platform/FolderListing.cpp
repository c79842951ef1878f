#include "FolderListing.h"

#include "IdListFormat.h"
#include "Volumes.h"
#include "core/PathText.h"

#include <QSet>

#include <sys/stat.h>

namespace corvane::platform {

HResult BindToFolder(const PItemIDList& abs, ShellFolderPtr& out)
{
    ShellFolderPtr desktop = SHGetDesktopFolder();
    if (IdListByteSize(abs) <= 2) {
        out = desktop;
        return S_OK;
    }
    return desktop->BindToObject(abs, out);
}

namespace {

bool admittedByPatterns(const ShellFolderPtr& folder, const PItemIDList& rel, const QStringList& patterns)
{
    QString name;
    if (Failed(folder->GetDisplayNameOf(rel, SHGDN_INFOLDER | SHGDN_FORPARSING, name)))
        return false;
    for (const QString& pattern : patterns) {
        if (core::FileSpecMatches(name, pattern))
            return true;
    }
    return false;
}

void captureDetails(const PItemIDList& abs, const QSet<QByteArray>& mountPoints, ListedItem& item)
{
    const QByteArray path = PathBytesFromIdList(ConcatIdLists(abs, item.rel));
    // A volume root (the drive roots of other systems) shows neither size nor time.
    if (path.isEmpty() || mountPoints.contains(path))
        return;
    struct stat st;
    if (::stat(path.constData(), &st) == 0 || ::lstat(path.constData(), &st) == 0) {
        if (!S_ISDIR(st.st_mode))
            item.size = qint64(st.st_size);
        item.modified = st.st_mtim.tv_sec != 0 ? st.st_mtim.tv_sec : st.st_ctim.tv_sec;
        item.hasModified = true;
    }
}

} // namespace

FolderListing ListFolder(const FolderListingRequest& request, const std::atomic<bool>& cancel)
{
    FolderListing out;
    out.abs = request.abs.isNull() ? EmptyIdList() : request.abs;
    out.bindResult = BindToFolder(out.abs, out.folder);
    if (Failed(out.bindResult) || !out.folder) {
        if (Succeeded(out.bindResult))
            out.bindResult = E_FAIL;
        out.folder.reset();
        return out;
    }
    if (request.columns && Succeeded(out.folder->CreateViewObject(out.details)) && out.details) {
        ShellDetails d;
        while (out.columns.size() < 64 && Succeeded(out.details->GetDetailsOf({}, int(out.columns.size()), d)))
            out.columns.push_back(d);
    }
    if (out.columns.empty())
        out.details.reset();

    std::unique_ptr<IEnumIDList> e;
    out.enumStartResult = out.folder->EnumObjects(request.enumFlags, e);
    if (Failed(out.enumStartResult) || !e)
        return out;
    std::vector<PItemIDList> read;
    read.reserve(500);
    PItemIDList rel;
    HResult hr;
    while ((hr = e->Next(rel)) == S_OK) {
        read.push_back(rel);
        if ((read.size() & 1023) == 0 && cancel.load(std::memory_order_relaxed)) {
            out.cancelled = true;
            return out;
        }
    }
    if (hr != S_FALSE)
        out.enumResult = hr;

    const bool inFileSystem = !PathBytesFromIdList(out.abs).isEmpty();
    const bool filtering = inFileSystem && !request.patterns.isEmpty();
    QSet<QByteArray> mountPoints;
    if (inFileSystem) {
        for (const Volume& v : MountedVolumes())
            mountPoints.insert(v.mountPoint);
        mountPoints.insert("/");
    }
    out.items.reserve(read.size());
    for (size_t i = 0; i < read.size(); ++i) {
        if ((i & 255) == 0 && cancel.load(std::memory_order_relaxed)) {
            out.cancelled = true;
            out.items.clear();
            return out;
        }
        ListedItem item;
        item.rel = std::move(read[i]);
        std::uint32_t attrs = request.attributeMask;
        std::array<PItemIDList, 1> one{item.rel};
        if (Failed(out.folder->GetAttributesOf(one, attrs)))
            attrs = 0;
        item.attributes = attrs;
        if (filtering && !(attrs & SFGAO_FOLDER) && !admittedByPatterns(out.folder, item.rel, request.patterns))
            continue;
        captureDetails(out.abs, mountPoints, item);
        out.items.push_back(std::move(item));
    }
    return out;
}

FolderListing FolderListingJob::TakeResult()
{
    std::lock_guard lock(resultMutex());
    return std::move(m_result);
}

void FolderListingJob::execute()
{
    FolderListing listing = ListFolder(m_request, cancelFlag());
    std::lock_guard lock(resultMutex());
    m_result = std::move(listing);
}

} // namespace corvane::platform
