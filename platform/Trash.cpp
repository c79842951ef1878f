#include "Trash.h"

#include "FileOperationDelete.h"
#include "FileOperationNames.h"
#include "FileOperationTexts.h"
#include "FileOperationTransfer.h"
#include "NameCodec.h"
#include "Namespace.h"
#include "Volumes.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <time.h>

namespace corvane::platform {

using namespace fileops;

namespace {

constexpr const char InfoSuffix[] = ".trashinfo";
constexpr qsizetype InfoSuffixSize = sizeof(InfoSuffix) - 1;
// Info files are a few hundred bytes; anything far larger is no info file.
constexpr qint64 InfoMaxSize = 64 * 1024;

QString uiText(const char* text)
{
    return QString::fromUtf8(text);
}

QByteArray uidText()
{
    return QByteArray::number(qulonglong(::geteuid()));
}

bool isOwnDir(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// Creates root, root/files and root/info as needed; false when any is no private folder.
bool ensureTrash(const QByteArray& root)
{
    for (const QByteArray& dir : {root, JoinPath(root, "files"), JoinPath(root, "info")}) {
        if (::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST)
            return false;
        if (!isOwnDir(dir))
            return false;
    }
    return true;
}

QByteArray readSmallFile(const QByteArray& path, qint64 limit)
{
    Fd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || (!S_ISREG(st.st_mode) && st.st_size != 0))
        return {};
    QByteArray out;
    char buf[16384];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.append(buf, n);
        if (out.size() > limit)
            return {};
    }
    return out;
}

// The path with the links of its folders resolved; the last component is kept as it is.
QByteArray canonicalParent(const QByteArray& path)
{
    QByteArray out = path;
    if (char* real = ::realpath(ParentOf(path).constData(), nullptr)) {
        out = JoinPath(QByteArray(real), BaseName(path));
        std::free(real);
    }
    return out;
}

QByteArray canonical(const QByteArray& path)
{
    QByteArray out;
    if (char* real = ::realpath(path.constData(), nullptr)) {
        out = real;
        std::free(real);
    }
    return out;
}

// The mount point that holds the path: the longest mount point above its canonical folder.
QByteArray mountPointOf(const QByteArray& path)
{
    const QByteArray where = canonicalParent(path);
    QByteArray best = "/";
    const QByteArray info = readSmallFile("/proc/self/mountinfo", qint64(64) << 20);
    for (const QByteArray& line : info.split('\n')) {
        QList<QByteArray> f = line.split(' ');
        if (f.size() < 5)
            continue;
        QByteArray mp = UnescapeMountField(f[4]);
        bool inside = mp == "/" || where == mp || where.startsWith(mp + '/');
        if (inside && mp.size() > best.size())
            best = mp;
    }
    return best;
}

// $topdir/.Trash/$uid when .Trash is a sticky folder and no link, else $topdir/.Trash-$uid.
// Created when missing if `create`; empty when neither can be used.
QByteArray topdirTrash(const QByteArray& topdir, bool create)
{
    struct stat st;
    const QByteArray shared = JoinPath(topdir, ".Trash");
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        QByteArray root = JoinPath(shared, uidText());
        if (create ? ensureTrash(root) : isOwnDir(root))
            return root;
    }
    QByteArray own = JoinPath(topdir, ".Trash-" + uidText());
    if (create ? ensureTrash(own) : isOwnDir(own))
        return own;
    return {};
}

// The folder that relative Path values of this trash start from: the one that holds the
// trash's own folder ($XDG_DATA_HOME/Trash, $topdir/.Trash-$uid, $topdir/.Trash/$uid).
QByteArray topdirOf(const QByteArray& root)
{
    if (root == HomeTrashPath() || BaseName(root).startsWith(".Trash-"))
        return ParentOf(root);
    return ParentOf(ParentOf(root));
}

// The volumes whose trash the Trash folder shows and empties; items on any other volume get no
// trash there. Network volumes are left out: a stalled server must not hang the Trash folder.
std::vector<QByteArray> trashVolumes()
{
    std::vector<QByteArray> out;
    for (const Volume& v : ParseMountInfo(readSmallFile("/proc/self/mountinfo", qint64(64) << 20))) {
        if (v.type != DRIVE_REMOTE)
            out.push_back(v.mountPoint);
    }
    return out;
}

bool hasTrashVolume(const QByteArray& mountPoint)
{
    const std::vector<QByteArray> volumes = trashVolumes();
    return std::find(volumes.begin(), volumes.end(), mountPoint) != volumes.end();
}

// An absolute path with no ".", ".." or empty parts: anything else could lead a restore outside
// the place the item came from.
bool isSanePath(const QByteArray& path)
{
    if (!path.startsWith('/') || path.contains('\0'))
        return false;
    for (const QByteArray& part : path.mid(1).split('/')) {
        if (part.isEmpty() || part == "." || part == "..")
            return false;
    }
    return true;
}

QByteArray originalPathOf(const QByteArray& root, const QByteArray& pathValue)
{
    const bool home = root == HomeTrashPath();
    QByteArray path;
    if (pathValue.startsWith('/')) {
        path = pathValue;
        // A volume's trash only speaks for that volume.
        const QByteArray top = topdirOf(root);
        if (!home && top != "/" && !path.startsWith(top + '/'))
            return {};
    } else {
        path = JoinPath(topdirOf(root), pathValue);
    }
    return isSanePath(path) ? path : QByteArray();
}

void measureTree(const QByteArray& path, qint64* bytes);

// The entry of files/NAME in the trash `root`; false when there is no such item.
bool loadEntry(const QByteArray& root, const QByteArray& name, bool folderSizes, TrashEntry* out)
{
    TrashEntry e;
    e.trashFolder = root;
    e.name = name;
    struct stat st;
    if (name.isEmpty() || name.contains('/') || ::lstat(e.filesPath().constData(), &st) != 0)
        return false;
    QByteArray pathValue;
    if (ParseTrashInfo(readSmallFile(e.infoPath(), InfoMaxSize), &pathValue, &e.deletionDate))
        e.originalPath = originalPathOf(root, pathValue);
    e.isFolder = S_ISDIR(st.st_mode);
    if (!e.isFolder)
        e.size = st.st_size;
    else if (folderSizes)
        measureTree(e.filesPath(), &e.size);
    *out = std::move(e);
    return true;
}

void measureTree(const QByteArray& path, qint64* bytes)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return;
    if (!S_ISDIR(st.st_mode)) {
        *bytes += st.st_size;
        return;
    }
    std::vector<QByteArray> names;
    if (!EntryNames(path, names))
        return;
    for (const QByteArray& n : names)
        measureTree(JoinPath(path, n), bytes);
}

std::vector<QByteArray> listNames(const QByteArray& dir)
{
    std::vector<QByteArray> names;
    DIR* d = ::opendir(dir.constData());
    if (!d)
        return names;
    while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    }
    ::closedir(d);
    return names;
}

// ---------------------------------------------------------------------------------------------

class TrashOperation : public FileOperation
{
public:
    explicit TrashOperation(std::vector<QByteArray> paths)
        : FileOperation(FileOpKind::Trash)
        , m_paths(std::move(paths))
    {
    }

protected:
    void execute() override;

private:
    struct Work {
        QByteArray path;
        bool volumeTrash = false;  // the home trash turned out to be on another volume
    };
    struct Prepared {
        Work work;
        QByteArray root;
        QByteArray name;
    };
    enum class Prep { Ready, Done, Cancelled };

    Prep prepare(const Work& work, Prepared* out, std::vector<std::pair<dev_t, Fd>>& syncFds);
    bool insideTrash(const QByteArray& path, const QByteArray& realPath);

    std::vector<QByteArray> m_paths;
    std::vector<QByteArray> m_roots;  // canonical trash folders, to refuse what is already inside
};

// Info files are written first and synced in batches; only then are the items moved, so a
// crash never leaves an item in the trash without its info.
constexpr size_t TrashBatch = 64;

void TrashOperation::execute()
{
    for (const QByteArray& root : TrashFolders()) {
        if (char* real = ::realpath(root.constData(), nullptr)) {
            m_roots.emplace_back(real);
            std::free(real);
        }
    }
    const QByteArray home = HomeTrashPath();
    if (char* real = ::realpath(ParentOf(home).constData(), nullptr)) {
        m_roots.push_back(JoinPath(QByteArray(real), "Trash"));
        std::free(real);
    }

    addTotals(0, qint64(m_paths.size()));
    std::deque<Work> queue;
    for (const QByteArray& p : m_paths)
        queue.push_back({CleanPath(p), false});

    while (!queue.empty() && !isCancelled()) {
        std::vector<Prepared> batch;
        std::vector<std::pair<dev_t, Fd>> syncFds;
        while (!queue.empty() && batch.size() < TrashBatch && !isCancelled()) {
            Work w = queue.front();
            queue.pop_front();
            Prepared p;
            Prep r = prepare(w, &p, syncFds);
            if (r == Prep::Ready)
                batch.push_back(std::move(p));
            else if (r == Prep::Done)
                addDone(0, 1);
        }
        for (auto& s : syncFds)
            ::syncfs(s.second.get());
        syncFds.clear();

        for (size_t i = 0; i < batch.size(); ++i) {
            const Prepared& p = batch[i];
            const QByteArray info = JoinPath(JoinPath(p.root, "info"), p.name + InfoSuffix);
            if (isCancelled()) {
                ::unlink(info.constData());
                continue;
            }
            setCurrentFile(p.work.path);
            const QByteArray target = JoinPath(JoinPath(p.root, "files"), p.name);
            int e = RenameNoReplace(p.work.path, target);
            if (e == 0) {
                addCreated(target);
                addDone(0, 1);
                publishIfDue();
                continue;
            }
            ::unlink(info.constData());
            if (e == EEXIST) {
                queue.push_back(p.work);  // an unlisted file holds the name: pick another
            } else if (e == EXDEV && !p.work.volumeTrash) {
                queue.push_back({p.work.path, true});
            } else if (e == EXDEV) {
                addNoTrash(p.work.path);
                addSkipped(p.work.path, uiText(texts::NoTrashOnVolume).arg(Shown(p.work.path)));
                addDone(0, 1);
            } else {
                ErrorAction a = askError(p.work.path, uiText(texts::CannotTrash), e);
                if (a == ErrorAction::Retry)
                    queue.push_back(p.work);
                else
                    addDone(0, 1);
            }
        }
    }
}

bool TrashOperation::insideTrash(const QByteArray& path, const QByteArray& realPath)
{
    for (const QByteArray& root : m_roots) {
        if (realPath == root || realPath.startsWith(root + '/')) {
            addSkipped(path, uiText(texts::AlreadyInTrash).arg(Shown(path)));
            return true;
        }
        if (root.startsWith(realPath + '/') || realPath == "/") {
            addSkipped(path, uiText(texts::HoldsTrash).arg(Shown(path)));
            return true;
        }
    }
    return false;
}

TrashOperation::Prep TrashOperation::prepare(const Work& work, Prepared* out, std::vector<std::pair<dev_t, Fd>>& syncFds)
{
    const QByteArray& path = work.path;
    setCurrentFile(path);
    publishIfDue();
    for (;;) {
        struct stat st;
        int e = 0;
        if (::lstat(path.constData(), &st) != 0)
            e = errno;

        QByteArray realPath = path;
        if (e == 0) {
            if (char* real = ::realpath(ParentOf(path).constData(), nullptr)) {
                realPath = JoinPath(QByteArray(real), BaseName(path));
                std::free(real);
            }
            if (insideTrash(path, realPath))
                return Prep::Done;
        }

        QByteArray root;
        QByteArray pathValue;
        if (e == 0) {
            const QByteArray home = HomeTrashPath();
            struct stat hst;
            if (!work.volumeTrash && MakePath(ParentOf(home), 0700) == 0 && ensureTrash(home)
                && ::stat(home.constData(), &hst) == 0 && hst.st_dev == st.st_dev) {
                root = home;
                pathValue = realPath;
            } else {
                const QByteArray top = mountPointOf(realPath);
                if (hasTrashVolume(top))
                    root = topdirTrash(top, true);
                struct stat rst;
                if (!root.isEmpty() && (::stat(root.constData(), &rst) != 0 || rst.st_dev != st.st_dev))
                    root.clear();
                pathValue = top == "/" ? realPath.mid(1) : realPath.mid(top.size() + 1);
            }
            if (root.isEmpty()) {
                addNoTrash(path);
                addSkipped(path, uiText(texts::NoTrashOnVolume).arg(Shown(path)));
                return Prep::Done;
            }
        }

        // A free name in files/ and info/; the info file is claimed with O_EXCL.
        QByteArray name;
        Fd info;
        if (e == 0) {
            const bool folder = S_ISDIR(st.st_mode);
            const QByteArray base = ShortenName(BaseName(path), folder, NAME_MAX - InfoSuffixSize - 12);
            for (int n = 1; n < 1'000'000; ++n) {
                name = n == 1 ? base : NumberedName(base, folder, n);
                struct stat taken;
                if (::lstat(JoinPath(JoinPath(root, "files"), name).constData(), &taken) == 0)
                    continue;
                QByteArray infoPath = JoinPath(JoinPath(root, "info"), name + InfoSuffix);
                info.reset(::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
                if (info.valid() || errno != EEXIST)
                    break;
            }
            if (!info.valid())
                e = errno;
        }
        if (e == 0) {
            const QByteArray text = FormatTrashInfo(pathValue, QDateTime::currentDateTime());
            ssize_t written = 0;
            while (written < text.size()) {
                ssize_t w = ::write(info.get(), text.constData() + written, size_t(text.size() - written));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0) {
                    e = w < 0 ? errno : EIO;
                    break;
                }
                written += w;
            }
            if (e != 0)
                ::unlink(JoinPath(JoinPath(root, "info"), name + InfoSuffix).constData());
        }
        if (e == 0) {
            struct stat ist;
            ::fstat(info.get(), &ist);
            if (std::none_of(syncFds.begin(), syncFds.end(), [&](const auto& s) { return s.first == ist.st_dev; }))
                syncFds.emplace_back(ist.st_dev, std::move(info));
            *out = {work, root, name};
            return Prep::Ready;
        }
        ErrorAction a = askError(path, uiText(texts::CannotTrash), e);
        if (a == ErrorAction::Cancel)
            return Prep::Cancelled;
        if (a == ErrorAction::Skip)
            return Prep::Done;
    }
}

class RestoreOperation : public TransferOperation
{
public:
    RestoreOperation(std::vector<TransferItem> items, std::vector<TrashEntry> unknown)
        : TransferOperation(FileOpKind::Restore, std::move(items))
        , m_unknown(std::move(unknown))
    {
    }

protected:
    void execute() override
    {
        for (const TrashEntry& e : m_unknown)
            addSkipped(e.filesPath(), uiText(texts::UnknownOrigin).arg(Shown(e.filesPath())));
        TransferOperation::execute();
    }

private:
    std::vector<TrashEntry> m_unknown;
};

class EmptyTrashOperation : public DeleteOperation
{
public:
    EmptyTrashOperation()
        : DeleteOperation(FileOpKind::DeleteFromTrash, {}, true)
    {
    }

protected:
    void collect() override
    {
        for (const QByteArray& root : TrashFolders()) {
            const QByteArray files = JoinPath(root, "files");
            const QByteArray info = JoinPath(root, "info");
            for (const QByteArray& name : listNames(files))
                m_items.push_back({JoinPath(files, name), JoinPath(info, name + InfoSuffix)});
            // Info files whose item is gone, and the size cache that now describes nothing.
            for (const QByteArray& name : listNames(info)) {
                struct stat st;
                const QByteArray item = JoinPath(files, name.chopped(std::min(name.size(), InfoSuffixSize)));
                if (name.endsWith(InfoSuffix) && ::lstat(item.constData(), &st) != 0)
                    m_items.push_back({JoinPath(info, name), {}});
            }
            struct stat st;
            const QByteArray sizes = JoinPath(root, "directorysizes");
            if (::lstat(sizes.constData(), &st) == 0)
                m_items.push_back({sizes, {}});
        }
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------

QByteArray TrashEntry::filesPath() const
{
    return JoinPath(JoinPath(trashFolder, "files"), name);
}

QByteArray TrashEntry::infoPath() const
{
    return JoinPath(JoinPath(trashFolder, "info"), name + InfoSuffix);
}

QByteArray HomeTrashPath()
{
    return ParentOf(TrashFilesPath());
}

std::vector<QByteArray> TrashFolders()
{
    std::vector<QByteArray> roots;
    std::vector<std::pair<dev_t, ino_t>> seen;
    auto add = [&](const QByteArray& root) {
        struct stat st;
        if (root.isEmpty() || !isOwnDir(root) || ::stat(root.constData(), &st) != 0)
            return;
        if (std::any_of(seen.begin(), seen.end(), [&](const auto& s) { return s.first == st.st_dev && s.second == st.st_ino; }))
            return;
        seen.emplace_back(st.st_dev, st.st_ino);
        roots.push_back(root);
    };
    add(HomeTrashPath());
    for (const QByteArray& top : trashVolumes()) {
        // Either kind of volume trash may hold items, whichever is used for new ones.
        struct stat st;
        const QByteArray shared = JoinPath(top, ".Trash");
        if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX))
            add(JoinPath(shared, uidText()));
        add(JoinPath(top, ".Trash-" + uidText()));
    }
    return roots;
}

std::vector<TrashEntry> ListTrash(bool folderSizes)
{
    std::vector<TrashEntry> entries;
    for (const QByteArray& root : TrashFolders()) {
        // By what files/ holds: an item without its info is still in the trash (Empty Trash
        // deletes it), only where it came from is unknown. An info without its item is nothing.
        for (const QByteArray& name : listNames(JoinPath(root, "files"))) {
            TrashEntry e;
            if (loadEntry(root, name, folderSizes, &e))
                entries.push_back(std::move(e));
        }
    }
    return entries;
}

bool ReadTrashEntry(const QByteArray& root, const QByteArray& name, TrashEntry* out)
{
    return loadEntry(root, name, false, out);
}

TrashPlace TrashPlaceOf(const QByteArray& path)
{
    if (!path.startsWith('/'))
        return TrashPlace::Outside;
    const QByteArray where = canonicalParent(CleanPath(path));
    // Only paths with a files folder on the way can be in a trash: most are answered here.
    if (!where.endsWith("/files") && !where.contains("/files/"))
        return TrashPlace::Outside;
    for (const QByteArray& root : TrashFolders()) {
        const QByteArray real = canonical(root);
        if (real.isEmpty())
            continue;
        const QByteArray files = JoinPath(real, "files");
        if (where == files)
            return TrashPlace::FilesFolder;
        if (where.startsWith(files + '/'))
            return ParentOf(where) == files ? TrashPlace::Item : TrashPlace::InsideItem;
    }
    return TrashPlace::Outside;
}

bool TrashEntryOf(const QByteArray& path, TrashEntry* out)
{
    const QByteArray clean = CleanPath(path);
    if (TrashPlaceOf(clean) != TrashPlace::Item)
        return false;
    // The trash as TrashFolders() names it, so the entry's origin is judged as in ListTrash().
    const QByteArray files = ParentOf(canonicalParent(clean));
    for (const QByteArray& root : TrashFolders()) {
        const QByteArray real = canonical(root);
        if (!real.isEmpty() && JoinPath(real, "files") == files)
            return loadEntry(root, BaseName(clean), false, out);
    }
    return false;
}

QByteArray TrashFolderFor(const QByteArray& path)
{
    const QByteArray p = CleanPath(path);
    struct stat st, hst;
    if (::lstat(p.constData(), &st) != 0)
        return {};
    const QByteArray home = HomeTrashPath();
    if (MakePath(ParentOf(home), 0700) == 0 && ensureTrash(home) && ::stat(home.constData(), &hst) == 0
        && hst.st_dev == st.st_dev)
        return home;
    const QByteArray top = mountPointOf(p);
    QByteArray root = hasTrashVolume(top) ? topdirTrash(top, true) : QByteArray();
    if (!root.isEmpty() && (::stat(root.constData(), &hst) != 0 || hst.st_dev != st.st_dev))
        root.clear();
    return root;
}

QByteArray FormatTrashInfo(const QByteArray& pathValue, const QDateTime& deletionDate)
{
    // Every byte but the unreserved ones and "/" is percent-encoded, so any name survives.
    return "[Trash Info]\nPath=" + pathValue.toPercentEncoding("/") + "\nDeletionDate="
        + deletionDate.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")).toLatin1() + '\n';
}

bool ParseTrashInfo(const QByteArray& text, QByteArray* pathValue, QDateTime* deletionDate)
{
    bool inGroup = false;
    bool sawGroup = false;
    bool havePath = false;
    *deletionDate = QDateTime();
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            // The first group must be [Trash Info]; later groups are not ours.
            inGroup = !sawGroup && line == "[Trash Info]";
            if (!inGroup && !sawGroup)
                return false;
            sawGroup = true;
            continue;
        }
        if (!inGroup)
            continue;
        qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (key == "Path" && !havePath) {
            *pathValue = QByteArray::fromPercentEncoding(value);
            havePath = !pathValue->isEmpty() && !pathValue->contains('\0');
        } else if (key == "DeletionDate" && !deletionDate->isValid()) {
            *deletionDate = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODate);
        }
    }
    return havePath;
}

std::unique_ptr<FileOperation> TrashFiles(std::vector<QByteArray> paths)
{
    return std::make_unique<TrashOperation>(std::move(paths));
}

std::unique_ptr<FileOperation> RestoreFromTrash(std::vector<TrashEntry> entries)
{
    std::vector<TransferItem> items;
    std::vector<TrashEntry> unknown;
    for (TrashEntry& e : entries) {
        if (e.originalPath.isEmpty() || !isSanePath(e.originalPath)) {
            unknown.push_back(std::move(e));
            continue;
        }
        TransferItem item;
        item.source = e.filesPath();
        item.targetDir = ParentOf(e.originalPath);
        item.targetName = BaseName(e.originalPath);
        item.companion = e.infoPath();
        items.push_back(std::move(item));
    }
    return std::make_unique<RestoreOperation>(std::move(items), std::move(unknown));
}

std::unique_ptr<FileOperation> MoveFilesWithTrashInfo(std::vector<QByteArray> sources, const QByteArray& targetFolder)
{
    const QByteArray target = CleanPath(targetFolder);
    std::vector<TransferItem> items;
    items.reserve(sources.size());
    // Sources mostly share their folder: whether it is a trash's files folder is asked once.
    QByteArray lastParent;
    bool parentIsTrash = false;
    for (const QByteArray& s : sources) {
        TransferItem item;
        item.source = CleanPath(s);
        item.targetDir = target;
        item.targetName = BaseName(item.source);
        const QByteArray parent = ParentOf(item.source);
        if (parent != lastParent) {
            lastParent = parent;
            parentIsTrash = TrashPlaceOf(parent) == TrashPlace::FilesFolder;
        }
        TrashEntry e;
        if (parentIsTrash && TrashEntryOf(item.source, &e))
            item.companion = e.infoPath();
        items.push_back(std::move(item));
    }
    return std::make_unique<TransferOperation>(FileOpKind::Move, std::move(items));
}

std::unique_ptr<FileOperation> DeleteFromTrash(std::vector<TrashEntry> entries)
{
    std::vector<DeleteItem> items;
    for (const TrashEntry& e : entries)
        items.push_back({e.filesPath(), e.infoPath()});
    return std::make_unique<DeleteOperation>(FileOpKind::DeleteFromTrash, std::move(items), true);
}

std::unique_ptr<FileOperation> EmptyTrash()
{
    return std::make_unique<EmptyTrashOperation>();
}

} // namespace corvane::platform
