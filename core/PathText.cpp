#include "PathText.h"

namespace corvane::core {

QByteArray JoinRawPath(const QByteArray& folder, QByteArrayView name)
{
    QByteArray p;
    p.reserve(folder.size() + name.size() + 1);
    p.append(folder);
    if (!folder.isEmpty() && !folder.endsWith('/'))
        p.append('/');
    p.append(name.data(), name.size());
    return p;
}

QString JoinPath(const QString& folder, const QString& name)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString FileExtension(const QString& fileName)
{
    const QString base = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : base.mid(dot).toUpper();
}

bool ExtensionInList(const QString& fileName, const QString& list)
{
    const QString ext = FileExtension(fileName);
    return !ext.isEmpty() && list.contains(ext + QLatin1Char('/'));
}

bool FileSpecMatches(const QString& name, const QString& pattern)
{
    if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*"))
        return true;
    const QString n = name.toUpper(), p = pattern.toUpper();
    // Greedy glob with one backtrack point: linear in practice, never exponential.
    qsizetype i = 0, j = 0, star = -1, mark = 0;
    while (j < n.size()) {
        if (i < p.size() && (p[i] == QLatin1Char('?') || p[i] == n[j])) {
            ++i;
            ++j;
        } else if (i < p.size() && p[i] == QLatin1Char('*')) {
            star = i++;
            mark = j;
        } else if (star >= 0) {
            i = star + 1;
            j = ++mark;
        } else {
            return false;
        }
    }
    while (i < p.size() && p[i] == QLatin1Char('*'))
        ++i;
    return i == p.size();
}

} // namespace corvane::core
