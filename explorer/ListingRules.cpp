#include "ListingRules.h"

#include "ExplorerTexts.h"
#include "core/PathText.h"
#include "core/SizeText.h"
#include "platform/NameCodec.h"

#include <QLocale>
#include <algorithm>

namespace corvane::explorer {

bool MatchesWildcard(const QString& name, const QString& pattern)
{
    const QString N = name.toUpper(), P = pattern.toUpper();
    const qsizetype n = N.size(), m = P.size();
    // 1-based positions, as the rule is written.
    auto pc = [&](qsizetype i) { return P[i - 1]; };
    auto nc = [&](qsizetype j) { return N[j - 1]; };
    auto wild = [&](qsizetype i) { return pc(i) == QLatin1Char('*') || pc(i) == QLatin1Char('?'); };
    bool result = false;
    qsizetype i = 1, j = 1;
    while (i <= m && j <= n) {
        if (pc(i) == QLatin1Char('*')) {
            while (i <= m && wild(i))
                ++i;
            if (i > m) {
                result = true;
                break;
            }
            bool matched = false;
            for (;;) {
                while (j <= n && nc(j) != pc(i))
                    ++j;
                if (j > n)
                    break;
                qsizetype k = 0;
                while (i + k <= m && j + k <= n && !wild(i + k) && pc(i + k) == nc(j + k))
                    ++k;
                if (i + k > m || wild(i + k)) {
                    i += k - 1;
                    j += k - 1;
                    matched = true;
                    break;
                }
                j += k;
                if (j > n)
                    break;
            }
            if (!matched)
                break;
        } else if (pc(i) != QLatin1Char('?') && pc(i) != nc(j)) {
            break;
        }
        ++i;
        ++j;
        if (j > n) {
            result = true;
            for (qsizetype r = i; r <= m; ++r) {
                if (pc(r) != QLatin1Char('*')) {
                    result = false;
                    break;
                }
            }
            break;
        }
    }
    return result;
}

QStringList SplitExclusions(const QString& text)
{
    QStringList out;
    if (text.isEmpty())
        return out;
    qsizetype pos = 0;
    for (;;) {
        qsizetype semi = text.indexOf(QLatin1Char(';'), pos);
        if (semi < 0) {
            out << text.mid(pos).trimmed();
            break;
        }
        out << text.mid(pos, semi - pos).trimmed();
        pos = semi + 1;
        if (pos >= text.size())
            break;
    }
    return out;
}

QString SizeSummary(qint64 bytes)
{
    if (bytes == 0)
        return {};
    QLocale loc;
    loc.setNumberOptions(loc.numberOptions() | QLocale::OmitGroupSeparator);
    double k = double(bytes) / 1024.0;
    if (k >= 1024.0)
        return QStringLiteral(", ") + loc.toString(k / 1024.0, 'f', 2) + QStringLiteral("MB");
    // Kilobytes read as in the list's Size column.
    return QStringLiteral(", ") + core::SizeTextKB(bytes);
}

QString TotalsText(qint64 count, qint64 bytes)
{
    return QString::fromLatin1(texts::Total) + QString::number(count) + QString::fromLatin1(texts::Item)
           + (count == 1 ? QString() : QStringLiteral("s")) + SizeSummary(bytes);
}

QString SelectionText(qint64 count, qint64 bytes)
{
    return QString::fromLatin1(texts::Selected) + QString::number(count) + QString::fromLatin1(texts::Item)
           + (count == 1 ? QString() : QStringLiteral("s")) + SizeSummary(bytes);
}

QString SortExtension(const QString& path)
{
    QString base = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : base.mid(dot).toUpper();
}

int CompareExtensions(const QString& a, const QString& b)
{
    QByteArray x = platform::EncodeName(SortExtension(a)), y = platform::EncodeName(SortExtension(b));
    if (x == y)
        return 0;
    return x < y ? -1 : 1;
}

} // namespace corvane::explorer
