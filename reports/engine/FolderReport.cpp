#include "FolderReport.h"

#include "ReportTexts.h"
#include "core/NameCodec.h"
#include "core/Text.h"

#include <QLocale>

#include <algorithm>

namespace corvane::reports {

QString GroupedNumber(qint64 value)
{
    return QLocale().toString(value);
}

void FolderReport::Clear()
{
    m_shown.clear();
    m_totals = {};
}

void FolderReport::SetRows(std::vector<FolderRow> rows)
{
    Clear();
    m_shown.reserve(rows.size());
    for (FolderRow& row : rows) {
        m_totals.files += row.files;
        m_totals.bytes += row.bytes;
        QString folder = core::ReadableName(row.path);
        m_shown.push_back({std::move(row), std::move(folder)});
    }
    m_totals.folders = qint64(m_shown.size());
    Sort(ColFolder, false);
}

void FolderReport::Sort(int column, bool descending)
{
    auto byFolder = [](const Shown& a, const Shown& b) {
        const int c = QString::compare(a.folder, b.folder, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.row.path < b.row.path;
    };
    auto value = [column](const Shown& s) -> qint64 {
        switch (column) {
        case ColFiles: return s.row.files;
        case ColBytes:
        case ColBytesDigits: return s.row.bytes;
        case ColTreeFiles: return s.row.treeFiles;
        default: return s.row.treeBytes;
        }
    };
    auto less = [&](const Shown& a, const Shown& b) {
        if (column == ColFolder)
            return byFolder(a, b);
        const qint64 va = value(a);
        const qint64 vb = value(b);
        return va != vb ? va < vb : byFolder(a, b);
    };
    if (descending)
        std::sort(m_shown.begin(), m_shown.end(), [&](const Shown& a, const Shown& b) { return less(b, a); });
    else
        std::sort(m_shown.begin(), m_shown.end(), less);
}

QString FolderReport::Cell(int row, int column) const
{
    const Shown& s = m_shown[size_t(row)];
    switch (column) {
    case ColFolder: return s.folder;
    case ColFiles: return QString::number(s.row.files);
    case ColBytes: return GroupedNumber(s.row.bytes);
    case ColTreeFiles: return QString::number(s.row.treeFiles);
    case ColTreeBytes: return GroupedNumber(s.row.treeBytes);
    case ColBytesDigits: return QString::number(s.row.bytes);
    case ColTreeBytesDigits: return QString::number(s.row.treeBytes);
    default: return {};
    }
}

QString FolderReport::ColumnTitle(int column)
{
    static const char* const titles[] = {texts::ColFolder, texts::ColFiles, texts::ColBytes, texts::ColTreeFiles,
                                         texts::ColTreeBytes};
    return column >= 0 && column < ColBytesDigits ? core::Text(titles[column]) : QString();
}

QStringList FolderReport::TotalsLine() const
{
    return {core::Text(texts::TotalPrefix) + QString::number(m_totals.folders) + core::Text(texts::TotalSuffix),
            QString::number(m_totals.files), GroupedNumber(m_totals.bytes), QString()};
}

CsvTable FolderReport::ExportTable() const
{
    CsvTable table;
    table.reserve(m_shown.size() + 3);
    table.push_back({texts::ColFolder, texts::ColFiles, texts::ColBytes, texts::ColTreeFiles, texts::CsvColTreeBytes});
    for (const Shown& s : m_shown)
        table.push_back({s.row.path, QByteArray::number(s.row.files), QByteArray::number(s.row.bytes),
                         QByteArray::number(s.row.treeFiles), QByteArray::number(s.row.treeBytes)});
    table.push_back(CsvRow(5));
    const QStringList totals = TotalsLine();
    table.push_back({totals[0].toUtf8(), totals[1].toUtf8(), QByteArray::number(m_totals.bytes), {}, {}});
    return table;
}

} // namespace corvane::reports
