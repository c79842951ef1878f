#pragma once
// The program's rules for path texts: joining, extensions and wildcard patterns.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace corvane::core {

// Folder and name: a "/" between them unless the folder is empty or ends in one; for the text the
// user sees and types, and for raw file-system bytes.
QString JoinPath(const QString& folder, const QString& name);
QByteArray JoinRawPath(const QByteArray& folder, QByteArrayView name);

// The upper-cased extension of a file name, from its last dot (empty without a dot).
QString FileExtension(const QString& fileName);
// Whether the file's extension is in a list such as ".TXT/.LOG/".
bool ExtensionInList(const QString& fileName, const QString& list);

// Case-insensitive "*" and "?" matching of a whole name; "*" and "*.*" match every name.
bool FileSpecMatches(const QString& name, const QString& pattern);

} // namespace corvane::core
