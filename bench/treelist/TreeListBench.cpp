// Painting a 100,000-item list while scrolling, with the custom-draw wrapper against a plain
// Qt view over the same model, and switching view styles on such a list.
#include "shellctl/UTreeList.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <benchmark/benchmark.h>

using namespace corvane::shellctl;

namespace {

constexpr int Rows = 100000;

class TBigModel final : public QAbstractTableModel
{
public:
    TBigModel()
    {
        QPixmap pm(16, 16);
        pm.fill(Qt::darkGray);
        m_icon = QIcon(pm);
        m_names.reserve(Rows);
        for (int i = 0; i < Rows; ++i)
            m_names.append(QStringLiteral("Document number %1.txt").arg(i));
    }
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : Rows; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DecorationRole && index.column() == 0)
            return m_icon;
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case 0:
            return m_names[index.row()];
        case 1:
            return m_size;
        case 2:
            return m_type;
        default:
            return m_date;
        }
    }

private:
    QIcon m_icon;
    QStringList m_names;
    const QString m_size = QStringLiteral("12 KB");
    const QString m_type = QStringLiteral("Text document");
    const QString m_date = QStringLiteral("2024-05-01 10:00");
};

// A hook as cheap as the shell list's: colours every third item.
class TColouringList final : public TCustomListView
{
protected:
    void DoCustomDraw(TLvCustomDraw& aCD) override
    {
        if (aCD.Stage() == TCustomDraw::cdItemPrePaint && aCD.Item().row() % 3 == 0)
            aCD.SetFontColor(Qt::darkBlue);
    }
};

TBigModel& model()
{
    static TBigModel m;
    return m;
}

// Scrolls one page further (wrapping) and paints the viewport.
void scrollAndPaint(benchmark::State& state, QWidget* window, QAbstractItemView* view)
{
    window->resize(800, 600);
    window->show();
    QApplication::processEvents();
    QScrollBar* bar = view->verticalScrollBar()->maximum() > 0 ? view->verticalScrollBar()
                                                                : view->horizontalScrollBar();
    QImage image(view->viewport()->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        int next = bar->value() + bar->pageStep();
        if (next > bar->maximum())
            next = 0;
        bar->setValue(next);
        view->viewport()->render(&image);
    }
    window->hide();
}

// The same control and layout, once with the custom-draw delegate and once with Qt's own:
// the difference is what the wrapper costs.
void paintBench(benchmark::State& state, TViewStyle style, bool wrapper)
{
    TColouringList list;
    list.setModel(&model());
    list.SetViewStyle(style);
    QStyledItemDelegate plain;
    if (!wrapper)
        list.CurrentView()->setItemDelegate(&plain);
    scrollAndPaint(state, &list, list.CurrentView());
}

void BM_ReportPaint_Wrapper(benchmark::State& state) { paintBench(state, vsReport, true); }
void BM_ReportPaint_PlainQt(benchmark::State& state) { paintBench(state, vsReport, false); }
void BM_ListPaint_Wrapper(benchmark::State& state) { paintBench(state, vsList, true); }
void BM_ListPaint_PlainQt(benchmark::State& state) { paintBench(state, vsList, false); }
void BM_IconPaint_Wrapper(benchmark::State& state) { paintBench(state, vsIcon, true); }
void BM_IconPaint_PlainQt(benchmark::State& state) { paintBench(state, vsIcon, false); }

// Every style once, each laid out and painted: what the user waits for after a click on
// a view style button in a huge folder.
void BM_SwitchAllStyles(benchmark::State& state)
{
    TColouringList list;
    list.setModel(&model());
    list.resize(800, 600);
    list.show();
    QApplication::processEvents();
    QImage image(list.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        for (TViewStyle style : {vsIcon, vsSmallIcon, vsList, vsReport}) {
            list.SetViewStyle(style);
            list.CurrentView()->doItemsLayout();
            list.render(&image);
        }
    }
}

BENCHMARK(BM_ReportPaint_Wrapper)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReportPaint_PlainQt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListPaint_Wrapper)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListPaint_PlainQt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IconPaint_Wrapper)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IconPaint_PlainQt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SwitchAllStyles)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
