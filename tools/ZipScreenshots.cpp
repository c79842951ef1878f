// Renders the manual's pictures of the zip dialogs and of the preview's zip listing.
//   corvane_zip_screenshots OUTDIR   (under Xvfb)
#include "app/Globals.h"
#include "app/Mainform.h"
#include "explorer/Child.h"
#include "platform/Registry.h"
#include "preview/Preview.h"
#include "shellctl/ShellControls.h"
#include "zip/Unzip.h"
#include "zip/Zip.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

namespace {

void write(const QString& path, const QByteArray& text, int copies)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        for (int i = 0; i < copies; ++i)
            f.write(text);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    platform::setCurrentUserHive(platform::Hive::inMemory());
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/demo-XXXXXX"));
    const QString demo = tmp.path() + QStringLiteral("/Garden");
    write(demo + QStringLiteral("/planting.txt"), "Tomatoes after the last frost.\n", 300);
    write(demo + QStringLiteral("/seeds.csv"), "name,count\nbasil,40\n", 80);
    write(demo + QStringLiteral("/photos/bed-1.jpg"), QByteArray("\xff\xd8\xff\xe0", 4) + QByteArray(9000, '\x5a'), 1);
    write(demo + QStringLiteral("/photos/bed-2.jpg"), QByteArray("\xff\xd8\xff\xe0", 4) + QByteArray(7000, '\x33'), 1);
    write(demo + QStringLiteral("/notes/2026/march.txt"), "Compost turned.\n", 50);
    write(demo + QStringLiteral("/empty.log"), "", 0);
    QProcess zip;
    zip.setWorkingDirectory(demo);
    zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("-r"), QStringLiteral("garden.zip"),
                                      QStringLiteral("planting.txt"), QStringLiteral("seeds.csv"),
                                      QStringLiteral("photos"), QStringLiteral("notes"), QStringLiteral("empty.log")});
    zip.waitForFinished(20000);
    const QString archive = demo + QStringLiteral("/garden.zip");

    app::TfrmMain main;
    main.resize(1100, 760);
    main.show();
    (void)QTest::qWaitForWindowExposed(&main);
    explorer::TfrmChild* child = main.Explorers().front();
    child->Tree1->SelectPath(demo);
    QTest::qWait(300);
    shellctl::TShellList* list = child->List1;
    for (int row = 0; row < list->Count(); ++row) {
        const QString name = list->DataOfIndex(row)->FileName();
        if (name == QLatin1String("planting.txt") || name == QLatin1String("photos")
            || name == QLatin1String("seeds.csv"))
            list->SelectionModel()->select(list->Model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    list->CurrentView()->setFocus();
    QTest::qWait(200);

    {
        zip::TfrmZip* dlg = zip::frmZip;
        dlg->show();
        dlg->txtZipFile->setEditText(tmp.path() + QStringLiteral("/garden-backup.zip"));
        dlg->chkSubdirs->setChecked(true);
        dlg->chkPaths->setChecked(true);
        QTest::qWait(300);
        dlg->grab().save(out + QStringLiteral("/zip-create.png"));
        dlg->hide();
    }
    {
        zip::TfrmUnzip* dlg = zip::frmUnzip;
        dlg->LaunchedFromPreview = true;
        dlg->PreviewFile = archive;
        dlg->show();
        (void)QTest::qWaitFor([dlg] { return !dlg->Listing(); }, 10000);
        for (int r = 0; r < dlg->Grid1->rowCount(); ++r) {
            if (dlg->Grid1->item(r, 1)->text().endsWith(QLatin1String(".jpg")))
                dlg->Grid1->item(r, 0)->setCheckState(Qt::Checked);
        }
        QTest::qWait(300);
        dlg->grab().save(out + QStringLiteral("/zip-extract.png"));
        dlg->hide();
    }
    {
        main.actPreview->trigger();
        auto* preview = qobject_cast<preview::TfrmPreview*>(app::frmPreview.data());
        main.actTileVert->trigger();
        preview->PreviewFile(archive, false, QFileInfo(archive).size());
        (void)QTest::qWaitFor([preview] { return !preview->Loading(); }, 10000);
        QTest::qWait(300);
        main.grab().save(out + QStringLiteral("/preview-zip.png"));
    }
    return 0;
}
