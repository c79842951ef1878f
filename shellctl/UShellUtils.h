#pragma once
// Helpers over item identifier lists and the namespace, used by every shell control.
#include "core/PathText.h"
#include "platform/FolderListing.h"
#include "platform/IdListFormat.h"
#include "platform/Namespace.h"

#include <QDateTime>
#include <QStringList>
#include <stdexcept>

namespace corvane::shellctl {

using platform::HResult;
using platform::PItemIDList;
using platform::ShellFolderPtr;

// The exception that shell helpers and records raise; its text is the message shown.
class EShellError : public std::runtime_error
{
public:
    explicit EShellError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

enum TDisplayNameKind { dnNormal, dnInFolder, dnForParsing };

// Sentinel of CompareIdLists when no comparison could be made.
inline constexpr int CompareFailed = 2147483647;

qsizetype IdListSize(const PItemIDList& list);
PItemIDList CopyIdList(const PItemIDList& list);
using platform::ConcatIdLists;
int CompareIdLists(const PItemIDList& a, const PItemIDList& b);
int BytewiseCompareIdLists(const PItemIDList& a, const PItemIDList& b);
HResult IdListFromPath(const QString& path, PItemIDList& out);
QString PathFromIdList(const PItemIDList& list);
QString SpecialFolderPath(int csidl);
using platform::BindToFolder;
QString GetDisplayName(const ShellFolderPtr& folder, const PItemIDList& rel, TDisplayNameKind kind);
// Flags: 1 small, 3 small open (as the platform's SHGFI values); 0 large.
int SysIconIndex(const PItemIDList& abs, unsigned flags);
HResult SplitIdList(const PItemIDList& abs, ShellFolderPtr& parent, PItemIDList& parentList, PItemIDList& last);
// Raises EShellError with the system's text when the code is a failure.
void CheckResult(HResult hr);
QString FormatStrPos(const QString& templ, const QStringList& strings);
QString FormatSizeKB(qint64 bytes);
using core::FileSpecMatches;
QString ItemTypeName(const PItemIDList& abs, std::uint32_t attributes);

// What ReadShortcut reads from a symbolic link or a Link .desktop file.
struct TFindData {
    std::uint32_t Attributes = 0;  // SFGAO bits of the target
    qint64 Size = 0;
    QDateTime LastWrite;
    QString FileName;
};

struct TLinkData {
    TFindData FindData;
    QString Path;
    QString Arguments;
    QString Description;
    QString IconPath;
    int IconIndex = 0;
    QString WorkingDirectory;
    int ShowCmd = 1;
    int HotKey = 0;
    PItemIDList IdList;
};

HResult ReadShortcut(const QString& path, bool wantIdList, TLinkData& data);

} // namespace corvane::shellctl
