#pragma once
// What the zip listing grids show of an entry, and a grid cell that sorts numbers and dates by
// value: shared by the extract dialog and the preview's listing.
#include <QString>
#include <QTableWidgetItem>

#include <vector>

namespace corvane::zip {

struct ZipDirEntry;

// "60% ": the space saved, rounded to the nearest integer (halves to the even one); negative
// when the entry grew; "0% " for an empty entry.
QString ZipRatioText(quint64 uncompressed, quint64 compressed);
// The system's short date, two spaces, its short time.
QString ZipDateText(quint32 dosDateTime);
// The name after its last "/" (empty for a folder entry), and the part up to and with it.
QString EntryBaseName(const QString& name);
QString EntryFolder(const QString& name);

// A cell sorted by the number or date it holds when the other cell holds one too, else by text.
class TZipGridItem : public QTableWidgetItem
{
public:
    enum class Kind { Text, Number, Date };
    TZipGridItem(const QString& text, Kind kind, double key = 0);
    bool operator<(const QTableWidgetItem& other) const override;

private:
    Kind m_kind;
    double m_key;
};

// The cells of one entry in the preview's column order: name, date, sizes, ratio, path.
std::vector<TZipGridItem*> ZipListingRow(const ZipDirEntry& entry);

} // namespace corvane::zip
