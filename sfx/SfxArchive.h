#pragma once
// The self-extracting program's own reader of the archive that follows it: plain C++ and zlib,
// no Qt. Never writes outside the folder it is given.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvane::sfx {

constexpr size_t kHeaderSize = 256;

struct Header {
    bool askCmdLine = false;
    bool askFiles = false;
    bool hideOverwriteBox = false;
    bool overwriteAlways = false;
    bool overwriteNever = false;
    bool checkSize = true;
    bool autoRun = false;
    std::string caption;
    std::string defaultDir;
    std::string commandLine;
};

// The 256-byte header that follows the program; false when it does not start with "MPU" or its
// texts run past its end.
bool ParseHeader(const unsigned char* data, size_t size, Header& header);

// Where a statically linked ELF program ends: its section headers or its last segment. 0 when
// the bytes are no 64-bit ELF header.
uint64_t ElfEnd(const unsigned char* data, size_t size, uint64_t fileSize);

struct Entry {
    std::string name;  // as stored
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;  // where its local header lies in the file
    uint8_t host = 0;
    uint32_t externalAttributes = 0;

    bool isFolder() const { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }
    bool isLink() const { return host == 3 && ((externalAttributes >> 16) & 0170000) == 0120000; }
};

// Reads at an offset of the file; returns the bytes read, -1 on an error.
using ReadAt = std::function<int64_t(uint64_t offset, void* buffer, size_t size)>;
// Reads an open file.
ReadAt FileReadAt(int fd);

class Archive
{
public:
    // The archive in [start, fileSize) of the file. With checkSize its end record must end the file.
    bool open(const ReadAt& readAt, uint64_t start, uint64_t fileSize, bool checkSize, std::string& error);
    const std::vector<Entry>& entries() const { return m_entries; }
    // Inflates the entry into `out`, checking its size and CRC; false with a reason otherwise.
    bool extract(const Entry& entry, int outFd, std::string& error) const;

private:
    ReadAt m_readAt;
    uint64_t m_start = 0;
    uint64_t m_dataEnd = 0;  // where the central directory starts: entries lie before it
    std::vector<Entry> m_entries;
};

enum class Overwrite { Ask, Always, Never };

struct ExtractOptions {
    std::string folder;
    Overwrite overwrite = Overwrite::Ask;
    // Asked for an existing file when overwrite is Ask; true replaces it.
    std::function<bool(const std::string& name)> askOverwrite;
    // Which entries to extract; unset: all of them.
    std::function<bool(const Entry& entry)> wanted;
    std::function<void(const std::string& line)> say;
};

struct ExtractResult {
    int extracted = 0;
    int skipped = 0;
    int failed = 0;
};

ExtractResult ExtractAll(const Archive& archive, const ExtractOptions& options);

} // namespace corvane::sfx
