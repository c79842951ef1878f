#pragma once
// Inflates the entries of an extraction ahead of the writer, on a second core: plain (unencrypted)
// stored or deflated entries of moderate size, read straight from the archive and checked against
// their sizes and CRC. What it cannot prepare, or finds wrong, goes the usual way through libzip,
// which then gives the message; so it only ever saves time.
#include "ZipDirectory.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace corvane::zip {

class TZipInflateAhead
{
public:
    // `fd` is the open archive (kept open by the caller while this lives); `order` indexes `entries`
    // in the order the writer takes them.
    TZipInflateAhead(int fd, const std::vector<ZipDirEntry>& entries, std::vector<std::size_t> order);
    ~TZipInflateAhead();
    TZipInflateAhead(const TZipInflateAhead&) = delete;
    TZipInflateAhead& operator=(const TZipInflateAhead&) = delete;

    // The data of order[k], waiting for it; nothing when the entry goes through libzip. Called
    // once for each k, in order.
    std::optional<std::vector<char>> take(std::size_t k);

    // One entry's data read and checked the way the worker does it; for tests and fuzzing.
    static std::optional<std::vector<char>> Prepare(int fd, qint64 fileSize, const ZipDirEntry& e);

    static constexpr qint64 EntryMax = 16 * 1024 * 1024;
    static constexpr qint64 AheadMax = 64 * 1024 * 1024;

private:
    void loop();

    struct Slot {
        bool done = false;
        std::optional<std::vector<char>> data;
    };
    const int m_fd;
    const std::vector<ZipDirEntry>& m_entries;
    const std::vector<std::size_t> m_order;
    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    qint64 m_ahead = 0;  // bytes prepared and not yet taken
    std::size_t m_taken = 0;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace corvane::zip
