#pragma once
// The clipboard formats of cut, copy and paste, without widgets: our ID-list array (CIDA bytes),
// the file drop list as text/uri-list, plain text, and the copied-files formats of GNOME and KDE,
// so Corvane pastes what other file managers cut or copied and the reverse.
//
// Clipboard bytes come from other programs: every reader checks its bounds and drops what it
// cannot understand instead of guessing.
#include "ShellTypes.h"

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <memory>
#include <vector>

class QMimeData;

namespace corvane::platform {

inline constexpr const char* MimeIdListArray = "application/x-corvane-shell-idlist-array";
inline constexpr const char* MimeUriList = "text/uri-list";
inline constexpr const char* MimePlainText = "text/plain";
inline constexpr const char* MimeGnomeCopiedFiles = "x-special/gnome-copied-files";
inline constexpr const char* MimeKdeCutSelection = "application/x-kde-cutselection";

// CIDA: a 32-bit count n, n + 1 32-bit offsets, then the folder's absolute list and n relative
// lists, all little-endian.
QByteArray MakeCida(const PItemIDList& folderAbs, const std::vector<PItemIDList>& rels);
// The folder and the items; false when the bytes are no well-formed array.
bool ParseCida(const QByteArray& bytes, PItemIDList* folderAbs, std::vector<PItemIDList>* rels);

// "file://" URIs of raw paths, percent-encoded byte for byte.
QByteArray PathToFileUri(const QByteArray& path);
// The raw path of a local file URI ("file:///p" or "file://localhost/p"); empty for others and
// for an escaped slash or NUL. "." and ".." segments are resolved by their text ("file:///a/b/.."
// is "/a"), so a path never ends in one; "/" when nothing is left.
QByteArray FileUriToPath(QByteArrayView uri);

// What cut or copy put on the clipboard, and what paste takes from it.
struct ClipboardFiles {
    std::vector<QByteArray> paths;  // raw absolute paths
    bool cut = false;
};

// Every format at once. folderAbs and rels may be empty when the items have no common folder.
std::unique_ptr<QMimeData> MakeClipboardData(const ClipboardFiles& files, const PItemIDList& folderAbs,
                                             const std::vector<PItemIDList>& rels);
// The files on the clipboard, from the best format present: ours, GNOME's, then the uri-list
// (with KDE's cut mark). False when none holds a local file.
bool ReadClipboardFiles(const QMimeData* data, ClipboardFiles* out);
// Whether paste has something to take.
bool HasPasteableFiles(const QMimeData* data);

// The items last cut, shown dimmed until they are pasted or the clipboard changes.
class CutItems : public QObject
{
    Q_OBJECT
public:
    static CutItems& instance();
    bool contains(const QByteArray& path) const { return m_paths.contains(path); }
    bool isEmpty() const { return m_paths.isEmpty(); }
    void set(const std::vector<QByteArray>& paths);
    void clear();

signals:
    void changed();

private:
    QSet<QByteArray> m_paths;
};

} // namespace corvane::platform
