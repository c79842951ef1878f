// The preview's spreadsheet: the grid in mode "S", searched and printed through the text toolbar.
#include "Preview.h"

#include "app/Utility.h"
#include "preview/engine/Sheet.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>

namespace corvane::preview {

struct TSheetFill {
    TSheet sheet;
    size_t next = 0;
};

namespace {

// Time the grid may take from one event-loop pass: filling a million cells takes over a second.
constexpr qint64 kFillSliceMs = 40;

} // namespace

void TfrmPreview::ShowSpreadsheet(TSheet sheet)
{
    GridMode = QStringLiteral("S");
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
    // A search goes on in this sheet from its start.
    m_gridNext = 0;
    m_sheetFill = std::make_shared<TSheetFill>(TSheetFill{std::move(sheet), 0});
    fillSheetStep();
    Grid1->show();
    ApplyPreviewFont();
    Grid1->resizeColumnsToContents();
    toolText->show();
}

bool TfrmPreview::fillSheetStep()
{
    TSheetFill& fill = *m_sheetFill;
    const std::vector<TSheetCell>& cells = fill.sheet.cells;
    QElapsedTimer slice;
    slice.start();
    Grid1->setUpdatesEnabled(false);
    while (fill.next < cells.size() && slice.elapsed() < kFillSliceMs) {
        for (const size_t end = std::min(cells.size(), fill.next + 2000); fill.next < end; ++fill.next) {
            const TSheetCell& cell = cells[fill.next];
            auto* item = new QTableWidgetItem(cell.text);
            if (cell.number)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Grid1->setItem(cell.row, cell.column, item);
        }
    }
    Grid1->setUpdatesEnabled(true);
    if (fill.next == cells.size()) {
        m_sheetFill.reset();
        return true;
    }
    // A newer selection or a cleared window lets go of the fill; the next step then finds it gone.
    QTimer::singleShot(0, this, [this, ongoing = std::weak_ptr<TSheetFill>(m_sheetFill)] {
        if (ongoing.expired() || ongoing.lock() != m_sheetFill)
            return;
        if (fillSheetStep()) {
            Grid1->resizeColumnsToContents();
            emit PreviewLoaded();
        }
    });
    return false;
}

} // namespace corvane::preview
