#pragma once
// The listing rules of an explorer window: wildcard tests, exclusion lists and the texts
// of the folder totals and the selection summary.
#include <QString>
#include <QStringList>

namespace corvane::explorer {

// Case-insensitive; "*" any run, "?" any one character. A literal run after "*" is matched at
// its first occurrence only. An empty pattern or name never matches.
bool MatchesWildcard(const QString& name, const QString& pattern);
// The exclusion box's text split at semicolons, each piece trimmed; a trailing ";" adds nothing.
QStringList SplitExclusions(const QString& text);
// ", 1.50MB", ", 2KB" or empty for 0 bytes.
QString SizeSummary(qint64 bytes);
// "Total: 3 items, 2KB"
QString TotalsText(qint64 count, qint64 bytes);
// " Selected: 1 item, 1KB"
QString SelectionText(qint64 count, qint64 bytes);
// The upper-cased extension with its dot, as the extension sort compares it.
QString SortExtension(const QString& path);
// -1, 0 or 1 by extension, bytewise.
int CompareExtensions(const QString& a, const QString& b);

} // namespace corvane::explorer
