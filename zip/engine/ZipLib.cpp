#include "ZipLib.h"

#include "ZipDirectory.h"
#include "ZipInflateAhead.h"
#include "ZipNameRule.h"
#include "ZipTexts.h"
#include "core/NameCodec.h"
#include "core/PathText.h"
#include "core/TreeWalker.h"

#include <QDir>

#include <zip.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

namespace corvane::zip {

namespace {

using core::Text;

constexpr qint64 kChunk = 256 * 1024;
// Files up to this size are compressed ahead on worker threads and handed to libzip compressed;
// bigger ones stream through libzip, so memory stays bounded.
constexpr qint64 kPrecompressMax = 16 * 1024 * 1024;
constexpr qint64 kPrecompressBudget = 96 * 1024 * 1024;

QString Readable(const QByteArray& raw)
{
    return core::ReadableName(raw);
}

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString LibText(zip_error_t* error)
{
    return QString::fromUtf8(zip_error_strerror(error));
}

QString MessageNumberText(int number)
{
    for (const ZipMessageText& m : kZipMessages)
        if (m.number == number)
            return Text(m.text);
    return {};
}

// The base of the callbacks of both libraries.
class Reporter
{
public:
    Reporter(const void* caller, const ZipLibCallback& callback) : m_caller(caller), m_callback(callback) {}

    bool report(int action, qint64 size = 0, const QString& text = {}, int error = 0)
    {
        if (m_callback) {
            ZipCallbackRecord r{m_caller, action, error, size, text.left(512)};
            if (m_callback(r))
                m_stop.store(true);
        }
        return stopped();
    }
    void message(int error, const QString& text) { report(kActionMessage, 0, text, error); }
    // Opens the archive with libzip; a failure is reported.
    zip_t* openArchive(const QByteArray& path, int flags, const QString& shown)
    {
        int code = 0;
        zip_t* za = zip_open(path.constData(), flags, &code);
        if (!za) {
            zip_error_t e;
            zip_error_init_with_code(&e, code);
            message(kLibOpenArchive, Text(lib::kOpenArchive).arg(shown, LibText(&e)));
            zip_error_fini(&e);
        }
        return za;
    }
    bool stopped() const { return m_stop.load(std::memory_order_relaxed); }
    void stop() { m_stop.store(true); }

private:
    const void* m_caller;
    const ZipLibCallback& m_callback;
    std::atomic<bool> m_stop{false};
};

// Files compressed ahead of libzip in the order it writes them, by as many workers as there are
// cores, with a bound on the bytes waiting in memory.
struct Packed {
    QByteArray data;
    quint32 crc = 0;
    qint64 size = 0;
    int error = 0;
};

class Precompressor
{
public:
    Precompressor(std::vector<QByteArray> paths, std::vector<qint64> sizes, int level, int threads)
        : m_paths(std::move(paths)), m_sizes(std::move(sizes)), m_level(level), m_results(m_paths.size()),
          m_released(m_paths.size(), false)
    {
        for (int i = 0; i < threads && !m_paths.empty(); ++i)
            m_threads.emplace_back([this] { work(); });
    }
    ~Precompressor()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_cv.notify_all();
        for (std::thread& t : m_threads)
            t.join();
    }

    std::shared_ptr<Packed> take(size_t i)
    {
        std::unique_lock lock(m_mutex);
        m_wanted = std::max(m_wanted, i);
        m_cv.notify_all();
        m_cv.wait(lock, [&] { return m_results[i] || m_quit || m_released[i]; });
        return m_results[i];
    }
    void release(size_t i)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_released[i])
                return;
            m_released[i] = true;
            m_results[i].reset();
            m_inflight -= m_sizes[i];
        }
        m_cv.notify_all();
    }
    void quit()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_cv.notify_all();
    }

private:
    void work()
    {
        for (;;) {
            size_t i;
            {
                std::unique_lock lock(m_mutex);
                m_cv.wait(lock, [&] {
                    return m_quit || m_next >= m_paths.size() || m_inflight + m_sizes[m_next] <= kPrecompressBudget
                        || m_next <= m_wanted;
                });
                if (m_quit || m_next >= m_paths.size())
                    return;
                i = m_next++;
                m_inflight += m_sizes[i];
            }
            auto packed = std::make_shared<Packed>(compress(m_paths[i]));
            {
                std::lock_guard lock(m_mutex);
                if (!m_released[i])
                    m_results[i] = std::move(packed);
            }
            m_cv.notify_all();
        }
    }

    Packed compress(const QByteArray& path) const
    {
        Packed p;
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            p.error = errno;
            return p;
        }
        QByteArray input;
        struct stat st {};
        ::fstat(fd, &st);
        input.resize(qsizetype(std::max<off_t>(st.st_size, 0)) + 1);
        qint64 got = 0;
        for (;;) {
            if (got == input.size())
                input.resize(input.size() * 2);
            const ssize_t n = ::read(fd, input.data() + got, size_t(input.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                p.error = errno;
                ::close(fd);
                return p;
            }
            if (n == 0)
                break;
            got += n;
        }
        ::close(fd);
        p.size = got;
        p.crc = quint32(crc32_z(0, reinterpret_cast<const Bytef*>(input.constData()), size_t(got)));
        p.data = deflateRaw(input.constData(), got, m_level);
        // Data that does not shrink goes in as stored deflate blocks: five bytes per 64 KiB.
        if (p.data.size() >= got)
            p.data = deflateRaw(input.constData(), got, 0);
        return p;
    }

    static QByteArray deflateRaw(const char* data, qint64 size, int level)
    {
        z_stream z{};
        deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        QByteArray out;
        out.resize(qsizetype(deflateBound(&z, uLong(size))));
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        z.avail_in = uInt(size);
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        deflate(&z, Z_FINISH);
        out.resize(qsizetype(z.total_out));
        deflateEnd(&z);
        return out;
    }

    const std::vector<QByteArray> m_paths;
    const std::vector<qint64> m_sizes;
    const int m_level;
    std::vector<std::shared_ptr<Packed>> m_results;
    std::vector<bool> m_released;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    size_t m_next = 0;
    size_t m_wanted = 0;
    qint64 m_inflight = 0;
    bool m_quit = false;
    std::vector<std::thread> m_threads;
};

struct SourceItem {
    QByteArray path;  // raw
    QByteArray name;  // stored name, raw; a folder's ends in "/"
    qint64 size = 0;
    time_t mtime = 0;
    mode_t mode = 0;
    bool folder = false;
    bool walked = false;  // a folder found below a pattern's root (the root itself is never removed)
    int packedIndex = -1;
};

class AddRun;

struct EntrySource {
    AddRun* run;
    const SourceItem* item;
    int fd = -1;
    std::shared_ptr<Packed> packed;
    qint64 pos = 0;
    zip_error_t error;
    // What the compressed data is, kept after the data is handed on: libzip asks again.
    bool packedKnown = false;
    qint64 packedSize = 0, packedCompSize = 0;
    quint32 packedCrc = 0;
};

zip_int64_t EntrySourceCallback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd);

class AddRun : public Reporter
{
public:
    explicit AddRun(const ZipLibParams& p) : Reporter(p.caller, p.callback), m_p(p) {}

    int exec()
    {
        const QByteArray archive = core::EncodeName(m_p.archive);
        struct stat ast {};
        const bool exists = ::stat(archive.constData(), &ast) == 0;
        collect(exists ? &ast : nullptr);
        if (stopped())
            return cancelled();
        qint64 bytes = 0;
        for (const SourceItem& i : m_items)
            bytes += i.size;
        report(kActionFileCount, qint64(m_items.size()));
        report(kActionByteCount, bytes);

        zip_t* za = openArchive(archive, exists ? 0 : ZIP_CREATE, m_p.archive);
        if (!za)
            return 0;
        std::vector<const SourceItem*> added;
        if (!addEntries(za, added)) {
            zip_discard(za);
            return 0;
        }
        std::vector<QByteArray> paths;
        std::vector<qint64> sizes;
        for (SourceItem& i : m_items) {
            if (i.packedIndex == 0) {
                i.packedIndex = int(paths.size());
                paths.push_back(i.path);
                sizes.push_back(i.size);
            }
        }
        const int threads = m_p.threads > 0 ? m_p.threads : int(std::max(1u, std::thread::hardware_concurrency()));
        m_packer = std::make_unique<Precompressor>(std::move(paths), std::move(sizes), m_p.level, threads);
        zip_register_cancel_callback_with_state(
            za, [](zip_t*, void* self) { return static_cast<AddRun*>(self)->stopped() ? 1 : 0; }, nullptr, this);
        const bool closed = zip_close(za) == 0;
        if (!closed) {
            if (!stopped() && !m_readFailed)
                message(kLibWriteArchive, Text(lib::kWriteArchive).arg(m_p.archive, LibText(zip_get_error(za))));
            zip_discard(za);
        }
        m_packer.reset();
        if (!closed)
            return stopped() ? cancelled() : 0;
        report(kActionEndBatch);
        if (m_p.zipTime)
            setArchiveTime(archive);
        if (m_p.finish && !m_p.finish())
            return 0;
        if (m_p.move)
            removeSources(added);
        int count = 0;
        for (const SourceItem* i : added)
            count += i->folder ? 0 : 1;
        return count;
    }

    // Called from the entry sources while libzip writes.
    void readFailed(const SourceItem& item, int error)
    {
        m_readFailed = true;
        message(kLibReadSource | error << 8, Text(lib::kReadSource).arg(Readable(item.path), SystemText(error)));
    }
    Precompressor& packer() { return *m_packer; }

private:
    int cancelled()
    {
        message(kLibCancelled, MessageNumberText(11007));
        return 0;
    }

    // The files the patterns name, with the names they are stored under.
    void collect(const struct stat* archive)
    {
        struct Root {
            QByteArray folder;   // walked
            QString pattern;     // empty: a single file
            QByteArray file;
            QByteArray base;     // stored names are relative to this
            bool wholeFolder = false;
        };
        std::vector<Root> roots;
        for (const QString& pattern : m_p.patterns) {
            const QByteArray raw = core::EncodeName(pattern);
            const qsizetype slash = raw.lastIndexOf('/');
            const QByteArray folder = slash > 0 ? raw.left(slash) : slash == 0 ? QByteArray("/") : QByteArray(".");
            const QByteArray last = raw.mid(slash + 1);
            Root r;
            struct stat st {};
            if (last.contains('*') || last.contains('?')) {
                r.folder = folder;
                r.pattern = core::DecodeName(last);
                r.base = folder;
            } else if (!last.isEmpty() && ::stat(raw.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
                r.folder = raw;
                r.pattern = QStringLiteral("*");
                r.base = folder;
                r.wholeFolder = true;
            } else if (!last.isEmpty() && ::stat(raw.constData(), &st) == 0) {
                r.file = raw;
                r.base = folder;
            } else {
                message(kLibNoMatch, Text(lib::kNoMatch).arg(pattern));
                continue;
            }
            roots.push_back(r);
        }
        // Stored paths start below the deepest folder that holds every pattern.
        QByteArray common;
        for (size_t k = 0; k < roots.size(); ++k) {
            const QByteArray& b = roots[k].base;
            if (k == 0) {
                common = b;
                continue;
            }
            qsizetype n = 0;
            while (n < common.size() && n < b.size() && common[n] == b[n])
                ++n;
            if (!(n == common.size() && (n == b.size() || b[n] == '/')) && !(n == b.size() && common[n] == '/'))
                n = common.left(n).lastIndexOf('/');
            common = common.left(std::max<qsizetype>(n, 0));
        }
        auto storedName = [&](const QByteArray& path, bool folder) {
            QByteArray name;
            if (!m_p.dirNames)
                name = core::BaseName(path);
            else if (common.isEmpty() || common == "/")
                name = path.mid(path.startsWith('/') ? 1 : 0);
            else
                name = path.mid(common.size() + 1);
            return folder ? name + '/' : name;
        };
        auto isArchive = [&](const struct stat& st) {
            return archive && st.st_dev == archive->st_dev && st.st_ino == archive->st_ino;
        };
        auto addFile = [&](const QByteArray& path, const struct stat& lst) {
            struct stat st = lst;
            if (S_ISLNK(lst.st_mode) && ::stat(path.constData(), &st) != 0)
                return;
            if (!S_ISREG(st.st_mode) || isArchive(st))
                return;
            SourceItem item{path, storedName(path, false), qint64(st.st_size), st.st_mtime, st.st_mode, false, false, -1};
            m_items.push_back(std::move(item));
        };
        for (const Root& r : roots) {
            if (!r.file.isEmpty()) {
                struct stat st {};
                if (::lstat(r.file.constData(), &st) == 0)
                    addFile(r.file, st);
                continue;
            }
            const size_t before = m_items.size();
            if (r.wholeFolder && m_p.dirNames && m_p.separateDirs) {
                struct stat st {};
                ::stat(r.folder.constData(), &st);
                m_items.push_back({r.folder, storedName(r.folder, true), 0, st.st_mtime, st.st_mode, true, false, -1});
            }
            core::TreeWalker walker(core::TreeWalker::Options{}, nullptr);
            walker.onError([this](const QByteArray& path, int error, bool) {
                message(kLibReadSource | error << 8, Text(lib::kReadSource).arg(Readable(path), SystemText(error)));
            });
            walker.walk(r.folder, [&](const core::WalkEntry& e) {
                if (stopped())
                    return core::WalkStep::Stop;
                const bool hidden = e.name[0] == '.';
                if (e.isFolder()) {
                    if (!m_p.recurse || (hidden && !m_p.hiddenFiles))
                        return core::WalkStep::Skip;
                    SourceItem item{e.path, storedName(e.path, true), 0, e.st.st_mtime, e.st.st_mode, true, true, -1};
                    m_walkedFolders.push_back(e.path);
                    if (m_p.dirNames && m_p.separateDirs)
                        m_items.push_back(std::move(item));
                    return core::WalkStep::Continue;
                }
                if (hidden && !m_p.hiddenFiles)
                    return core::WalkStep::Continue;
                if (core::FileSpecMatches(core::DecodeName(QByteArray(e.name)), r.pattern))
                    addFile(e.path, e.st);
                return core::WalkStep::Continue;
            });
            if (m_items.size() == before)
                message(kLibNoMatch, Text(lib::kNoMatch).arg(core::DecodeName(r.folder + '/') + r.pattern));
        }
    }

    bool addEntries(zip_t* za, std::vector<const SourceItem*>& added)
    {
        for (SourceItem& item : m_items) {
            const zip_int64_t existing = zip_name_locate(za, item.name.constData(), ZIP_FL_ENC_RAW);
            if (m_p.freshen || m_p.update) {
                if (existing < 0 && m_p.freshen && !m_p.update)
                    continue;
                zip_stat_t st;
                if (existing >= 0 && zip_stat_index(za, zip_uint64_t(existing), 0, &st) == 0
                    && (st.valid & ZIP_STAT_MTIME) && item.mtime - st.mtime < 2)
                    continue;  // the archive's copy is as new; DOS times count in 2 seconds
            }
            zip_int64_t index;
            if (item.folder) {
                if (existing >= 0)
                    continue;
                index = zip_dir_add(za, item.name.constData(), ZIP_FL_ENC_GUESS);
            } else {
                auto* s = new EntrySource{this, &item, -1, {}, 0, {}};
                zip_error_init(&s->error);
                zip_source_t* src = zip_source_function(za, EntrySourceCallback, s);
                if (!src) {
                    delete s;
                    index = -1;
                } else {
                    index = zip_file_add(za, item.name.constData(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_GUESS);
                    if (index < 0)
                        zip_source_free(src);
                }
            }
            if (index < 0) {
                message(kLibWriteArchive, Text(lib::kWriteArchive).arg(m_p.archive, LibText(zip_get_error(za))));
                return false;
            }
            const auto i = zip_uint64_t(index);
            zip_file_set_external_attributes(za, i, 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(item.mode & 0xFFFF) << 16 | (item.folder ? 0x10 : 0));
            zip_file_set_mtime(za, i, item.mtime, 0);
            if (!item.folder) {
                const int level = std::clamp(m_p.level, 0, 9);
                zip_set_file_compression(za, i, level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE, zip_uint32_t(level));
                if (level > 0 && item.size <= kPrecompressMax)
                    item.packedIndex = 0;  // numbered once every entry is known
                if (m_p.encrypt && !m_p.password.isEmpty()) {
                    const zip_uint16_t method =
                        m_p.encryption == ZipEncryption::Aes256 ? ZIP_EM_AES_256 : ZIP_EM_TRAD_PKWARE;
                    if (zip_file_set_encryption(za, i, method, m_p.password.constData()) != 0) {
                        message(kLibWriteArchive, Text(lib::kWriteArchive).arg(m_p.archive, LibText(zip_get_error(za))));
                        return false;
                    }
                }
            }
            if (m_p.verbose)
                message(kLibOk, Text(lib::kAdded).arg(Readable(item.name)));
            added.push_back(&item);
        }
        return true;
    }

    void removeSources(const std::vector<const SourceItem*>& added)
    {
        for (const SourceItem* i : added) {
            if (i->folder)
                continue;
            if (::unlink(i->path.constData()) != 0)
                message(kLibDeleteSource | errno << 8, Text(lib::kDeleteSource).arg(Readable(i->path), SystemText(errno)));
        }
        // Folders emptied by the move go too, deepest first; the folders named themselves stay.
        std::vector<QByteArray> folders = m_walkedFolders;
        std::sort(folders.begin(), folders.end(), [](const QByteArray& a, const QByteArray& b) { return a > b; });
        for (const QByteArray& f : folders)
            ::rmdir(f.constData());
    }

    void setArchiveTime(const QByteArray& archive)
    {
        int zerr = 0;
        zip_t* za = zip_open(archive.constData(), ZIP_RDONLY, &zerr);
        if (!za)
            return;
        time_t newest = 0;
        const zip_int64_t n = zip_get_num_entries(za, 0);
        for (zip_int64_t k = 0; k < n; ++k) {
            zip_stat_t st;
            if (zip_stat_index(za, zip_uint64_t(k), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME))
                newest = std::max(newest, st.mtime);
        }
        zip_discard(za);
        if (newest > 0) {
            const struct timespec times[2] = {{newest, 0}, {newest, 0}};
            ::utimensat(AT_FDCWD, archive.constData(), times, 0);
        }
    }

    const ZipLibParams& m_p;
    std::vector<SourceItem> m_items;
    std::vector<QByteArray> m_walkedFolders;
    std::unique_ptr<Precompressor> m_packer;
    bool m_readFailed = false;

    friend zip_int64_t EntrySourceCallback(void*, void*, zip_uint64_t, zip_source_cmd_t);
};

zip_int64_t EntrySourceCallback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd)
{
    auto* s = static_cast<EntrySource*>(userdata);
    const SourceItem& item = *s->item;
    AddRun& run = *s->run;
    switch (cmd) {
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &s->error);
        if (!st)
            return -1;
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        st->size = zip_uint64_t(item.size);
        st->mtime = item.mtime;
        if (item.packedIndex >= 0) {
            if (!s->packedKnown) {
                s->packed = run.packer().take(size_t(item.packedIndex));
                if (!s->packed) {
                    zip_error_set(&s->error, ZIP_ER_CANCELLED, 0);
                    return -1;
                }
                if (s->packed->error) {
                    run.readFailed(item, s->packed->error);
                    zip_error_set(&s->error, ZIP_ER_READ, s->packed->error);
                    return -1;
                }
                s->packedKnown = true;
                s->packedSize = s->packed->size;
                s->packedCompSize = s->packed->data.size();
                s->packedCrc = s->packed->crc;
            }
            st->size = zip_uint64_t(s->packedSize);
            st->comp_size = zip_uint64_t(s->packedCompSize);
            st->comp_method = ZIP_CM_DEFLATE;
            st->crc = s->packedCrc;
            st->valid |= ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC;
        }
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_OPEN:
        if (run.report(kActionNewFile, item.size, Readable(item.name))) {
            zip_error_set(&s->error, ZIP_ER_CANCELLED, 0);
            return -1;
        }
        s->pos = 0;
        if (item.packedIndex >= 0) {
            if (!s->packed)
                s->packed = run.packer().take(size_t(item.packedIndex));
            if (!s->packed || s->packed->error) {
                zip_error_set(&s->error, s->packed ? ZIP_ER_READ : ZIP_ER_CANCELLED, s->packed ? s->packed->error : 0);
                return -1;
            }
            return 0;
        }
        s->fd = ::open(item.path.constData(), O_RDONLY | O_CLOEXEC);
        if (s->fd < 0) {
            run.readFailed(item, errno);
            zip_error_set(&s->error, ZIP_ER_OPEN, errno);
            return -1;
        }
        return 0;
    case ZIP_SOURCE_READ: {
        if (run.stopped()) {
            zip_error_set(&s->error, ZIP_ER_CANCELLED, 0);
            return -1;
        }
        if (s->packed) {
            const qint64 n = std::min<qint64>(qint64(len), s->packed->data.size() - s->pos);
            std::memcpy(data, s->packed->data.constData() + s->pos, size_t(n));
            s->pos += n;
            return n;
        }
        for (;;) {
            const ssize_t n = ::read(s->fd, data, size_t(std::min<zip_uint64_t>(len, 1u << 30)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                run.readFailed(item, errno);
                zip_error_set(&s->error, ZIP_ER_READ, errno);
                return -1;
            }
            if (n > 0 && run.report(kActionBytes, n)) {
                zip_error_set(&s->error, ZIP_ER_CANCELLED, 0);
                return -1;
            }
            return n;
        }
    }
    case ZIP_SOURCE_CLOSE:
        if (s->fd >= 0) {
            ::close(s->fd);
            s->fd = -1;
        }
        if (s->packed) {
            run.report(kActionBytes, s->packed->size);
            s->packed.reset();
            run.packer().release(size_t(item.packedIndex));
        }
        return 0;
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&s->error, data, len);
    case ZIP_SOURCE_FREE:
        if (s->fd >= 0)
            ::close(s->fd);
        zip_error_fini(&s->error);
        delete s;
        return 0;
    default:
        zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

// ---- extracting ----

enum class Outcome { Done, Skipped, Failed, Fatal };

struct Fd {
    int fd = -1;
    explicit Fd(int f = -1) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Reads one entry's data. libzip before 1.8 reports false CRC errors on WinZip AES entries (AE-2
// entries carry no CRC by design; their authentication code guards them), so AES entries are read
// decrypted but compressed, inflated here, and checked against the CRC when they carry one.
class EntryStream
{
public:
    ~EntryStream()
    {
        if (m_inflating)
            inflateEnd(&m_z);
        if (m_zf)
            zip_fclose(m_zf);
    }
    bool open(zip_t* za, size_t i, const ZipDirEntry& e)
    {
        // The AES extra field names the method under the encryption.
        const int method = e.CompressionMethod == 99 ? e.AesMethod : -1;
        m_self = method == ZIP_CM_STORE || method == ZIP_CM_DEFLATE;
        m_expectedCrc = e.Crc32;
        m_expectedSize = e.UncompressedSize;
        m_zf = zip_fopen_index(za, zip_uint64_t(i), m_self ? ZIP_FL_COMPRESSED : 0);
        if (m_zf && method == ZIP_CM_DEFLATE) {
            inflateInit2(&m_z, -15);
            m_inflating = true;
            m_in.resize(kChunk);
        }
        return m_zf != nullptr;
    }
    // Data already inflated and checked.
    void openMemory(std::vector<char> data)
    {
        m_memory = std::move(data);
        m_fromMemory = true;
    }
    // Bytes read, 0 at the end, -1 on an error (then error() says why).
    zip_int64_t read(char* buffer, size_t size)
    {
        if (m_fromMemory) {
            const size_t n = std::min(size, m_memory.size() - m_memoryAt);
            // An empty file's data may have no storage at all.
            if (n > 0)
                std::memcpy(buffer, m_memory.data() + m_memoryAt, n);
            m_memoryAt += n;
            return zip_int64_t(n);
        }
        const zip_int64_t n = m_inflating ? inflateSome(buffer, size) : sourceRead(buffer, size);
        if (n < 0) {
            if (m_error.isEmpty())
                m_error = LibText(zip_file_get_error(m_zf));
            return -1;
        }
        if (m_self) {
            m_crc = crc32_z(m_crc, reinterpret_cast<const Bytef*>(buffer), size_t(n));
            m_total += quint64(n);
            if (n == 0 && ((m_expectedCrc != 0 && m_crc != m_expectedCrc) || m_total != m_expectedSize))
                return fail(ZIP_ER_CRC);
        }
        return n;
    }
    int errorCode() const { return m_code ? m_code : m_zf ? zip_error_code_zip(zip_file_get_error(m_zf)) : 0; }
    const QString& error() const { return m_error; }

private:
    zip_int64_t fail(int code)
    {
        zip_error_t e;
        zip_error_init_with_code(&e, code);
        m_error = LibText(&e);
        zip_error_fini(&e);
        m_code = code;
        return -1;
    }
    // libzip 1.7 ends every AE-2 entry with a CRC error (it compares with the zero the format
    // stores). The data it delivered is whole; the entry's size, and its CRC where it has one,
    // then decide.
    zip_int64_t sourceRead(char* buffer, size_t size)
    {
        const zip_int64_t n = zip_fread(m_zf, buffer, size);
        if (n < 0 && m_self && zip_error_code_zip(zip_file_get_error(m_zf)) == ZIP_ER_CRC)
            return 0;
        return n;
    }

    zip_int64_t inflateSome(char* buffer, size_t size)
    {
        if (m_ended)
            return 0;
        m_z.next_out = reinterpret_cast<Bytef*>(buffer);
        m_z.avail_out = uInt(size);
        while (m_z.avail_out == size) {
            if (m_z.avail_in == 0 && !m_sourceEnd) {
                const zip_int64_t n = sourceRead(m_in.data(), m_in.size());
                if (n < 0)
                    return -1;
                m_sourceEnd = n == 0;
                m_z.next_in = reinterpret_cast<Bytef*>(m_in.data());
                m_z.avail_in = uInt(n);
            }
            const int r = inflate(&m_z, Z_NO_FLUSH);
            if (r == Z_STREAM_END) {
                m_ended = true;
                break;
            }
            if (r != Z_OK && !(r == Z_BUF_ERROR && !m_sourceEnd))
                return fail(ZIP_ER_COMPRESSED_DATA);
        }
        return zip_int64_t(size - m_z.avail_out);
    }

    zip_file_t* m_zf = nullptr;
    z_stream m_z{};
    bool m_self = false, m_inflating = false, m_sourceEnd = false, m_ended = false;
    uLong m_crc = 0;
    quint32 m_expectedCrc = 0;
    quint64 m_expectedSize = 0, m_total = 0;
    int m_code = 0;
    std::vector<char> m_in;
    QString m_error;
    std::vector<char> m_memory;
    size_t m_memoryAt = 0;
    bool m_fromMemory = false;
};

class ExtractRun : public Reporter
{
public:
    explicit ExtractRun(const UnzipLibParams& p) : Reporter(p.caller, p.callback), m_p(p) {}

    int exec()
    {
        const ZipListing listing = ReadZipDirectoryFile(m_p.archive);
        if (listing.failed) {
            message(kLibOpenArchive,
                    Text(lib::kOpenArchive).arg(m_p.archive, MessageNumberText(listing.messages.back().number)));
            return 0;
        }
        const QByteArray archive = core::EncodeName(m_p.archive);
        zip_t* za = openArchive(archive, ZIP_RDONLY, m_p.archive);
        if (!za)
            return 0;
        const int count = run(za, listing);
        zip_discard(za);
        return count;
    }

private:
    int run(zip_t* za, const ZipListing& listing)
    {
        const auto& entries = listing.entries;
        if (zip_get_num_entries(za, 0) != zip_int64_t(entries.size())) {
            message(kLibOpenArchive, Text(lib::kOpenArchive).arg(m_p.archive, Text(lib::kNotInListing)));
            return 0;
        }
        for (size_t i = 0; i < entries.size(); ++i) {
            const char* name = zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_RAW);
            if (!name || entries[i].RawName != QByteArray(name)) {
                message(kLibOpenArchive, Text(lib::kOpenArchive).arg(m_p.archive, Text(lib::kNotInListing)));
                return 0;
            }
        }
        if (!m_p.password.isEmpty())
            zip_set_default_password(za, m_p.password.constData());

        std::vector<size_t> chosen;
        qint64 bytes = 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (selected(entries[i].FileName)) {
                chosen.push_back(i);
                bytes += qint64(entries[i].UncompressedSize);
            }
        }
        report(kActionFileCount, qint64(chosen.size()));
        report(kActionByteCount, bytes);

        Fd base;
        if (!m_p.test) {
            QDir().mkpath(m_p.baseDir);
            base.fd = ::open(core::EncodeName(m_p.baseDir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (base.fd < 0) {
                message(kLibExtract | errno << 8, Text(lib::kExtractEntry).arg(m_p.baseDir, SystemText(errno)));
                return 0;
            }
        }
        // A second core inflates ahead while this one writes.
        Fd archiveFd;
        std::unique_ptr<TZipInflateAhead> ahead;
        if (chosen.size() > 1 && std::thread::hardware_concurrency() > 1) {
            archiveFd.fd = ::open(core::EncodeName(m_p.archive).constData(), O_RDONLY | O_CLOEXEC);
            if (archiveFd.fd >= 0)
                ahead = std::make_unique<TZipInflateAhead>(archiveFd.fd, entries, chosen);
        }
        int done = 0;
        for (size_t k = 0; k < chosen.size(); ++k) {
            const size_t i = chosen[k];
            if (report(kActionNewFile, qint64(entries[i].UncompressedSize), entries[i].FileName)) {
                message(kLibCancelled, MessageNumberText(11007));
                break;
            }
            std::optional<std::vector<char>> data = ahead ? ahead->take(k) : std::nullopt;
            const Outcome o = m_p.test ? test(za, i, entries[i], std::move(data))
                                       : extract(za, i, entries[i], base.fd, std::move(data));
            if (o == Outcome::Done)
                ++done;
            if (o == Outcome::Fatal)
                break;
        }
        report(kActionEndBatch);
        return done;
    }

    bool selected(const QString& name) const
    {
        if (m_p.patterns.isEmpty())
            return true;
        for (const QString& pattern : m_p.patterns) {
            if (pattern == name)
                return true;
            if ((pattern.contains(QLatin1Char('*')) || pattern.contains(QLatin1Char('?'))) && core::FileSpecMatches(name, pattern))
                return true;
        }
        return false;
    }

    std::unique_ptr<EntryStream> open(zip_t* za, size_t i, const ZipDirEntry& e, bool testing,
                                      std::optional<std::vector<char>> data = std::nullopt)
    {
        auto zf = std::make_unique<EntryStream>();
        if (data) {
            zf->openMemory(std::move(*data));
            return zf;
        }
        if (!zf->open(za, i, e)) {
            zip_error_t* err = zip_get_error(za);
            const int code = zip_error_code_zip(err);
            const int kind = code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_NOPASSWD ? kLibWrongPassword
                : testing                                                          ? kLibTest
                                                                                   : kLibExtract;
            m_wrongPassword = kind == kLibWrongPassword;
            message(kind, Text(testing ? lib::kTestEntry : lib::kExtractEntry).arg(e.FileName, LibText(err)));
            zip_error_clear(za);
            zf.reset();
        }
        return zf;
    }

    Outcome test(zip_t* za, size_t i, const ZipDirEntry& e, std::optional<std::vector<char>> data)
    {
        if (e.IsFolder())
            return Outcome::Done;
        auto zf = open(za, i, e, true, std::move(data));
        if (!zf)
            return Outcome::Failed;
        std::vector<char>& buffer = chunkBuffer();
        Outcome o = Outcome::Done;
        for (;;) {
            const zip_int64_t n = zf->read(buffer.data(), buffer.size());
            if (n < 0) {
                message(kLibTest, Text(lib::kTestEntry).arg(e.FileName, zf->error()));
                o = Outcome::Failed;
                break;
            }
            if (n == 0)
                break;
            if (report(kActionBytes, n)) {
                message(kLibCancelled, MessageNumberText(11007));
                o = Outcome::Fatal;
                break;
            }
        }
        zf.reset();
        if (o == Outcome::Done && m_p.verbose)
            message(kLibOk, Text(lib::kTested).arg(e.FileName));
        return o;
    }

    // The entry's name as folders and a last part below the destination; false when it would
    // lead outside it.
    static bool SafeParts(const QString& name, std::vector<QByteArray>& parts)
    {
        std::vector<std::string> raw;
        if (!SafeEntryParts(core::EncodeName(name).toStdString(), raw))
            return false;
        for (const std::string& part : raw)
            parts.push_back(QByteArray::fromStdString(part));
        return true;
    }

    // Entries of one folder follow each other; its descriptor is kept for the next. It was
    // opened without following links, so it stays the folder inside the destination.
    int folderFd(int base, const std::vector<QByteArray>& parts, size_t count, bool& throughLink)
    {
        std::vector<QByteArray> want(parts.begin(), parts.begin() + qsizetype(count));
        if (m_folder.fd >= 0 && want == m_folderParts)
            return m_folder.fd;
        const int fd = OpenEntryFolders(base, parts, count, &throughLink);
        if (fd < 0)
            return -1;
        if (m_folder.fd >= 0)
            ::close(m_folder.fd);
        m_folder.fd = fd;
        m_folderParts = std::move(want);
        return fd;
    }

    static time_t DosToTime(quint32 dos)
    {
        struct tm t {};
        t.tm_sec = int(dos & 0x1F) * 2;
        t.tm_min = int(dos >> 5) & 0x3F;
        t.tm_hour = int(dos >> 11) & 0x1F;
        t.tm_mday = int(dos >> 16) & 0x1F;
        t.tm_mon = (int(dos >> 21) & 0x0F) - 1;
        t.tm_year = int(dos >> 25) + 80;
        t.tm_isdst = -1;
        return std::mktime(&t);
    }

    static bool LinkStaysInside(const QByteArray& target, size_t depth)
    {
        if (target.isEmpty() || target.startsWith('/') || target.contains('\0'))
            return false;
        qint64 level = qint64(depth);
        for (const QByteArray& part : target.split('/')) {
            if (part == "..") {
                if (--level < 0)
                    return false;
            } else if (!part.isEmpty() && part != ".") {
                ++level;
            }
        }
        return true;
    }

    static QByteArray TempName()
    {
        static std::atomic<unsigned> counter{0};
        thread_local std::mt19937 rng{std::random_device{}()};
        return QByteArray(".corvane-") + QByteArray::number(quint64(rng()) << 16 | (counter++ & 0xFFFF), 36) + ".part";
    }

    Outcome extract(zip_t* za, size_t i, const ZipDirEntry& e, int base, std::optional<std::vector<char>> data)
    {
        std::vector<QByteArray> parts;
        if (!SafeParts(e.FileName, parts)) {
            message(kLibUnsafeName, Text(lib::kUnsafeName).arg(e.FileName));
            return Outcome::Failed;
        }
        const bool folder = e.IsFolder();
        if (!m_p.dirNames) {
            if (folder)
                return Outcome::Done;
            parts = {parts.back()};
        }
        const size_t folders = folder ? parts.size() : parts.size() - 1;
        bool throughLink = false;
        const int dirFd = folderFd(base, parts, folders, throughLink);
        if (dirFd < 0) {
            if (throughLink)
                message(kLibUnsafeName, Text(lib::kThroughLink).arg(e.FileName));
            else
                message(kLibExtract | errno << 8, Text(lib::kExtractEntry).arg(e.FileName, SystemText(errno)));
            return Outcome::Failed;
        }
        if (folder)
            return Outcome::Done;

        const QByteArray& leaf = parts.back();
        struct stat existing {};
        const bool exists = ::fstatat(dirFd, leaf.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
        const time_t entryTime = DosToTime(e.DosDateTime);
        if (m_p.freshen && !exists)
            return Outcome::Skipped;
        if ((m_p.freshen || m_p.update) && exists && entryTime <= existing.st_mtime)
            return Outcome::Skipped;
        if (exists && !m_p.overwrite && !m_p.freshen && !m_p.update) {
            message(kLibOk, Text(lib::kExists).arg(e.FileName));
            return Outcome::Skipped;
        }
        if (exists && S_ISDIR(existing.st_mode)) {
            message(kLibExtract | EISDIR << 8, Text(lib::kExtractEntry).arg(e.FileName, SystemText(EISDIR)));
            return Outcome::Failed;
        }

        const bool link = (e.ExternalAttributes >> 16 & S_IFMT) == S_IFLNK && (e.HostSystem == 3 || e.HostSystem == 19);
        auto zf = open(za, i, e, false, std::move(data));
        if (!zf)
            return m_wrongPassword ? Outcome::Fatal : Outcome::Failed;

        const QByteArray temp = TempName();
        bool placed = false;
        Outcome o = link ? writeLink(*zf, e, dirFd, temp, parts.size() - 1)
                         : writeFile(*zf, e, dirFd, temp, exists ? nullptr : &leaf, placed);
        zf.reset();
        if (o != Outcome::Done)
            return o;
        if (!placed && ::renameat(dirFd, temp.constData(), dirFd, leaf.constData()) != 0) {
            const int error = errno;
            ::unlinkat(dirFd, temp.constData(), 0);
            message(kLibExtract | error << 8, Text(lib::kExtractEntry).arg(e.FileName, SystemText(error)));
            return Outcome::Failed;
        }
        if (m_p.verbose)
            message(kLibOk, Text(lib::kExtracted).arg(e.FileName));
        return Outcome::Done;
    }

    // Reads the whole entry into a temporary file; removes it on every failure. For a new name
    // (`newName` set) the file has no name until it is complete and is then linked in place
    // (`placed`): one change of the folder instead of a create and a rename.
    Outcome writeFile(EntryStream& zf, const ZipDirEntry& e, int dir, const QByteArray& temp, const QByteArray* newName,
                      bool& placed)
    {
        mode_t mode = 0644;
        if (e.HostSystem == 3 && (e.ExternalAttributes >> 16 & S_IFMT) == S_IFREG)
            mode = (e.ExternalAttributes >> 16) & 0777;
        // File systems without unnamed files (some network and FUSE ones) take the named temporary.
        const bool unnamed = newName && m_unnamedFiles;
        Fd out(unnamed ? ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) : -1);
        if (unnamed && out.fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
            m_unnamedFiles = false;
        const bool named = out.fd < 0;
        if (named)
            out.fd = ::openat(dir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out.fd < 0) {
            const int error = errno;
            const bool full = error == ENOSPC || error == EDQUOT;
            message((full ? kLibDiskFull : kLibExtract) | error << 8, Text(lib::kExtractEntry).arg(e.FileName, SystemText(error)));
            return full ? Outcome::Fatal : Outcome::Failed;
        }
        std::vector<char>& buffer = chunkBuffer();
        auto fail = [&](int kind, const QString& why, Outcome o) {
            ::close(out.fd);
            out.fd = -1;
            if (named)
                ::unlinkat(dir, temp.constData(), 0);
            message(kind, Text(lib::kExtractEntry).arg(e.FileName, why));
            return o;
        };
        for (;;) {
            const zip_int64_t n = zf.read(buffer.data(), buffer.size());
            if (n < 0) {
                const bool wrong = zf.errorCode() == ZIP_ER_WRONGPASSWD;
                return fail(wrong ? kLibWrongPassword : kLibExtract, zf.error(), wrong ? Outcome::Fatal : Outcome::Failed);
            }
            if (n == 0)
                break;
            for (zip_int64_t w = 0; w < n;) {
                const ssize_t k = ::write(out.fd, buffer.data() + w, size_t(n - w));
                if (k < 0 && errno == EINTR)
                    continue;
                if (k < 0) {
                    const int error = errno;
                    const bool full = error == ENOSPC || error == EDQUOT;
                    return fail((full ? kLibDiskFull : kLibExtract) | error << 8, SystemText(error),
                                full ? Outcome::Fatal : Outcome::Failed);
                }
                w += k;
            }
            if (report(kActionBytes, n)) {
                fail(kLibCancelled, MessageNumberText(11007), Outcome::Fatal);
                return Outcome::Fatal;
            }
        }
        ::fchmod(out.fd, mode);
        const time_t t = DosToTime(e.DosDateTime);
        const struct timespec times[2] = {{t, 0}, {t, 0}};
        ::futimens(out.fd, times);
        if (!named) {
            // The complete file gets its name; should the name have appeared meanwhile, it goes
            // through the named temporary and the rename like a replaced file.
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(out.fd);
            if (::linkat(AT_FDCWD, self.constData(), dir, newName->constData(), AT_SYMLINK_FOLLOW) == 0)
                placed = true;
            else if (::linkat(AT_FDCWD, self.constData(), dir, temp.constData(), AT_SYMLINK_FOLLOW) != 0) {
                const int error = errno;
                ::close(out.fd);
                out.fd = -1;
                message(kLibExtract | error << 8, Text(lib::kExtractEntry).arg(e.FileName, SystemText(error)));
                return error == ENOSPC || error == EDQUOT ? Outcome::Fatal : Outcome::Failed;
            }
        }
        const int fd = out.fd;
        out.fd = -1;
        if (::close(fd) != 0) {
            const int error = errno;
            ::unlinkat(dir, placed ? newName->constData() : temp.constData(), 0);
            placed = false;
            message(kLibExtract | error << 8, Text(lib::kExtractEntry).arg(e.FileName, SystemText(error)));
            return error == ENOSPC || error == EDQUOT ? Outcome::Fatal : Outcome::Failed;
        }
        return Outcome::Done;
    }

    Outcome writeLink(EntryStream& zf, const ZipDirEntry& e, int dir, const QByteArray& temp, size_t depth)
    {
        QByteArray target(4096, '\0');
        const zip_int64_t n = zf.read(target.data(), size_t(target.size()));
        if (n < 0) {
            message(kLibExtract, Text(lib::kExtractEntry).arg(e.FileName, zf.error()));
            return Outcome::Failed;
        }
        target.resize(qsizetype(n));
        if (!LinkStaysInside(target, depth)) {
            message(kLibUnsafeName, Text(lib::kUnsafeLink).arg(e.FileName));
            return Outcome::Failed;
        }
        if (::symlinkat(target.constData(), dir, temp.constData()) != 0) {
            message(kLibExtract | errno << 8, Text(lib::kExtractEntry).arg(e.FileName, SystemText(errno)));
            return Outcome::Failed;
        }
        return Outcome::Done;
    }

    const UnzipLibParams& m_p;
    bool m_wrongPassword = false;
    Fd m_folder;
    std::vector<QByteArray> m_folderParts;
    // One read buffer for every entry: zeroing a fresh 256 KiB one per small file is costly.
    std::vector<char> m_buffer;
    bool m_unnamedFiles = true;
    std::vector<char>& chunkBuffer()
    {
        if (m_buffer.empty())
            m_buffer.resize(kChunk);
        return m_buffer;
    }
};

} // namespace

int ZipLibExec(const ZipLibParams& params)
{
    AddRun run(params);
    return run.exec();
}

int UnzipLibExec(const UnzipLibParams& params)
{
    ExtractRun run(params);
    return run.exec();
}

int GetZipLibVersion()
{
    return 154;
}

int GetUnzipLibVersion()
{
    return 152;
}

} // namespace corvane::zip
