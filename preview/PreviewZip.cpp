// The preview's zip listing: the grid in mode "Z", its printout and the Unzip button.
#include "Preview.h"

#include "PreviewTexts.h"
#include "app/Utility.h"
#include "zip/Unzip.h"
#include "zip/ZipFormTexts.h"
#include "zip/ZipGrid.h"
#include "zip/engine/ZipDirectory.h"

#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QPrintDialog>
#include <QTableWidget>
#include <QToolBar>

#include <algorithm>

namespace corvane::preview {

namespace {

QString T(const char* text)
{
    return QString::fromLatin1(text);
}

bool IsNumber(const QString& text)
{
    bool ok = false;
    text.trimmed().toDouble(&ok);
    return ok;
}

} // namespace

void TfrmPreview::ShowZipListing(const std::vector<zip::ZipDirEntry>& entries)
{
    namespace zt = zip::texts;
    GridMode = QStringLiteral("Z");
    Grid1->setSortingEnabled(false);
    Grid1->clear();
    Grid1->setColumnCount(6);
    Grid1->setRowCount(int(entries.size()));
    Grid1->setHorizontalHeaderLabels({T(zt::FileNameColumn), T(zt::DateColumn), T(zt::OrigSizeColumn),
                                      T(zt::CompSizeColumn), T(zt::RatioColumn), T(zt::PathColumn)});
    Grid1->verticalHeader()->hide();
    Grid1->verticalHeader()->setDefaultSectionSize(app::Scaled(21));
    Grid1->setShowGrid(true);
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setWordWrap(true);
    for (int k = 0; k < int(entries.size()); ++k) {
        const std::vector<zip::TZipGridItem*> cells = zip::ZipListingRow(entries[size_t(k)]);
        for (int c = 0; c < int(cells.size()); ++c) {
            // Cells holding a number stand right, whatever the column.
            if (IsNumber(cells[size_t(c)]->text()))
                cells[size_t(c)]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Grid1->setItem(k, c, cells[size_t(c)]);
        }
    }
    Grid1->resizeColumnsToContents();
    Grid1->horizontalHeader()->setSortIndicatorShown(true);
    Grid1->setSortingEnabled(true);
    Grid1->sortByColumn(0, Qt::AscendingOrder);
    Grid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Grid1->show();
    ApplyPreviewFont();
    Grid1->resizeColumnsToContents();
    toolZip->show();
}

void TfrmPreview::cmdPrintZipClick()
{
    QPrintDialog dialog(&m_printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    PrintZipList(m_printer);
}

void TfrmPreview::PrintZipList(QPrinter& printer)
{
    namespace zt = zip::texts;
    // The caption less its "Preview - ": the archive's full path.
    PrintGrid(printer, T(zt::PrintTitle) + windowTitle().mid(qsizetype(qstrlen(texts::CaptionWithFile))));
}

void TfrmPreview::PrintGrid(QPrinter& printer, const QString& title)
{
    namespace zt = zip::texts;
    printer.setDocName(title);
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    QFont font(T(zt::PrintFont));
    font.setPointSize(9);
    painter.setFont(font);
    const QFontMetrics fm(font, &printer);
    // Spaces of the printout in hundredths of an inch.
    const auto units = [&printer](int hundredths) { return hundredths * printer.resolution() / 100; };
    const int left = units(40), headerSpace = units(40), titleSpacing = units(40);
    const int pad = fm.averageCharWidth();
    const int rowH = fm.lineSpacing() + fm.descent();
    const QRect page = painter.viewport();

    const int columns = Grid1->columnCount();
    const int rows = Grid1->rowCount();
    // The row numbers of a spreadsheet are its fixed column, printed on every page like the header.
    const bool rowNumbers = !Grid1->verticalHeader()->isHidden();
    auto headerText = [this](int column) {
        const QTableWidgetItem* header = Grid1->horizontalHeaderItem(column);
        return header ? header->text() : QString::number(column + 1);
    };
    auto cellText = [this](int row, int column) {
        const QTableWidgetItem* item = Grid1->item(row, column);
        return item ? item->text() : QString();
    };
    std::vector<int> widths(size_t(columns), 0);
    for (int c = 0; c < columns; ++c) {
        int w = fm.horizontalAdvance(headerText(c));
        for (int r = 0; r < rows; ++r)
            w = std::max(w, fm.horizontalAdvance(cellText(r, c)));
        widths[size_t(c)] = w + 2 * pad;
    }
    const int fixedWidth = rowNumbers ? fm.horizontalAdvance(QString::number(rows)) + 2 * pad : 0;
    // Columns that run past the page's right edge continue on pages of their own, never shrunk.
    std::vector<std::pair<int, int>> bands;
    for (int c = 0; c < columns || bands.empty();) {
        const int first = c;
        int x = left + fixedWidth;
        while (c < columns && (c == first || x + widths[size_t(c)] <= page.width()))
            x += widths[size_t(c++)];
        bands.emplace_back(first, c);
        if (columns == 0)
            break;
    }
    const int footer = rowH * 2;
    const int firstTop = headerSpace + rowH + titleSpacing;
    const bool hasTitle = !title.isEmpty();
    const int perFirst = std::max(1, (page.height() - (hasTitle ? firstTop : headerSpace) - footer) / rowH - 1);
    const int perPage = std::max(1, (page.height() - headerSpace - footer) / rowH - 1);
    const int rowPages = rows <= perFirst ? 1 : 1 + (rows - perFirst + perPage - 1) / perPage;
    const int pages = rowPages * int(bands.size());

    int p = 0;
    for (const auto& [firstColumn, endColumn] : bands) {
        int row = 0;
        for (int rp = 0; rp < rowPages; ++rp) {
            if (p++ > 0)
                printer.newPage();
            int y = headerSpace;
            if (p == 1 && hasTitle) {
                painter.drawText(QRect(left, y, page.width() - left, rowH), Qt::AlignLeft | Qt::AlignVCenter, title);
                y += rowH + titleSpacing;
            }
            // The header row comes again on every page.
            const int count = std::min(rows - row, rp == 0 ? perFirst : perPage);
            for (int r = -1; r < count; ++r) {
                int x = left;
                if (rowNumbers) {
                    if (r >= 0)
                        painter.drawText(QRect(x + pad, y, fixedWidth - 2 * pad, rowH), Qt::AlignRight | Qt::AlignVCenter,
                                         QString::number(row + r + 1));
                    x += fixedWidth;
                }
                for (int c = firstColumn; c < endColumn; ++c) {
                    const QTableWidgetItem* item = r < 0 ? nullptr : Grid1->item(row + r, c);
                    const QString text = r < 0 ? headerText(c) : item ? item->text() : QString();
                    const bool right = item && (item->textAlignment() & Qt::AlignRight);
                    const Qt::Alignment align = r < 0 && rowNumbers ? Qt::AlignHCenter : right ? Qt::AlignRight : Qt::AlignLeft;
                    painter.drawText(QRect(x + pad, y, widths[size_t(c)] - 2 * pad, rowH), align | Qt::AlignVCenter, text);
                    x += widths[size_t(c)];
                }
                y += rowH;
            }
            row += count;
            const QString number = T(zt::PagePrefix) + QString::number(p) + T(zt::PageSeparator) + QString::number(pages);
            painter.drawText(QRect(0, page.height() - footer, page.width(), rowH), Qt::AlignHCenter | Qt::AlignVCenter,
                             number);
        }
    }
    painter.end();
}

void TfrmPreview::cmdUnzipClick()
{
    if (!zip::frmUnzip || CurrentFile.isEmpty())
        return;
    zip::frmUnzip->LaunchedFromPreview = true;
    zip::frmUnzip->PreviewFile = CurrentFile;
    zip::frmUnzip->exec();
}

} // namespace corvane::preview
