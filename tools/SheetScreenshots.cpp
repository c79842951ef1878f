// Renders the manual's pictures of the preview's spreadsheet grid and PDF viewer.
//   corvane_sheet_screenshots OUTDIR   (under Xvfb; LibreOffice makes the workbook)
#include "app/Globals.h"
#include "app/Mainform.h"
#include "explorer/Child.h"
#include "platform/Registry.h"
#include "preview/Preview.h"
#include "shellctl/ShellControls.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

namespace {

void clickFile(explorer::TfrmChild* child, const QString& name)
{
    shellctl::TShellList* list = child->List1;
    QAbstractItemView* view = list->CurrentView();
    for (int i = 0; i < list->Count(); ++i) {
        if (list->DataOfIndex(i)->FileName() == name) {
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(i, 0)).center());
            return;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    platform::setCurrentUserHive(platform::Hive::inMemory());
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/demo-XXXXXX"));
    const QString demo = tmp.path() + QStringLiteral("/Weather");
    QDir().mkpath(demo);

    // Daily rainfall of ten stations over 29 days: 30 columns, A … AD.
    QByteArray csv = "Station";
    for (int d = 1; d <= 29; ++d)
        csv += ",Day " + QByteArray::number(d);
    csv += '\n';
    const char* stations[] = {"Aberdeen", "Bergen", "Cork", "Dover", "Esbjerg", "Faro", "Galway", "Hull", "Inverness", "Jersey"};
    quint32 seed = 7;
    for (const char* station : stations) {
        csv += station;
        for (int d = 1; d <= 29; ++d) {
            seed = seed * 1664525u + 1013904223u;
            csv += ',' + QByteArray::number(((seed >> 16) % 250) / 10.0, 'f', 1);
        }
        csv += '\n';
    }
    QFile file(tmp.filePath(QStringLiteral("rainfall.csv")));
    if (file.open(QIODevice::WriteOnly))
        file.write(csv);
    file.close();
    QProcess soffice;
    soffice.start(QStringLiteral("soffice"),
                  {QStringLiteral("-env:UserInstallation=file://") + tmp.filePath(QStringLiteral("profile")),
                   QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("xls"),
                   QStringLiteral("--outdir"), demo, file.fileName()});
    soffice.waitForFinished(120000);

    {
        QPdfWriter writer(demo + QStringLiteral("/forecast.pdf"));
        writer.setTitle(QStringLiteral("Forecast"));
        QPainter painter(&writer);
        QFont title(QStringLiteral("DejaVu Serif"), 28, QFont::Bold);
        QFont body(QStringLiteral("DejaVu Sans"), 12);
        for (int page = 1; page <= 3; ++page) {
            if (page > 1)
                writer.newPage();
            painter.setFont(title);
            painter.drawText(QPointF(600, 1200), QStringLiteral("Weekly forecast, part %1").arg(page));
            painter.setFont(body);
            for (int line = 0; line < 30; ++line)
                painter.drawText(QPointF(600, 2200 + line * 380),
                                 QStringLiteral("Day %1: light winds from the west, showers later, 12 to 16 degrees.")
                                     .arg((page - 1) * 30 + line + 1));
        }
    }

    app::TfrmMain main;
    main.resize(1300, 800);
    main.show();
    (void)QTest::qWaitForWindowExposed(&main);
    explorer::TfrmChild* child = main.Explorers().front();
    child->Tree1->SelectPath(demo);
    QTest::qWait(500);
    main.actPreview->trigger();
    auto* preview = qobject_cast<preview::TfrmPreview*>(app::frmPreview.data());
    main.actTileVert->trigger();
    QTest::qWait(200);

    clickFile(child, QStringLiteral("rainfall.xls"));
    (void)QTest::qWaitFor([preview] { return !preview->Loading(); }, 20000);
    QTest::qWait(300);
    main.grab().save(out + QStringLiteral("/preview-sheet.png"));
    // All 30 columns, A … AD, with the preview window as wide as the frame; taken from the screen.
    preview->parentWidget()->showMaximized();
    QTest::qWait(300);
    preview->Grid1->horizontalScrollBar()->setValue(preview->Grid1->horizontalScrollBar()->maximum());
    QTest::qWait(300);
    QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                 out + QStringLiteral("/preview-sheet-30-columns.png")});
    preview->parentWidget()->showNormal();
    main.actTileVert->trigger();
    QTest::qWait(300);

    clickFile(child, QStringLiteral("forecast.pdf"));
    (void)QTest::qWaitFor([preview] { return !preview->Loading(); }, 20000);
    QTest::qWait(500);
    main.grab().save(out + QStringLiteral("/preview-pdf.png"));
    return 0;
}
