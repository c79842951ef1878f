#pragma once
// Group rename without widgets: the new names and the run over one folder's files.
//
// Names are QStrings in which bytes that are not valid UTF-8 are carried as lone surrogates
// (core/NameCodec.h), so every name the file system can hold is renamed exactly.
#include <QString>
#include <QStringList>

#include <functional>

namespace corvane::filetools {

class ToolJob;

enum class RenameOption { Replace = 0, Add = 1 };

// The OK button's check of the typed extension: the message, or an empty text.
QString CheckNewExtension(const QString& typed);
// The extension as used: one leading "." is dropped, a second one stays; blanks are kept.
QString UsedExtension(const QString& typed);
// The new name of a file. Replace keeps the name up to its last "."; a name without one (a
// leading "." of a hidden file does not count) gets "." and the extension, so no name is lost.
QString NewFileName(const QString& name, const QString& extension, RenameOption option);

struct RenameRunInput {
    QString folder;
    QStringList names;
    QString extension;  // as used, after the leading-dot rule
    RenameOption option = RenameOption::Replace;
};

// Renames each name in order, never replacing an existing file; reports each failure with
// "Unable to rename file " and the name, and the count as the job's status text. Returns how
// many names changed.
int RunGroupRename(const RenameRunInput& input, ToolJob& job);

// The folder with "/" added unless it is empty or ends in one, followed by the name.
QString JoinToolPath(const QString& folder, const QString& name);

} // namespace corvane::filetools
