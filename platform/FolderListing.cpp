#include "FolderListing.h"

#include "IdListFormat.h"
#include "Trash.h"
#include "Volumes.h"
#include "core/PathText.h"
#include "core/UniqueFd.h"

#include <QSet>

#include <algorithm>
#include <thread>

#include <fcntl.h>
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

QCollator NameCollator()
{
    QLocale loc;
    QCollator col(loc.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : loc);
    col.setNumericMode(true);
    col.setCaseSensitivity(Qt::CaseInsensitive);
    return col;
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

// Size and time, by name inside the open folder: one lookup instead of a walk of the whole path.
void captureDetails(int dirFd, const QByteArray& path, const QSet<QByteArray>& mountPoints, ListedItem& item)
{
    // A volume root (the drive roots of other systems) shows neither size nor time.
    if (path.isEmpty() || mountPoints.contains(path))
        return;
    const qsizetype slash = path.lastIndexOf('/');
    const bool relative = dirFd >= 0 && slash >= 0;
    const QByteArray name = relative ? path.mid(slash + 1) : path;
    const int at = relative ? dirFd : AT_FDCWD;
    struct stat st;
    if (::fstatat(at, name.constData(), &st, 0) == 0 || ::fstatat(at, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
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

    const QByteArray folderPath = PathBytesFromIdList(out.abs);
    const bool inFileSystem = !folderPath.isEmpty();
    if (inFileSystem) {
        out.watchPaths.push_back(folderPath);
    } else if (PItemIDList trash; Succeeded(SHGetSpecialFolderLocation(CSIDL_BITBUCKET, trash)) && IdListBody(trash) == IdListBody(out.abs)) {
        for (const QByteArray& root : TrashFolders())
            out.watchPaths.push_back(root + "/files");
    }
    core::UniqueFd dirFd(inFileSystem ? ::open(folderPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC) : -1);
    const bool filtering = inFileSystem && !request.patterns.isEmpty();
    QSet<QByteArray> mountPoints;
    if (inFileSystem) {
        for (const Volume& v : MountedVolumes())
            mountPoints.insert(v.mountPoint);
        mountPoints.insert("/");
    }
    // Known items that are still there leave the list of what was read; the rest are gone.
    if (!request.known.empty()) {
        out.comparedWithKnown = true;
        std::vector<QByteArrayView> known;
        known.reserve(request.known.size());
        for (const PItemIDList& k : request.known)
            known.push_back(IdListBody(k));
        std::sort(known.begin(), known.end());
        std::vector<char> seen(known.size(), 0);
        size_t kept = 0;
        for (size_t i = 0; i < read.size(); ++i) {
            const QByteArrayView body = IdListBody(read[i]);
            auto at = std::lower_bound(known.begin(), known.end(), body);
            // Equal bytes once each: a second item with the same bytes is new.
            while (at != known.end() && *at == body && seen[size_t(at - known.begin())])
                ++at;
            if (at != known.end() && *at == body)
                seen[size_t(at - known.begin())] = 1;
            else
                read[kept++] = std::move(read[i]);
        }
        read.resize(kept);
        for (size_t i = 0; i < known.size(); ++i) {
            if (!seen[i]) {
                PItemIDList rel(known[i].data(), known[i].size());
                rel.append(2, '\0');
                out.gone.push_back(std::move(rel));
            }
        }
    }
    // Attributes, filter and details item by item, shared among a few threads: most of the time
    // goes to waiting on the file system, which answers several questions at once.
    const size_t count = read.size();
    std::vector<ListedItem> listed(count);
    std::vector<char> admitted(count, 0);
    auto work = [&](size_t begin, size_t end) {
        std::optional<QCollator> collator;
        if (request.nameKeys)
            collator = NameCollator();
        for (size_t i = begin; i < end; ++i) {
            if ((i & 255) == 0 && cancel.load(std::memory_order_relaxed))
                return;
            ListedItem& item = listed[i];
            item.rel = std::move(read[i]);
            std::uint32_t attrs = request.attributeMask;
            std::array<PItemIDList, 1> one{item.rel};
            if (Failed(out.folder->GetAttributesOf(one, attrs)))
                attrs = 0;
            item.attributes = attrs;
            if (filtering && !(attrs & SFGAO_FOLDER) && !admittedByPatterns(out.folder, item.rel, request.patterns))
                continue;
            captureDetails(dirFd.get(), PathBytesFromIdList(ConcatIdLists(out.abs, item.rel)), mountPoints, item);
            if (collator) {
                QString name;
                if (Succeeded(out.folder->GetDisplayNameOf(item.rel, SHGDN_INFOLDER, name)))
                    item.nameKey = collator->sortKey(name);
            }
            admitted[i] = 1;
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t parts = count < 2048 ? 1 : std::min<size_t>(4, cores);
    std::vector<std::thread> helpers;
    for (size_t p = 1; p < parts; ++p)
        helpers.emplace_back(work, count * p / parts, count * (p + 1) / parts);
    work(0, count / parts);
    for (std::thread& t : helpers)
        t.join();
    if (cancel.load(std::memory_order_relaxed)) {
        out.cancelled = true;
        return out;
    }
    out.items.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        if (admitted[i])
            out.items.push_back(std::move(listed[i]));
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
