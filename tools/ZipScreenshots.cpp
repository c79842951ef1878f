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
#include "zip/engine/ZipComponent.h"
#include "zip/engine/ZipSpan.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QMdiArea>
#include <QProcess>
#include <QRandomGenerator>
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
    {
        // The question for the next medium: a small tmpfs stands in for a USB stick.
        const QString stick = QStringLiteral("/media/GARDEN-USB");
        QDir().mkpath(stick);
        const bool mounted = QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                               QStringLiteral("-o"), QStringLiteral("size=2m"), QStringLiteral("tmpfs"), stick}) == 0;
        QByteArray noise(4'500'000, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        write(demo + QStringLiteral("/photos/bed-3.raw"), noise, 1);
        zip::SetRemovableCheckForTests([stick](const QString& folder) { return folder == stick; });
        QTimer grabber;
        grabber.setInterval(100);
        QObject::connect(&grabber, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            grabber.stop();
            QTest::qWait(400);
            QGuiApplication::primaryScreen()->grabWindow(0).save(out + QStringLiteral("/zip-next-medium.png"));
            QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
        });
        zip::TfrmZip* dlg = zip::frmZip;
        child->Tree1->SelectPath(demo + QStringLiteral("/photos"));
        QTest::qWait(300);
        child->Tree1->setFocus();
        QTimer::singleShot(300, [&] {
            dlg->txtZipFile->setEditText(stick + QStringLiteral("/photos.zip"));
            QTest::mouseClick(dlg->chkSpan, Qt::LeftButton);
            grabber.start();
            QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
        });
        dlg->exec();
        zip::SetRemovableCheckForTests(nullptr);
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {stick});
        QDir().rmdir(stick);
    }
    {
        // A self-extracting archive run in a terminal (tmux), its screen rendered into a picture.
        zip::TZipComponent sfx;
        sfx.Unattended = true;
        sfx.SFXCaption = QStringLiteral("Garden notes 2026");
        sfx.SFXPath = QCoreApplication::applicationDirPath() + QStringLiteral("/../CorvaneSFX.bin");
        sfx.SetZipFilename(tmp.path() + QStringLiteral("/garden.exe"));
        sfx.FSpecArgs = QStringList{demo + QStringLiteral("/planting.txt"), demo + QStringLiteral("/seeds.csv"),
                                    demo + QStringLiteral("/notes/*.*")};
        sfx.AddOptions = zip::AddRecurseDirs | zip::AddDirNames;
        sfx.Add();
        const QString session = QStringLiteral("corvane-sfx-shot");
        const auto tmux = [&](const QStringList& args) { QProcess::execute(QStringLiteral("tmux"), args); };
        tmux({QStringLiteral("new-session"), QStringLiteral("-d"), QStringLiteral("-s"), session, QStringLiteral("-x"),
              QStringLiteral("86"), QStringLiteral("-y"), QStringLiteral("18"), QStringLiteral("-c"), tmp.path(),
              QStringLiteral("./garden.exe; sleep 30")});
        QTest::qWait(800);
        tmux({QStringLiteral("send-keys"), QStringLiteral("-t"), session, QStringLiteral("restored"), QStringLiteral("Enter")});
        QTest::qWait(500);
        tmux({QStringLiteral("send-keys"), QStringLiteral("-t"), session, QStringLiteral("a"), QStringLiteral("Enter")});
        QTest::qWait(800);
        QProcess capture;
        capture.start(QStringLiteral("tmux"), {QStringLiteral("capture-pane"), QStringLiteral("-p"), QStringLiteral("-t"), session});
        capture.waitForFinished(5000);
        // ImageMagick reads no text files by its default policy: the screen goes in as the label.
        QString screen = QStringLiteral("$ ./garden.exe\n")
            + QString::fromUtf8(capture.readAllStandardOutput().trimmed());
        screen.replace(QLatin1Char('%'), QStringLiteral("%%"));
        tmux({QStringLiteral("kill-session"), QStringLiteral("-t"), session});
        QProcess::execute(QStringLiteral("convert"), {QStringLiteral("-background"), QStringLiteral("#1e1e1e"),
                                                      QStringLiteral("-fill"), QStringLiteral("#e0e0e0"),
                                                      QStringLiteral("-font"), QStringLiteral("DejaVu-Sans-Mono"),
                                                      QStringLiteral("-pointsize"), QStringLiteral("15"),
                                                      QStringLiteral("-border"), QStringLiteral("12"),
                                                      QStringLiteral("-bordercolor"), QStringLiteral("#1e1e1e"),
                                                      QStringLiteral("label:") + screen,
                                                      out + QStringLiteral("/zip-sfx-terminal.png")});
    }
    return 0;
}
