#pragma once
// The zip and unzip libraries of the zip component: one exec call per operation, in process, on
// libzip. Each takes a parameter block, reports through its callback and returns the number of
// files it processed successfully.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace corvane::zip {

// Callback actions of the libraries.
enum ZipLibAction {
    kActionNewFile = 1,    // text: the entry's name, size: its size
    kActionBytes = 2,      // size: bytes done since the last report
    kActionEndBatch = 3,
    kActionMessage = 4,    // text, error code (0: informational)
    kActionFileCount = 5,  // size: files to process
    kActionByteCount = 6,  // size: bytes to process
};

// Error codes of the libraries' messages; a full code may carry the system's errno above the
// low 8 bits.
enum ZipLibError {
    kLibOk = 0,
    kLibReadSource = 1,
    kLibOpenArchive = 2,
    kLibWriteArchive = 3,
    kLibNoMatch = 4,
    kLibDeleteSource = 5,
    kLibExtract = 6,
    kLibTest = 7,
    kLibUnsafeName = 8,
    kLibExists = 9,
    kLibCancelled = 10,
    kLibDiskFull = 11,
    kLibWrongPassword = 12,
};

struct ZipCallbackRecord {
    const void* caller = nullptr;
    int action = 0;
    int errorCode = 0;
    qint64 size = 0;
    QString text;  // at most 512 characters
};
// True stops the operation.
using ZipLibCallback = std::function<bool(const ZipCallbackRecord&)>;

enum class ZipEncryption { Traditional, Aes256 };

struct ZipLibParams {
    const void* caller = nullptr;
    int version = 154;
    ZipLibCallback callback;
    bool trace = false;
    bool verbose = false;
    int level = 9;
    bool dirNames = false, recurse = false, move = false, freshen = false, update = false, zipTime = false,
         forceDos = false, hiddenFiles = false, encrypt = false, separateDirs = false;
    ZipEncryption encryption = ZipEncryption::Traditional;
    QString archive;
    QByteArray password;  // at most 80 bytes
    QStringList patterns;    // files, or folders followed by a wildcard pattern
    int threads = 0;      // entries compressed at once; 0: one per core
    // Runs once the archive is complete and before moved sources are deleted: what the archive
    // still becomes (parts of a set, a program in front). False fails the Add and keeps them.
    std::function<bool()> finish;
};

struct UnzipLibParams {
    const void* caller = nullptr;
    int version = 152;
    ZipLibCallback callback;
    bool trace = false;
    bool verbose = false;
    bool dirNames = false, overwrite = false, freshen = false, update = false, test = false;
    QString archive;
    QString baseDir;
    QByteArray password;
    QStringList patterns;  // entry names or wildcard patterns; empty: every entry
};

int ZipLibExec(const ZipLibParams& params);
int UnzipLibExec(const UnzipLibParams& params);
int GetZipLibVersion();
int GetUnzipLibVersion();

} // namespace corvane::zip
