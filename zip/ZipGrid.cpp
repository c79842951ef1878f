#include "ZipGrid.h"

#include "engine/ZipDirectory.h"

#include <QCollator>
#include <QLocale>

namespace corvane::zip {

QString ZipRatioText(quint64 uncompressed, quint64 compressed)
{
    if (uncompressed == 0)
        return QStringLiteral("0% ");
    // Exact: 100 * (u - c) / u rounded half to even, with no floating-point error at the halves.
    const __int128 num = (__int128(uncompressed) - __int128(compressed)) * 100;
    const __int128 den = uncompressed;
    __int128 q = num / den;
    __int128 r = num % den;
    if (r < 0) {
        --q;
        r += den;
    }
    if (2 * r > den || (2 * r == den && (q & 1) != 0))
        ++q;
    return QString::number(qint64(q)) + QStringLiteral("% ");
}

QString ZipDateText(quint32 dosDateTime)
{
    const QDateTime stamp = DosDateTimeToQt(dosDateTime);
    if (!stamp.isValid())
        return {};
    const QLocale locale = QLocale::system();
    return locale.toString(stamp.date(), QLocale::ShortFormat) + QStringLiteral("  ")
        + locale.toString(stamp.time(), QLocale::ShortFormat);
}

QString EntryBaseName(const QString& name)
{
    return name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
}

QString EntryFolder(const QString& name)
{
    return name.left(name.lastIndexOf(QLatin1Char('/')) + 1);
}

TZipGridItem::TZipGridItem(const QString& text, Kind kind, double key)
    : QTableWidgetItem(text), m_kind(kind), m_key(key)
{
    setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (kind == Kind::Number)
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

bool TZipGridItem::operator<(const QTableWidgetItem& other) const
{
    const auto* o = dynamic_cast<const TZipGridItem*>(&other);
    if (o && o->m_kind == m_kind && m_kind != Kind::Text)
        return m_key < o->m_key;
    static const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    return collator.compare(text(), other.text()) < 0;
}

std::vector<TZipGridItem*> ZipListingRow(const ZipDirEntry& e)
{
    using Kind = TZipGridItem::Kind;
    const QDateTime stamp = DosDateTimeToQt(e.DosDateTime);
    const double ratio = e.UncompressedSize == 0
        ? 0.0
        : 100.0 * (double(e.UncompressedSize) - double(e.CompressedSize)) / double(e.UncompressedSize);
    auto* ratioItem = new TZipGridItem(ZipRatioText(e.UncompressedSize, e.CompressedSize), Kind::Number, ratio);
    return {
        new TZipGridItem(EntryBaseName(e.FileName), Kind::Text),
        new TZipGridItem(ZipDateText(e.DosDateTime), Kind::Date, stamp.isValid() ? double(stamp.toSecsSinceEpoch()) : 0),
        new TZipGridItem(QString::number(e.UncompressedSize), Kind::Number, double(e.UncompressedSize)),
        new TZipGridItem(QString::number(e.CompressedSize), Kind::Number, double(e.CompressedSize)),
        ratioItem,
        new TZipGridItem(EntryFolder(e.FileName), Kind::Text),
    };
}

} // namespace corvane::zip
