#pragma once
// Spanned archives: a finished archive spread over numbered part files (archive001.zip,
// archive002.zip, ...) in the zip format's spanning layout, and such a set rebuilt into one
// archive for extracting. On a removable volume each part goes on a medium of its own and the user
// is asked to change media; elsewhere the parts lie side by side.
#include "ZipDirectory.h"

#include <QString>

#include <functional>

namespace corvane::zip {

// What spanning needs of the volume that takes or holds the parts; tests stand in their own.
struct SpanVolume {
    std::function<bool(const QString& folder)> removable;
    std::function<qint64(const QString& folder)> freeBytes;  // -1 when it cannot be read
    std::function<QString(const QString& folder)> root;      // the "drive" named in questions
};
// Removable from the volume's kind, free bytes from the file system, root its mount point.
SpanVolume SystemSpanVolume();
// Makes SystemSpanVolume call folders removable as `removable` says (unset: as the system does),
// so that tools and tests can treat a folder as a medium.
void SetRemovableCheckForTests(std::function<bool(const QString& folder)> removable);

enum class SpanButtons { OkCancel, YesNoCancel, RetryCancel };
enum class SpanIcon { None, Stop, Warning };
enum class SpanAnswer { Ok, Cancel, Yes, No, Retry };

struct SpanQuestion {
    QString text;
    QString caption;  // empty: the application's title
    SpanButtons buttons = SpanButtons::OkCancel;
    SpanIcon icon = SpanIcon::None;
    bool defaultNo = false;
};

struct SpanParams {
    qint64 maxVolumeSize = 0;  // 0: no limit
    qint64 minFreeVolumeSize = 65536;
    qint64 keepFreeOnDisk1 = 0;
    bool unattended = false;
    bool verbose = false;
    std::function<bool()> cancelled;
    SpanVolume volume = SystemSpanVolume();
    std::function<SpanAnswer(const SpanQuestion&)> ask;
    // Progress kinds as the component's OnProgress.
    std::function<void(int kind, const QString& name, qint64 size)> progress;
    // Informational messages (code 0), and the component's own messages shown on the way.
    std::function<void(const QString& text)> info;
    std::function<void(int number, const QString& arg)> notice;
};

// How a spanning run ended: result 0, -7 (component error), -8 (out of memory), -9 (other), with
// the component's message number (0 for none) and its argument.
struct SpanOutcome {
    int result = 0;
    int message = 0;
    QString arg;
    bool ok() const { return result == 0; }
};

// The name of part `disk` (0 for the first): the 3-digit number before the extension.
QString SpanPartName(const QString& archive, int disk);
// The archive name of a set from one of its part names ("set003.zip" -> "set.zip"); empty when
// the name carries no part number.
QString SpanArchiveName(const QString& partName);

// Copies the finished archive `source` onto the parts of `target`.
SpanOutcome WriteSpannedSet(const QString& source, const QString& target, const SpanParams& params);

// Rebuilds the set whose last part is `lastPart` into `tempArchive`, which it creates; removes it
// again on failure.
SpanOutcome ReadSpannedSet(const QString& lastPart, const QString& tempArchive, const SpanParams& params);

// Lists a set from its last part without asking for media: the parts must lie beside it.
ZipListing ListSpannedSet(const QString& lastPart);

// A private folder in the user's temporary space (`tempDir`, else the system's) for one
// temporary archive; both go when it does.
class SpanTempArchive
{
public:
    explicit SpanTempArchive(const QString& tempDir);
    ~SpanTempArchive();
    SpanTempArchive(const SpanTempArchive&) = delete;
    SpanTempArchive& operator=(const SpanTempArchive&) = delete;
    bool ok() const { return !m_folder.isEmpty(); }
    QString file() const;

private:
    QByteArray m_folder;
};

} // namespace corvane::zip
