#pragma once
// The search behind the find dialog, without widgets: walks a folder (and its subfolders) for
// names matching wildcard patterns and, optionally, files containing a text. It runs on the
// caller's thread; the dialog runs it on a worker and collects the hits in batches.
//
// Names and paths are raw bytes (see NameCodec.h for showing them).
#include "Job.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <ctime>
#include <functional>
#include <vector>

namespace corvane::core {

struct FindCriteria {
    QByteArray folder;
    // Case-insensitive wildcard patterns; a pattern without "*" or "?" matches anywhere in a name.
    QStringList patterns;
    // Looked for case-insensitively in regular files; empty finds by name alone.
    QString text;
    bool subfolders = true;
};

struct FindHit {
    QByteArray folder;  // the folder that holds the item
    QByteArray name;
    bool isFolder = false;
    qint64 size = 0;
    std::time_t modified = 0;

    QByteArray path() const { return folder.endsWith('/') ? folder + name : folder + '/' + name; }
};

struct FindCounts {
    qint64 found = 0;
    qint64 foldersSearched = 0;
    qint64 unreadable = 0;       // folders that could not be listed
    qint64 unreadableFiles = 0;  // files whose text could not be read
};

// The "Named" box's text: pieces split at ";", trimmed, empty ones dropped; "*" when none is left.
QStringList SplitFindPatterns(const QString& text);
// Whether a raw name matches one of the patterns.
bool FindNameMatches(const QByteArray& name, const QStringList& patterns);

// Case-insensitive search for a text in a stream of bytes, fed in chunks of any size: a match
// across two chunks is found. Letters match in either case; the bytes are the text's UTF-8.
class TextMatcher
{
public:
    explicit TextMatcher(const QString& text);
    bool empty() const { return m_units.empty(); }
    // Starts over for a new file.
    void reset() { m_tail.clear(); }
    // True once the text has been seen in the bytes fed since the last reset.
    bool feed(const char* data, size_t size);

private:
    bool matchAt(const unsigned char* p, const unsigned char* end, size_t unit) const;

    // One character of the text: the UTF-8 spellings it may have.
    std::vector<std::vector<QByteArray>> m_units;
    bool m_first[256] = {};
    size_t m_maxBytes = 0;
    QByteArray m_tail;   // the last bytes of the previous chunk, where a match may have begun
    QByteArray m_work;
};

// Whether the regular file at `path` contains the matcher's text; read in chunks, never whole.
// Answers -1 when it cannot be read, 0 no, 1 yes.
int FileContains(const QByteArray& path, TextMatcher& matcher, const std::atomic<bool>& cancel);

// Walks the folder. Hits go to onHits in batches; `onFolder` hears which folder is being listed.
// Symbolic links to folders are reported but never entered; pseudo file systems (/proc, /sys)
// are not entered either. Returns when done or when `cancel` is set.
FindCounts RunFind(const FindCriteria& criteria, const std::atomic<bool>& cancel,
                   const std::function<void(std::vector<FindHit>&&)>& onHits,
                   const std::function<void(const QByteArray&)>& onFolder = {});

// The search as a job: the dialog takes the hits in batches while it runs.
class FindJob : public Job
{
    Q_OBJECT
public:
    explicit FindJob(FindCriteria criteria) : m_criteria(std::move(criteria)) {}

    // The hits found since the last call.
    std::vector<FindHit> TakeHits();
    // Final once finished.
    FindCounts Counts() const;
    // The folder to look in is not a folder (checked by the job: it may sit on a slow disk).
    bool NoFolder() const;

protected:
    void execute() override;

private:
    const FindCriteria m_criteria;
    std::vector<FindHit> m_hits;  // guarded by resultMutex()
    FindCounts m_counts;
    bool m_noFolder = false;
};

} // namespace corvane::core
