// The preview's spreadsheet: the grid in mode "S", searched and printed through the text toolbar.
#include "Preview.h"

#include "app/Utility.h"
#include "preview/engine/Sheet.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QToolBar>

namespace corvane::preview {

void TfrmPreview::ShowSpreadsheet(const TSheet& sheet)
{
    GridMode = QStringLiteral("S");
    Grid1->setUpdatesEnabled(false);
    Grid1->setSortingEnabled(false);
    Grid1->clear();
    Grid1->setRowCount(0);
    Grid1->setColumnCount(sheet.columns);
    Grid1->setRowCount(sheet.rows);
    QStringList letters;
    letters.reserve(sheet.columns);
    for (int c = 0; c < sheet.columns; ++c)
        letters << ColumnLetters(c);
    Grid1->setHorizontalHeaderLabels(letters);
    for (const TSheetCell& cell : sheet.cells) {
        auto* item = new QTableWidgetItem(cell.text);
        if (cell.number)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Grid1->setItem(cell.row, cell.column, item);
    }
    // The row numbers are the one fixed column; the column letters stand centred above the data.
    QHeaderView* numbers = Grid1->verticalHeader();
    numbers->show();
    numbers->setFixedWidth(app::Scaled(60));
    numbers->setDefaultSectionSize(app::Scaled(21));
    numbers->setSectionResizeMode(QHeaderView::Interactive);
    Grid1->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    Grid1->horizontalHeader()->setSortIndicatorShown(false);
    Grid1->setShowGrid(true);
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setWordWrap(true);
    Grid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid1->setUpdatesEnabled(true);
    // A search goes on in this sheet from its start.
    m_gridNext = 0;
    Grid1->show();
    ApplyPreviewFont();
    Grid1->resizeColumnsToContents();
    toolText->show();
}

} // namespace corvane::preview
