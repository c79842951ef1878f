#include "app/Globals.h"
#include "app/Mainform.h"
#include "app/Utility.h"
#include "explorer/Child.h"
#include "platform/Registry.h"
#include "preview/Preview.h"
#include "shellctl/ShellControls.h"
#include "shellctl/ShellMenu.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ZipTestSupport.h"
#include "zip/Unzip.h"
#include "zip/Zip.h"
#include "zip/ZipGrid.h"
#include "zip/engine/ZipComponent.h"
#include "zip/engine/ZipDirectory.h"
#include "zip/engine/ZipSpan.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <memory>
#include <gtest/gtest.h>

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

using namespace corvane;
using zip::TfrmUnzip;
using zip::TfrmZip;

namespace {

constexpr int kWaitMs = 20000;

// Runs `fn` on the next modal window of type W, from inside its own event loop, while the
// returned watch lives.
template <typename W>
[[nodiscard]] std::unique_ptr<QTimer> OnModal(std::function<void(W*)> fn)
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(10);
    QObject::connect(timer.get(), &QTimer::timeout, [t = timer.get(), fn] {
        if (auto* w = qobject_cast<W*>(QApplication::activeModalWidget())) {
            t->stop();
            fn(w);
        }
    });
    timer->start();
    return timer;
}

QString Tool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(kWaitMs);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QStringList GridColumn(const QTableWidget* grid, int column)
{
    QStringList out;
    for (int r = 0; r < grid->rowCount(); ++r)
        out << (grid->item(r, column) ? grid->item(r, column)->text() : QString());
    return out;
}

// The main window with one explorer window on a temporary folder.
struct ZipForms : ::testing::Test {
    ZipForms() { platform::setCurrentUserHive(platform::Hive::inMemory()); }
    app::TfrmMain main;
    test::TempDir dir;
    app::MsgBoxRecord last;

    void SetUp() override
    {
        main.resize(1200, 800);
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
        QApplication::setActiveWindow(&main);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
        app::SetMsgBoxRecorder(&last);
    }
    void TearDown() override
    {
        shellctl::SetShellMenuChooser(nullptr);
        app::SetMsgBoxRecorder(nullptr);
    }

    explorer::TfrmChild* child() const { return main.Explorers().front(); }
    QWidget* list() const { return child()->List1->CurrentView(); }
    void browse(const QString& folder)
    {
        child()->Tree1->SelectPath(folder);
        ASSERT_EQ(child()->List1->Folder().Path(), folder);
    }
    // Clicks the named items of the list, the later ones with Ctrl.
    void select(const QStringList& names)
    {
        shellctl::TShellList* list = child()->List1;
        QAbstractItemView* view = list->CurrentView();
        bool first = true;
        for (const QString& name : names) {
            // A file made a moment ago comes with the list's own refresh.
            EXPECT_TRUE(QTest::qWaitFor([&] {
                for (int i = 0; i < list->Count(); ++i) {
                    if (list->DataOfIndex(i)->FileName() == name)
                        return true;
                }
                return false;
            }, kWaitMs));
            int row = -1;
            for (int i = 0; i < list->Count(); ++i) {
                if (list->DataOfIndex(i)->FileName() == name)
                    row = i;
            }
            ASSERT_GE(row, 0) << name.toStdString();
            const QRect r = view->visualRect(view->model()->index(row, 0));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, first ? Qt::NoModifier : Qt::ControlModifier, r.center());
            first = false;
        }
    }
};

} // namespace

// What the dialog packs for each source kind: the selected list items, or the tree's folder.
TEST_F(ZipForms, CreateZipPatternsForEachSource)
{
    dir.addFile("src/a.txt", "alpha");
    dir.addFile("src/b.dat", "beta");
    dir.addFile("src/sub/c.txt", "gamma");
    dir.addFile("src/other.txt", "not selected");
    const QString src = dir.filePath("src");
    browse(src);
    select({"a.txt", "sub", "b.dat"});
    ASSERT_TRUE(main.actZip->isEnabled());

    QStringList listed, patterns;
    QString kind, folder;
    auto watch = OnModal<TfrmZip>([&](TfrmZip* dlg) {
        kind = dlg->SourceKind;
        folder = dlg->lblSourceFolder->text();
        for (int i = 0; i < dlg->lstFiles->count(); ++i)
            listed << dlg->lstFiles->item(i)->text();
        patterns = dlg->FileSpecs();
        EXPECT_TRUE(dlg->chkSpan->isEnabled());
        EXPECT_FALSE(dlg->txtMaxVolume->isEnabled());
        EXPECT_EQ(dlg->windowTitle(), "Create Zip File");
        QTest::mouseClick(dlg->cmdCancel, Qt::LeftButton);
    });
    main.actZip->trigger();
    EXPECT_EQ(kind, "L");
    EXPECT_EQ(folder, src);
    // In list order, each selected item once.
    EXPECT_EQ(listed.size(), 3);
    EXPECT_TRUE(listed.contains("a.txt") && listed.contains("b.dat") && listed.contains("sub (Folder)")) << listed.join('|').toStdString();
    EXPECT_EQ(patterns.size(), 3);
    EXPECT_TRUE(patterns.contains(src + "/a.txt"));
    EXPECT_TRUE(patterns.contains(src + "/b.dat"));
    EXPECT_TRUE(patterns.contains(src + "/sub/*.*"));

    // With the focus in the tree, the whole folder is packed.
    child()->Tree1->setFocus();
    auto watchTree = OnModal<TfrmZip>([&](TfrmZip* dlg) {
        kind = dlg->SourceKind;
        listed.clear();
        for (int i = 0; i < dlg->lstFiles->count(); ++i)
            listed << dlg->lstFiles->item(i)->text();
        patterns = dlg->FileSpecs();
        dlg->cmdCancel->click();
    });
    zip::frmZip->exec();
    EXPECT_EQ(kind, "T");
    EXPECT_EQ(listed, QStringList{src + " (Folder)"});
    EXPECT_EQ(patterns, QStringList{src + "/*.*"});
}

// Zipped through the one dialog and unzipped through the other, with a password, paths and
// subfolders; the archive reads in Info-ZIP's unzip with the same password.
TEST_F(ZipForms, RoundTripThroughBothDialogs)
{
    dir.addFile("src/a.txt", QByteArray(5000, 'a'));
    dir.addFile("src/b.dat", "beta");
    dir.addFile("src/sub/c.txt", "gamma");
    dir.addFile("src/sub/deep/d.txt", "delta");
    dir.addFolder("out");
    const QString src = dir.filePath("src");
    browse(src);
    select({"a.txt", "sub"});

    auto watch = OnModal<TfrmZip>([&](TfrmZip* dlg) {
        dlg->txtZipFile->setEditText(dir.filePath("pack.zip"));
        dlg->txtPassword->setText("secret");
        dlg->chkSubdirs->setChecked(true);
        dlg->chkPaths->setChecked(true);
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
    });
    main.actZip->trigger();
    EXPECT_EQ(last.text, "");
    const QString archive = dir.filePath("pack.zip");
    ASSERT_TRUE(QFile::exists(archive));
    const QString tested = Tool("unzip", {"-P", "secret", "-t", archive});
    EXPECT_TRUE(tested.contains("No errors detected")) << tested.toStdString();
    const QString names = Tool("unzip", {"-Z1", archive});
    EXPECT_TRUE(names.contains("sub/deep/d.txt")) << names.toStdString();
    EXPECT_FALSE(names.contains("b.dat"));

    // Extract two checked entries into another folder; the dialog asks for the password.
    browse(dir.path());
    select({"pack.zip"});
    ASSERT_TRUE(main.actUnzip->isEnabled());
    auto watchUnzip = OnModal<TfrmUnzip>([&](TfrmUnzip* dlg) {
        ASSERT_TRUE(QTest::qWaitFor([dlg] { return !dlg->Listing(); }, kWaitMs));
        EXPECT_EQ(dlg->windowTitle(), " Extract From Zip File - pack.zip ");
        EXPECT_EQ(dlg->Grid1->horizontalHeaderItem(1)->text(), "File Name");
        QTest::mouseClick(dlg->cmdSelectAll, Qt::LeftButton);
        QTest::mouseClick(dlg->cmdDeselectAll, Qt::LeftButton);
        for (int r = 0; r < dlg->Grid1->rowCount(); ++r) {
            const QString n = dlg->Grid1->item(r, 1)->text();
            if (n == "a.txt" || n == "d.txt")
                dlg->Grid1->item(r, 0)->setCheckState(Qt::Checked);
        }
        dlg->optSelectedFiles->setChecked(true);
        EXPECT_EQ(dlg->FilesToExtract(), (QStringList{"a.txt", "sub/deep/d.txt"}));
        dlg->treeDest->SelectPath(dir.filePath("out"));
        auto watchAsk = OnModal<QInputDialog>([](QInputDialog* ask) {
            ask->setTextValue("secret");
            ask->accept();
        });
        QTest::mouseClick(dlg->cmdExtract, Qt::LeftButton);
    });
    main.actUnzip->trigger();
    EXPECT_EQ(last.text, "");
    EXPECT_EQ(test::ReadBytes(dir.filePath("out/a.txt")), QByteArray(5000, 'a'));
    EXPECT_EQ(test::ReadBytes(dir.filePath("out/sub/deep/d.txt")), "delta");
    EXPECT_FALSE(QFile::exists(dir.filePath("out/sub/c.txt")));
    EXPECT_TRUE(zip::frmUnzip->isHidden());

    // The choices stay for the next opening; the grid is read again.
    auto watchAgain = OnModal<TfrmUnzip>([&](TfrmUnzip* dlg) {
        ASSERT_TRUE(QTest::qWaitFor([dlg] { return !dlg->Listing(); }, kWaitMs));
        EXPECT_TRUE(dlg->optSelectedFiles->isChecked());
        EXPECT_TRUE(dlg->chkPaths->isChecked());
        EXPECT_EQ(dlg->grpZipFile->title(), " Contents of pack.zip (3 files) ");
        EXPECT_EQ(dlg->FilesToExtract(), QStringList{});
        dlg->cmdCancel->click();
    });
    main.actUnzip->trigger();
}

// The list's context menu packs a selection and unpacks an archive through the same dialogs.
TEST_F(ZipForms, ContextMenuCreatesAndExtracts)
{
    dir.addFile("src/a.txt", "alpha");
    dir.addFile("src/sub/b.txt", "beta");
    dir.addFolder("out");
    browse(dir.filePath("src"));
    select({"a.txt", "sub"});

    QStringList captions;
    QString choose;
    shellctl::SetShellMenuChooser([&](QMenu* menu) {
        captions.clear();
        int chosen = 0;
        for (QAction* a : menu->actions()) {
            captions << a->text();
            if (a->text() == choose)
                chosen = a->data().toInt();
        }
        return chosen;
    });
    // A right click on the last selected item, as the view receives it.
    const auto rightClick = [&] {
        QAbstractItemView* view = child()->List1->CurrentView();
        const QPoint at = view->visualRect(view->currentIndex()).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &click);
    };

    choose = "Create &Zip File...";
    auto watch = OnModal<TfrmZip>([&](TfrmZip* dlg) {
        QStringList listed;
        for (int i = 0; i < dlg->lstFiles->count(); ++i)
            listed << dlg->lstFiles->item(i)->text();
        // In the list's order: folders first.
        EXPECT_EQ(listed, (QStringList{"sub (Folder)", "a.txt"}));
        dlg->txtZipFile->setEditText("pack.zip");
        dlg->chkSubdirs->setChecked(true);
        dlg->chkPaths->setChecked(true);
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
    });
    rightClick();
    EXPECT_FALSE(captions.contains("E&xtract...")) << captions.join('|').toStdString();
    EXPECT_EQ(last.text, "");
    // A bare name goes beside the packed items.
    const QString archive = dir.filePath("src/pack.zip");
    ASSERT_TRUE(QFile::exists(archive));
    EXPECT_EQ(Tool("unzip", {"-Z1", archive}).split('\n', Qt::SkipEmptyParts), (QStringList{"sub/b.txt", "a.txt"}));

    select({"pack.zip"});
    choose = "E&xtract...";
    auto watchUnzip = OnModal<TfrmUnzip>([&](TfrmUnzip* dlg) {
        ASSERT_TRUE(QTest::qWaitFor([dlg] { return !dlg->Listing(); }, kWaitMs));
        EXPECT_EQ(dlg->windowTitle(), " Extract From Zip File - pack.zip ");
        dlg->treeDest->SelectPath(dir.filePath("out"));
        QTest::mouseClick(dlg->cmdExtract, Qt::LeftButton);
    });
    rightClick();
    EXPECT_TRUE(captions.contains("Create &Zip File..."));
    EXPECT_EQ(last.text, "");
    EXPECT_EQ(test::ReadBytes(dir.filePath("out/sub/b.txt")), "beta");
}

// The extract dialog on the last part of a set on media: the questions are answered OK and the
// set's entries land in the destination.
TEST_F(ZipForms, UnzipOfASpannedSetOnMedia)
{
    dir.addFile("src/big.bin", test::Noise(150'000, 9));
    dir.addFile("src/small.txt", "small");
    dir.addFolder("media");
    dir.addFolder("out");
    const QString media = dir.filePath("media");
    {
        zip::TZipComponent z;
        z.Unattended = true;
        z.SpanVolumeInfo.removable = [](const QString&) { return false; };
        z.MaxVolumeSize = 70'000;
        z.SetZipFilename(media + "/set.zip");
        z.FSpecArgs = QStringList{dir.filePath("src/*.*")};
        z.AddOptions = zip::AddDiskSpan;
        z.Add();
        ASSERT_GT(z.SuccessCount(), 0) << z.Message().toStdString();
    }
    ASSERT_TRUE(QFile::exists(media + "/set003.zip"));
    zip::SetRemovableCheckForTests([media](const QString& folder) { return folder == media; });
    app::SetMsgBoxRecorder(&last, app::IDOK);
    browse(media);
    select({"set003.zip"});
    auto watch = OnModal<TfrmUnzip>([&](TfrmUnzip* dlg) {
        ASSERT_TRUE(QTest::qWaitFor([dlg] { return !dlg->Listing(); }, kWaitMs));
        EXPECT_EQ(dlg->grpZipFile->title(), " Contents of set003.zip (2 files) ");
        dlg->treeDest->SelectPath(dir.filePath("out"));
        QTest::mouseClick(dlg->cmdExtract, Qt::LeftButton);
    });
    main.actUnzip->trigger();
    zip::SetRemovableCheckForTests(nullptr);
    EXPECT_TRUE(last.text.startsWith("Please insert disk volume 3 of 3\nin drive: ")) << last.text.toStdString();
    EXPECT_EQ(test::ReadBytes(dir.filePath("out/big.bin")), test::Noise(150'000, 9));
    EXPECT_EQ(test::ReadBytes(dir.filePath("out/small.txt")), "small");
}

// Spanning onto a medium (a folder the test calls removable) asks for the first one in a message
// box; Cancel leaves nothing behind.
TEST_F(ZipForms, SpanningAsksForTheFirstMedium)
{
    dir.addFile("src/big.bin", test::Noise(2'500'000, 6));
    dir.addFolder("media");
    const QString media = dir.filePath("media");
    zip::SetRemovableCheckForTests([media](const QString& folder) { return folder == media; });
    app::SetMsgBoxRecorder(&last, app::IDCANCEL);
    browse(dir.filePath("src"));
    select({"big.bin"});
    auto watch = OnModal<TfrmZip>([&](TfrmZip* dlg) {
        dlg->txtZipFile->setEditText(media + "/backup.zip");
        QTest::mouseClick(dlg->chkSpan, Qt::LeftButton);
        EXPECT_TRUE(dlg->txtMaxVolume->isEnabled());
        dlg->txtMaxVolume->setValue(1);
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
    });
    list()->setFocus();
    main.actZip->trigger();
    zip::SetRemovableCheckForTests(nullptr);
    EXPECT_TRUE(last.text.startsWith("Please insert disk volume 1 of 3\nin drive: /")) << last.text.toStdString();
    EXPECT_EQ(last.style & 0x0F, unsigned(app::MB_OKCANCEL));
    EXPECT_TRUE(QDir(media).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

// A password of blanks encrypts nothing; Update or Freshen of an archive not there yet creates it.
TEST_F(ZipForms, BlankPasswordAndActionsOnANewArchive)
{
    dir.addFile("src/a.txt", "alpha");
    browse(dir.filePath("src"));
    select({"a.txt"});
    struct Case {
        const char* archive;
        const char* password;
        int action;  // 0 Add, 1 Freshen, 2 Update
    };
    const Case cases[] = {{"blank.zip", "   ", 0}, {"update.zip", "", 2}, {"freshen.zip", "", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        auto watch = OnModal<TfrmZip>([&](TfrmZip* dlg) {
            dlg->txtZipFile->setEditText(dir.filePath(c.archive));
            dlg->txtPassword->setText(c.password);
            QRadioButton* actions[] = {dlg->optAdd, dlg->optFreshen, dlg->optUpdate};
            actions[c.action]->setChecked(true);
            QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
        });
        list()->setFocus();
        main.actZip->trigger();
        const QString archive = dir.filePath(c.archive);
        zip::TZipComponent listing;
        listing.SetZipFilename(archive);
        ASSERT_EQ(listing.EntryCount(), 1);
        EXPECT_FALSE(listing.DirEntries().front().IsEncrypted());
    }
}

// A damaged entry fails the test pass: nothing is extracted.
TEST_F(ZipForms, TestPassStopsADamagedArchive)
{
    dir.addFile("in/good.txt", "fine");
    dir.addFile("in/bad.txt", QByteArray(2000, 'x'));
    ASSERT_EQ(test::runShell("cd '" + dir.filePath("in") + "' && zip -q -0 ../broken.zip good.txt bad.txt"), 0);
    QByteArray bytes = test::ReadBytes(dir.filePath("broken.zip"));
    const qsizetype at = bytes.indexOf(QByteArray(100, 'x'));
    ASSERT_GT(at, 0);
    bytes[at + 50] = 'y';
    test::WriteBytes(dir.filePath("broken.zip"), bytes);
    dir.addFolder("out");
    browse(dir.path());
    select({"broken.zip"});
    auto watch = OnModal<TfrmUnzip>([&](TfrmUnzip* dlg) {
        ASSERT_TRUE(QTest::qWaitFor([dlg] { return !dlg->Listing(); }, kWaitMs));
        dlg->optAllFiles->setChecked(true);
        dlg->treeDest->SelectPath(dir.filePath("out"));
        QTest::mouseClick(dlg->cmdExtract, Qt::LeftButton);
    });
    main.actUnzip->trigger();
    EXPECT_EQ(last.text, "Zip file fails integrity check - cannot extract");
    EXPECT_EQ(last.caption, "Zip Error");
    EXPECT_TRUE(QDir(dir.filePath("out")).isEmpty());
}

// A file that is not an archive never opens the dialog.
TEST_F(ZipForms, UnzipOfAFileThatIsNoArchive)
{
    dir.addFile("notes.zip", "just some text, long enough to be no archive at all");
    browse(dir.path());
    select({"notes.zip"});
    ASSERT_TRUE(main.actUnzip->isEnabled());
    bool opened = false;
    auto watch = OnModal<TfrmUnzip>([&](TfrmUnzip* dlg) {
        opened = true;
        dlg->cmdCancel->click();
    });
    main.actUnzip->trigger();
    EXPECT_EQ(last.text, "The selected file is not a Zip file");
    EXPECT_EQ(last.caption, "Zip Error");
    EXPECT_FALSE(opened);
}

TEST(ZipGridText, RatioRoundsHalvesToEven)
{
    struct Case {
        quint64 uncompressed, compressed;
        const char* text;
    };
    const Case cases[] = {
        {1000, 400, "60% "}, {100, 112, "-12% "}, {0, 0, "0% "}, {0, 20, "0% "}, {200, 199, "0% "},
        {200, 197, "2% "},   {200, 195, "2% "},  {200, 203, "-2% "}, {3, 1, "67% "}, {~0ull, 0, "100% "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zip::ZipRatioText(c.uncompressed, c.compressed), c.text) << c.uncompressed << "/" << c.compressed;
}

// The preview's listing: rows, sorting, an empty archive, no archive, Print List and Unzip.
struct PreviewZip : ZipForms {
    preview::TfrmPreview* preview() const { return qobject_cast<preview::TfrmPreview*>(app::frmPreview.data()); }
    void SetUp() override
    {
        ZipForms::SetUp();
        main.actPreview->trigger();
        ASSERT_NE(preview(), nullptr);
    }
    void show(const QString& path)
    {
        preview()->PreviewFile(path, false, QFileInfo(path).size());
        ASSERT_TRUE(QTest::qWaitFor([this] { return !preview()->Loading(); }, kWaitMs));
    }
};

TEST_F(PreviewZip, GridRowsAndTheirOrder)
{
    zip::ZipDirEntry readme;
    readme.FileName = "docs/readme.txt";
    readme.UncompressedSize = 1000;
    readme.CompressedSize = 400;
    readme.DosDateTime = zip::QtToDosDateTime(QDateTime(QDate(2024, 3, 5), QTime(14, 30)));
    zip::ZipDirEntry empty;
    empty.FileName = "empty.dat";
    zip::ZipDirEntry grown;
    grown.FileName = "z/grown.bin";
    grown.UncompressedSize = 100;
    grown.CompressedSize = 112;
    zip::ZipDirEntry folder;
    folder.FileName = "docs/";
    preview::TfrmPreview* p = preview();
    p->ShowZipListing({readme, grown, empty, folder});
    QTableWidget* g = p->Grid1;
    EXPECT_EQ(p->GridMode, "Z");
    EXPECT_FALSE(g->isHidden());
    EXPECT_FALSE(p->toolZip->isHidden());
    QStringList header;
    for (int c = 0; c < g->columnCount(); ++c)
        header << g->horizontalHeaderItem(c)->text();
    EXPECT_EQ(header, (QStringList{"File Name", "Date", "Orig. Size", "Comp. Size", "Ratio", "Path"}));
    EXPECT_EQ(GridColumn(g, 0), (QStringList{"", "empty.dat", "grown.bin", "readme.txt"}));
    EXPECT_EQ(GridColumn(g, 2), (QStringList{"0", "0", "100", "1000"}));
    EXPECT_EQ(GridColumn(g, 3), (QStringList{"0", "0", "112", "400"}));
    EXPECT_EQ(GridColumn(g, 4), (QStringList{"0% ", "0% ", "-12% ", "60% "}));
    EXPECT_EQ(GridColumn(g, 5), (QStringList{"docs/", "", "z/", "docs/"}));
    EXPECT_EQ(g->item(3, 1)->text(), zip::ZipDateText(readme.DosDateTime));
    EXPECT_TRUE(g->item(3, 1)->text().contains("  "));
    EXPECT_TRUE(g->item(2, 4)->textAlignment() & Qt::AlignRight);
    EXPECT_EQ(g->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(g->horizontalHeader()->isSortIndicatorShown());
    // Sizes sort by value, not as text.
    QTest::mouseClick(g->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(g->horizontalHeader()->sectionViewportPosition(2) + 5, 5));
    EXPECT_EQ(GridColumn(g, 2), (QStringList{"0", "0", "100", "1000"}));
}

TEST_F(PreviewZip, RealArchivesEmptyArchivesAndNoArchives)
{
    dir.addFile("in/one.txt", "one");
    dir.addFile("in/two/three.txt", "three");
    ASSERT_EQ(test::runShell("cd '" + dir.filePath("in") + "' && zip -q -r ../real.zip ."), 0);
    test::RawArchive none;
    test::WriteBytes(dir.filePath("empty.zip"), test::BuildZip(none));
    dir.addFile("text.zip", "no archive here");

    show(dir.filePath("real.zip"));
    EXPECT_EQ(GridColumn(preview()->Grid1, 0), (QStringList{"", "one.txt", "three.txt"}));
    EXPECT_FALSE(preview()->toolZip->isHidden());
    for (const char* name : {"empty.zip", "text.zip"}) {
        SCOPED_TRACE(name);
        show(dir.filePath(name));
        EXPECT_FALSE(preview()->Grid1->isHidden());
        EXPECT_EQ(preview()->Grid1->rowCount(), 0);
        EXPECT_EQ(preview()->Grid1->columnCount(), 6);
    }
    EXPECT_EQ(last.text, "");
}

TEST_F(PreviewZip, PrintListAndUnzipButton)
{
    dir.addFile("in/printed-entry.txt", "x");
    ASSERT_EQ(test::runShell("cd '" + dir.filePath("in") + "' && zip -q ../a.zip printed-entry.txt"), 0);
    const QString archive = dir.filePath("a.zip");
    show(archive);
    preview::TfrmPreview* p = preview();
    const QString pdf = dir.filePath("list.pdf");
    p->Printer().setOutputFormat(QPrinter::PdfFormat);
    p->Printer().setOutputFileName(pdf);
    auto watch = OnModal<QPrintDialog>([](QPrintDialog* d) { d->accept(); });
    QTest::mouseClick(p->cmdPrintZip, Qt::LeftButton);
    const QString printed = Tool("pdftotext", {pdf, "-"});
    EXPECT_TRUE(printed.contains("Contents of " + archive)) << printed.toStdString();
    EXPECT_TRUE(printed.contains("printed-entry.txt"));
    EXPECT_TRUE(printed.contains("Comp. Size"));
    EXPECT_TRUE(printed.contains("Page 1/1"));

    QString opened;
    ASSERT_NE(zip::frmUnzip, nullptr);
    ASSERT_TRUE(p->cmdUnzip->isVisible());
    auto watchUnzip = OnModal<TfrmUnzip>([&](TfrmUnzip* dlg) {
        ASSERT_TRUE(QTest::qWaitFor([dlg] { return !dlg->Listing(); }, kWaitMs));
        opened = dlg->ArchivePath();
        EXPECT_EQ(dlg->Grid1->rowCount(), 1);
        dlg->cmdCancel->click();
    });
    QTest::mouseClick(p->cmdUnzip, Qt::LeftButton);
    EXPECT_EQ(opened, archive);
    EXPECT_TRUE(zip::frmUnzip->LaunchedFromPreview);
}
