#include "app/Globals.h"
#include "app/Mainform.h"
#include "core/Job.h"
#include "explorer/Child.h"
#include "explorer/Options.h"
#include "graphics/Convert.h"
#include "imaging/view/ImageView.h"
#include "platform/Registry.h"
#include "preview/Preview.h"
#include "settings/PFormSettings.h"
#include "shellctl/ShellControls.h"
#include "tests/support/StallFs.h"
#include "tests/support/ListTexts.h"
#include "tests/support/PreviewWindowFixture.h"
#include "tests/support/TempDir.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrintDialog>
#include <QProcess>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTreeWidget>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

// Texts in failure messages as text.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

using namespace corvane;
using corvane::preview::TfrmPreview;

namespace {

constexpr int kWaitMs = 20000;

struct Preview : test::PreviewWindowFixture {
    explorer::TfrmChild* child() const { return main.Explorers().front(); }
    // Waits until the load that the last selection started has ended.
    bool settled() const
    {
        return QTest::qWaitFor([this] { return !preview()->Loading(); }, kWaitMs);
    }
    void show(const QString& name, bool folder = false)
    {
        const QString path = dir.filePath(name);
        preview()->PreviewFile(path, folder, QFileInfo(path).size());
        ASSERT_TRUE(settled());
    }
    // What the window shows: its visible views and toolbars by name.
    QStringList shown() const
    {
        TfrmPreview* p = preview();
        QStringList out;
        const std::pair<QWidget*, const char*> parts[] = {
            {p->RichEdit1, "RichEdit1"}, {p->Image1, "Image1"}, {p->Grid1, "Grid1"}, {p->WebBrowser1, "WebBrowser1"},
            {p->pnlMedia, "pnlMedia"}, {p->toolGraphics, "toolGraphics"}, {p->toolText, "toolText"},
            {p->toolZip, "toolZip"}, {p->toolMedia, "toolMedia"}};
        for (auto [w, name] : parts) {
            if (!w->isHidden())
                out << QString::fromLatin1(name);
        }
        return out;
    }
    void activate()
    {
        QApplication::setActiveWindow(&main);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    }
    QRect rowRect(const QString& name) const
    {
        shellctl::TShellList* list = child()->List1;
        QAbstractItemView* view = list->CurrentView();
        for (int i = 0; i < list->Count(); ++i) {
            if (list->DataOfIndex(i)->FileName() == name)
                return view->visualRect(view->model()->index(i, 0));
        }
        return {};
    }
    void click(const QString& name)
    {
        const QRect r = rowRect(name);
        ASSERT_TRUE(r.isValid()) << name.toStdString();
        QTest::mouseClick(child()->List1->CurrentView()->viewport(), Qt::LeftButton, {}, r.center());
        ASSERT_TRUE(settled());
    }
};

const QStringList kText{"RichEdit1", "toolText"};
const QStringList kPicture{"Image1", "toolGraphics"};
const QStringList kNothing{};
const QStringList kZip{"Grid1", "toolZip"};
const QStringList kMedia{"pnlMedia", "toolMedia"};

} // namespace

// The first row of the table that applies, for sizes below, at and above a limit of 1 KB.
TEST_F(Preview, DispatchByExtensionAndSize)
{
    main.Settings().SettingByName("MaxPreviewSize").SetAsInteger(1);
    preview::ReadPreviewLimit();
    ASSERT_EQ(preview::PreviewSizeLimit, 1024);
    struct Case {
        const char* name;
        QStringList below, at, above;
    };
    const Case cases[] = {
        {"notes.txt", kText, kNothing, kNothing},
        {"letter.RTF", kText, kNothing, kNothing},
        {"main.c", kText, kNothing, kNothing},
        {"photo.JPG", kPicture, kPicture, kPicture},
        {"photo.jpeg", kPicture, kPicture, kPicture},
        {"scan.pcx", kPicture, kPicture, kPicture},
        // A zip listing whatever its size; a file that is no archive lists the header alone.
        {"archive.ZiP", kZip, kZip, kZip},
        {"tool.exe", kText, kText, kText},
        {"lib.Dll", kText, kText, kText},
        {"readme", kText, kNothing, kNothing},
        {"x.jpe", kText, kNothing, kNothing},
        {"data.bin", kText, kNothing, kNothing},
        // Documents, sheets and PDF files that are none show nothing, and no later row takes them.
        // Web pages show once loaded: their sizes are checked with the web view's own tests.
        {"letter.doc", kNothing, kNothing, kNothing},
        {"letter.wpd", kNothing, kNothing, kNothing},
        {"letter.docx", kNothing, kNothing, kNothing},
        {"sheet.xls", kNothing, kNothing, kNothing},
        {"manual.pdf", kNothing, kNothing, kNothing},
        // The media bar and panel at once, whatever the size; the file is no sound, so the player
        // stays closed.
        {"song.mp3", kMedia, kMedia, kMedia},
    };
    for (const Case& c : cases) {
        for (auto [size, expected] : {std::pair{1023, &c.below}, {1024, &c.at}, {1025, &c.above}}) {
            const QString name = QString::number(size) + QLatin1Char('/') + QLatin1String(c.name);
            dir.addFile(name.toUtf8(), QByteArray(size, 'a'));
            show(name);
            EXPECT_EQ(shown(), *expected) << c.name << " " << size;
            EXPECT_EQ(preview()->windowTitle(), "Preview - " + dir.filePath(name)) << c.name;
            EXPECT_EQ(preview()->CurrentFile, dir.filePath(name));
        }
    }
    // A folder: nothing, and the last file stays the current one.
    dir.addFolder("folder.txt");
    show("folder.txt", true);
    EXPECT_EQ(shown(), kNothing);
    EXPECT_EQ(preview()->windowTitle(), "Preview");
    EXPECT_EQ(preview()->CurrentFile, dir.filePath("1025/song.mp3"));
}

// FIFOs and devices named like pictures or texts are never opened, and a file gone before it
// is read leaves the view empty: the load ends, nothing waits.
TEST_F(Preview, FifosDevicesAndVanishedFilesNeverBlock)
{
    for (const char* name : {"pipe.jpg", "pipe.txt", "pipe", "pipe.exe"})
        ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(name)).constData(), 0600), 0);
    dir.addSymlink("zero.txt", "/dev/zero");
    dir.addSymlink("zero.bmp", "/dev/zero");
    const std::pair<const char*, QStringList> cases[] = {
        {"pipe.jpg", kPicture}, {"pipe.txt", kNothing}, {"pipe", kNothing}, {"pipe.exe", kText},
        {"zero.txt", kNothing}, {"zero.bmp", kPicture}, {"gone.txt", kNothing}, {"gone.png", kPicture},
    };
    for (const auto& [name, expected] : cases) {
        preview()->PreviewFile(dir.filePath(name), false, 10);
        ASSERT_TRUE(settled()) << name;
        EXPECT_EQ(shown(), expected) << name;
    }
    EXPECT_EQ(preview()->RichEdit1->toPlainText(), "");
}

// Walking on: a file that is slow to come (a volume that stopped answering) never holds the
// window, and what it finally brings is dropped once another file was selected.
TEST_F(Preview, OnlyTheNewestSelectionIsShown)
{
    test::StallFs fs{"slow.txt", "slow.jpg"};
    ASSERT_TRUE(fs.ok());
    dir.addFile("fast.txt", "fast text");
    fs.Stall();
    for (const char* name : {"slow.txt", "slow.jpg"}) {
        preview()->PreviewFile(fs.path(name), false, 8);
        // A worker is the one waiting for the volume (the volume may hold the second behind the first).
        ASSERT_TRUE(QTest::qWaitFor([&] { return fs.Blocked() >= 1; }, kWaitMs));
        QTest::qWait(20);
        EXPECT_TRUE(preview()->Loading());
    }
    show("fast.txt");
    EXPECT_EQ(shown(), kText);
    const QTextDocument* fast = preview()->RichEdit1->document();
    fs.Release();
    ASSERT_TRUE(QTest::qWaitFor([] { return core::AbandonedJobCount() == 0; }, kWaitMs));
    QTest::qWait(50);
    EXPECT_EQ(shown(), kText);
    EXPECT_EQ(preview()->RichEdit1->document(), fast);
    EXPECT_EQ(preview()->RichEdit1->toPlainText(), "fast text");
    EXPECT_EQ(preview()->windowTitle(), "Preview - " + dir.filePath("fast.txt"));
    EXPECT_EQ(fs.GuardedTouches(), 0);
}

// The explorer window's hooks: selecting in the list previews, a folder clears, the focus moving
// from the list to the tree clears, and the list emptied for another folder hides the views.
TEST_F(Preview, FollowsTheListOfTheExplorerWindow)
{
    dir.addFile("a.txt", "alpha");
    dir.addFile("b.jpg", "not a picture");
    dir.addFolder("sub");
    dir.addFile("sub/c.txt", "gamma");
    activate();
    child()->Tree1->SelectPath(dir.path());
    ASSERT_EQ(child()->List1->Count(), 3);
    click("a.txt");
    EXPECT_EQ(preview()->windowTitle(), "Preview - " + dir.filePath("a.txt"));
    EXPECT_EQ(shown(), kText);
    QTest::keyClick(child()->List1->CurrentView(), Qt::Key_Down);
    ASSERT_TRUE(settled());
    EXPECT_EQ(preview()->windowTitle(), "Preview - " + dir.filePath("b.jpg"));
    EXPECT_EQ(shown(), kPicture);
    click("sub");
    EXPECT_EQ(preview()->windowTitle(), "Preview");
    EXPECT_EQ(shown(), kNothing);

    // Into the preview's own find box: the list keeps its place and the preview its file.
    click("a.txt");
    QTest::mouseClick(preview()->cboFind->lineEdit(), Qt::LeftButton);
    ASSERT_TRUE(preview()->cboFind->lineEdit()->hasFocus());
    EXPECT_EQ(shown(), kText);
    // Back to the list, then to the tree of the same window.
    QTest::mouseClick(child()->List1->CurrentView()->viewport(), Qt::LeftButton, {}, rowRect("a.txt").center());
    ASSERT_TRUE(settled());
    ASSERT_EQ(shown(), kText);
    // The selected node, clicked where the tree shows it (deep nodes reach past its right edge).
    QTreeWidget* tree = child()->Tree1;
    const QRect node = tree->visualItemRect(tree->currentItem());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(qMin(node.center().x(), tree->viewport()->width() - 4), node.center().y()));
    ASSERT_TRUE(tree->hasFocus());
    EXPECT_EQ(shown(), kNothing);
    EXPECT_EQ(preview()->windowTitle(), "Preview");

    // Shift+Tab from the list moves the focus to the tree as well.
    click("b.jpg");
    ASSERT_EQ(shown(), kPicture);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_FALSE(child()->List1->CurrentView()->hasFocus());
    EXPECT_EQ(shown(), kNothing);

    // Another folder empties the list: the file views go.
    click("b.jpg");
    click("a.txt");
    ASSERT_EQ(shown(), kText);
    child()->Tree1->SelectPath(dir.filePath("sub"));
    EXPECT_TRUE(preview()->RichEdit1->isHidden());
    EXPECT_EQ(preview()->windowTitle(), "Preview");
}

// F12 opens and closes the one preview window with its check mark; the close box clears the mark
// too; the window comes back at the next start when it was open at exit.
TEST(PreviewWindow, F12CheckMarkCloseBoxAndRestart)
{
    QTemporaryDir store;
    platform::setCurrentUserHive(platform::Hive::open(store.filePath("registry.sqlite3")));
    {
        app::TfrmMain first;
        first.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&first));
        EXPECT_FALSE(first.actPreview->isChecked());
        EXPECT_TRUE(first.actPreview->isEnabled());
        QTest::keyClick(&first, Qt::Key_F12);
        ASSERT_TRUE(app::frmPreview);
        EXPECT_TRUE(first.actPreview->isChecked());
        EXPECT_EQ(first.MdiArea()->subWindowList().size(), 2);
        EXPECT_EQ(first.ExplorerCount(), 1);
        EXPECT_EQ(app::frmPreview->windowTitle(), "Preview");
        QTest::keyClick(&first, Qt::Key_F12);
        EXPECT_FALSE(app::frmPreview);
        EXPECT_FALSE(first.actPreview->isChecked());
        ASSERT_TRUE(QTest::qWaitFor([&] { return first.MdiArea()->subWindowList().size() == 1; }, kWaitMs));
        // Closed and opened again before the old one is gone: still one window, and checked.
        first.actPreview->trigger();
        first.actPreview->trigger();
        first.actPreview->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return first.MdiArea()->subWindowList().size() == 2; }, kWaitMs));
        QTest::qWait(20);
        EXPECT_EQ(first.MdiArea()->subWindowList().size(), 2);
        EXPECT_TRUE(first.actPreview->isChecked());
        // The close box.
        qobject_cast<QMdiSubWindow*>(app::frmPreview->parentWidget())->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !app::frmPreview; }, kWaitMs));
        EXPECT_FALSE(first.actPreview->isChecked());
        first.actPreview->trigger();
        first.close();
    }
    {
        app::TfrmMain second;
        second.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
        ASSERT_TRUE(app::frmPreview);
        EXPECT_TRUE(second.actPreview->isChecked());
        EXPECT_EQ(second.ExplorerCount(), 1);
        second.actPreview->trigger();
        second.close();
    }
    {
        app::TfrmMain third;
        third.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&third));
        EXPECT_FALSE(app::frmPreview);
        EXPECT_FALSE(third.actPreview->isChecked());
    }
    platform::setCurrentUserHive(platform::Hive::inMemory());
}

// The limit is one value for the program: the options dialog sets it with no preview window open,
// and a stored 0 becomes 1000.
TEST(PreviewWindow, LimitHoldsWithoutAPreviewWindow)
{
    platform::setCurrentUserHive(platform::Hive::inMemory());
    app::TfrmMain main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    ASSERT_FALSE(app::frmPreview);
    explorer::frmOptions->FormActivate();
    explorer::frmOptions->txtMaxPreview->setValue(200);
    explorer::frmOptions->cmdSaveClick();
    EXPECT_EQ(preview::PreviewSizeLimit, 200 * 1024);
    main.Settings().SettingByName("MaxPreviewSize").SetAsInteger(0);
    main.actPreview->trigger();
    EXPECT_EQ(main.Settings().SettingByName("MaxPreviewSize").AsInteger(), 1000);
    EXPECT_EQ(preview::PreviewSizeLimit, 1000 * 1024);
}

// The toolbars' controls and their first values.
TEST_F(Preview, ToolbarsAndViews)
{
    TfrmPreview* p = preview();
    QStringList zoom;
    for (int i = 0; i < p->cboZoom->count(); ++i)
        zoom << p->cboZoom->itemText(i);
    EXPECT_EQ(zoom, (QStringList{"Fit", "25", "50", "75", "100", "150", "200", "300", "400", "500"}));
    EXPECT_EQ(p->cboZoom->currentText(), "Fit");
    EXPECT_FALSE(p->cboZoom->isEditable());
    EXPECT_EQ(p->spinWidth->minimum(), 1);
    EXPECT_EQ(p->spinWidth->maximum(), 10);
    EXPECT_EQ(p->spinWidth->singleStep(), 0.5);
    EXPECT_EQ(p->spinWidth->decimals(), 1);
    EXPECT_EQ(p->spinWidth->value(), 3);
    EXPECT_EQ(p->cmdGraphicPrint->text(), "Print");
    EXPECT_EQ(p->cmdConvert->text(), "Convert");
    EXPECT_TRUE(p->cmdConvert->isEnabled());
    EXPECT_TRUE(p->cboFind->isEditable());
    EXPECT_EQ(p->Button1->text(), "Fi&nd");
    EXPECT_EQ(p->cmdTextPrint->text(), "&Print");
    EXPECT_EQ(p->cmdPrintZip->text(), "&Print List");
    EXPECT_EQ(p->cmdUnzip->text(), "&Unzip");
    EXPECT_TRUE(p->RichEdit1->isReadOnly());
    EXPECT_EQ(p->RichEdit1->font().family(), QFont("MS Sans Serif").family());
    EXPECT_EQ(p->RichEdit1->font().pointSize(), 8);
    EXPECT_EQ(p->objectName(), "frmPreview");
}

// Find from the end of the selection, ignoring case, without wrapping; the history takes a text
// only when it differs from its newest entry.
TEST_F(Preview, FindAndItsHistory)
{
    TfrmPreview* p = preview();
    activate();
    p->RichEdit1->setPlainText("one ABC two");
    p->RichEdit1->show();
    p->toolText->show();
    QTest::keyClicks(p->cboFind->lineEdit(), "abc");
    QTest::mouseClick(p->Button1, Qt::LeftButton);
    EXPECT_EQ(p->RichEdit1->textCursor().selectedText(), "ABC");
    EXPECT_EQ(p->RichEdit1->textCursor().selectionStart(), 4);
    EXPECT_TRUE(p->RichEdit1->hasFocus());
    QTest::mouseClick(p->Button1, Qt::LeftButton);
    EXPECT_EQ(p->RichEdit1->textCursor().selectionStart(), 4);
    EXPECT_EQ(p->RichEdit1->textCursor().selectedText(), "ABC");
    EXPECT_EQ(p->cboFind->count(), 1);
    // Enter with the newest entry's text adds nothing; another text goes on top.
    QTest::keyClick(p->cboFind->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(p->cboFind->count(), 1);
    p->cboFind->lineEdit()->selectAll();
    QTest::keyClicks(p->cboFind->lineEdit(), "one");
    QTest::keyClick(p->cboFind->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(p->cboFind->count(), 2);
    EXPECT_EQ(p->cboFind->itemText(0), "one");
    EXPECT_EQ(p->cboFind->itemText(1), "abc");
    EXPECT_EQ(p->cboFind->currentText(), "one");
    // Nothing after the selection: it stays where it was.
    EXPECT_EQ(p->RichEdit1->textCursor().selectedText(), "ABC");
}

// The spreadsheet grid is searched column by column; the search starts over after the last
// match, and from the start again when the text changed.
TEST_F(Preview, FindInTheGrid)
{
    TfrmPreview* p = preview();
    p->Grid1->setRowCount(2);
    p->Grid1->setColumnCount(2);
    const char* cells[2][2] = {{"x", "Key b"}, {"key a", "y"}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            p->Grid1->setItem(r, c, new QTableWidgetItem(QString::fromLatin1(cells[r][c])));
    p->Grid1->show();
    p->cboFind->setEditText("KEY");
    const std::pair<int, int> expected[] = {{1, 0}, {0, 1}};
    for (auto [row, column] : expected) {
        p->cmdFindClick();
        EXPECT_EQ(p->Grid1->currentRow(), row);
        EXPECT_EQ(p->Grid1->currentColumn(), column);
    }
    p->cmdFindClick();
    EXPECT_TRUE(p->Grid1->selectedItems().isEmpty());
    p->cmdFindClick();
    EXPECT_EQ(p->Grid1->currentRow(), 1);
    EXPECT_EQ(p->Grid1->currentColumn(), 0);
    p->cboFind->setEditText("X");
    p->cmdFindClick();
    EXPECT_EQ(p->Grid1->currentRow(), 0);
    EXPECT_EQ(p->Grid1->currentColumn(), 0);
}

// Print asks for a printer and prints the text view as one job; here the printer writes a PDF.
TEST_F(Preview, TextPrintsToThePrinterChosen)
{
    TfrmPreview* p = preview();
    p->RichEdit1->setPlainText("Printed from the preview\nsecond line");
    p->RichEdit1->show();
    p->toolText->show();
    const QString pdf = dir.filePath("out.pdf");
    p->Printer().setOutputFormat(QPrinter::PdfFormat);
    p->Printer().setOutputFileName(pdf);
    bool asked = false;
    QTimer::singleShot(0, [&asked] {
        if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
            asked = true;
            dialog->accept();
        }
    });
    QTest::mouseClick(p->cmdTextPrint, Qt::LeftButton);
    ASSERT_TRUE(asked);
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(kWaitMs));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains("Printed from the preview")) << printed.toStdString();
    EXPECT_TRUE(printed.contains("second line"));

    // Cancelled: nothing is printed.
    QFile::remove(pdf);
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    QTest::mouseClick(p->cmdTextPrint, Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(pdf));
}

// Converted documents go to a private folder of the user's own; a link planted in the file's
// place is never followed.
TEST(PreviewWindow, TempFileIsPrivate)
{
    const QString path = preview::PreviewTempFilePath();
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(path.endsWith("/corvane/corvane.tmp"));
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(QFileInfo(path).path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    test::TempDir elsewhere;
    elsewhere.addFile("target", "keep");
    QFile::remove(path);
    ASSERT_TRUE(QFile::link(elsewhere.filePath("target"), path));
    EXPECT_EQ(preview::OpenPreviewTempFile(), -1);
    QFile target(elsewhere.filePath("target"));
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "keep");
    QFile::remove(path);
    const int fd = preview::OpenPreviewTempFile();
    EXPECT_GE(fd, 0);
    ::close(fd);
}

// The zoom chosen stays from picture to picture, the size panel tells the picture's pixels, and a
// picture that cannot be read leaves the empty view, its toolbar and the last size in place.
TEST_F(Preview, PicturesKeepTheZoomAndShowTheirSize)
{
    TfrmPreview* p = preview();
    QImage wide(100, 50, QImage::Format_RGB32);
    wide.fill(Qt::red);
    ASSERT_TRUE(wide.save(dir.filePath("wide.PNG"), "PNG"));
    QImage tall(300, 400, QImage::Format_RGB32);
    tall.fill(Qt::blue);
    ASSERT_TRUE(tall.save(dir.filePath("tall.bmp"), "BMP"));
    dir.addFile("broken.gif", "GIF89a and then nothing");

    show("wide.PNG");
    EXPECT_EQ(shown(), kPicture);
    EXPECT_EQ(p->pnlImageSize->text(), "Size: 100 x 50");
    // Fit enlarges a small picture too.
    EXPECT_GT(p->Image1->Zoom(), 100);
    // "200" with the keyboard, as a user picks it.
    activate();
    p->cboZoom->setFocus();
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(p->cboZoom, Qt::Key_Down);
    ASSERT_EQ(p->cboZoom->currentText(), "200");
    EXPECT_EQ(p->Image1->Zoom(), 200);
    show("tall.bmp");
    EXPECT_EQ(p->Image1->Zoom(), 200);
    EXPECT_EQ(p->pnlImageSize->text(), "Size: 300 x 400");
    show("broken.gif");
    EXPECT_EQ(shown(), kPicture);
    EXPECT_TRUE(p->Image1->picture().isNull());
    EXPECT_EQ(p->pnlImageSize->text(), "Size: 300 x 400");
    // Back to Fit.
    show("tall.bmp");
    p->cboZoom->setFocus();
    QTest::keyClick(p->cboZoom, Qt::Key_Home);
    ASSERT_EQ(p->cboZoom->currentText(), "Fit");
    EXPECT_EQ(p->Image1->Zoom(), imaging::FitZoom({300, 400}, p->Image1->viewport()->size()));
}

// A large photo is decoded at the size the view needs; zooming in reads it again in more detail.
// Convert opens the conversion dialog for the previewed picture.
TEST_F(Preview, ConvertOpensTheConversionDialogForThePicture)
{
    TfrmPreview* p = preview();
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(dir.filePath("red.png"), "PNG"));
    show("red.png");
    ASSERT_TRUE(graphics::frmConvert);
    bool launchedFromPreview = false;
    QString file;
    QStringList listed;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return graphics::frmConvert->isVisible(); }, kWaitMs));
        launchedFromPreview = graphics::frmConvert->LaunchedFromPreview;
        file = graphics::frmConvert->CurrentFile;
        listed = test::ListTexts(graphics::frmConvert->lstFiles);
        graphics::frmConvert->reject();
    });
    QTest::mouseClick(p->cmdConvert, Qt::LeftButton);
    EXPECT_TRUE(launchedFromPreview);
    EXPECT_EQ(file, dir.filePath("red.png"));
    EXPECT_EQ(listed, QStringList{"red.png"});
    EXPECT_FALSE(graphics::frmConvert->LaunchedFromPreview);
}

TEST_F(Preview, LargePhotoComesReducedAndSharpensWhenZoomedIn)
{
    TfrmPreview* p = preview();
    QImage photo(4000, 3000, QImage::Format_RGB32);
    photo.fill(Qt::darkGreen);
    ASSERT_TRUE(photo.save(dir.filePath("photo.jpg"), "JPEG", 80));
    show("photo.jpg");
    EXPECT_EQ(p->pnlImageSize->text(), "Size: 4000 x 3000");
    EXPECT_LT(p->Image1->picture().image.width(), 4000);
    activate();
    p->cboZoom->setFocus();
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(p->cboZoom, Qt::Key_Down);
    ASSERT_EQ(p->cboZoom->currentText(), "100");
    ASSERT_TRUE(QTest::qWaitFor([p] { return p->Image1->picture().image.width() == 4000; }, kWaitMs));
    EXPECT_EQ(p->Image1->Zoom(), 100);
}

// Print prints the picture as wide as the print width says.
TEST_F(Preview, PicturePrintsAtTheChosenWidth)
{
    TfrmPreview* p = preview();
    QImage picture(400, 200, QImage::Format_RGB32);
    picture.fill(Qt::yellow);
    ASSERT_TRUE(picture.save(dir.filePath("print.png"), "PNG"));
    show("print.png");
    p->spinWidth->setValue(4);
    const QString pdf = dir.filePath("picture.pdf");
    p->Printer().setOutputFormat(QPrinter::PdfFormat);
    p->Printer().setOutputFileName(pdf);
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    QTest::mouseClick(p->cmdGraphicPrint, Qt::LeftButton);
    QProcess images;
    images.start("pdfimages", {"-list", pdf});
    ASSERT_TRUE(images.waitForFinished(kWaitMs));
    // One picture, 100 pixels to the inch: 400 pixels over 4 inches.
    const QStringList lines = QString::fromUtf8(images.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
    const QStringList fields = lines[2].simplified().split(' ');
    ASSERT_GE(fields.size(), 14);
    EXPECT_EQ(fields[12], "100");
    EXPECT_EQ(fields[13], "100");
}

// The texts as the readers give them: plain text, rich text into its document, a program's version.
TEST_F(Preview, TextsRichTextsAndProgramVersions)
{
    TfrmPreview* p = preview();
    dir.addFile("plain.txt", "caf\xc3\xa9 au lait\r\nsecond");
    dir.addFile("styled.rtf", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}{\\colortbl;\\red255\\green0\\blue0;}"
                              "\\f0 plain \\b bold\\b0  \\cf1 red\\cf0  \\f1 mono\\par}");
    dir.addFile("odd.bin", QByteArray("A\tB\0\r\nC", 7));
    show("plain.txt");
    EXPECT_EQ(p->RichEdit1->toPlainText(), QString::fromUtf8("café au lait\nsecond"));
    show("styled.rtf");
    EXPECT_TRUE(p->RichEdit1->toPlainText().startsWith("plain bold red mono"));
    QTextCursor at(p->RichEdit1->document());
    at.setPosition(8);
    EXPECT_TRUE(at.charFormat().font().bold());
    at.setPosition(13);
    EXPECT_EQ(at.charFormat().foreground().color(), QColor(Qt::red));
    show("odd.bin");
    EXPECT_EQ(p->RichEdit1->toPlainText(), "AB\nC  ");

    const QString rc = dir.filePath("v.rc"), c = dir.filePath("v.c"), obj = dir.filePath("v.o");
    dir.addFile("v.c", "int main(void) { return 0; }\n");
    dir.addFile("v.rc", "1 VERSIONINFO\nBEGIN\n BLOCK \"StringFileInfo\"\n BEGIN\n  BLOCK \"040904E4\"\n  BEGIN\n"
                        "   VALUE \"CompanyName\", \"Corvane Test Company\"\n   VALUE \"FileDescription\", \"Preview test\"\n"
                        "   VALUE \"ProductVersion\", \"3.1\"\n  END\n END\nEND\n");
    ASSERT_EQ(test::runShell("x86_64-w64-mingw32-windres " + rc + " -O coff -o " + obj), 0);
    ASSERT_EQ(test::runShell("x86_64-w64-mingw32-gcc " + c + " " + obj + " -o " + dir.filePath("tool.EXE")), 0);
    show("tool.EXE");
    EXPECT_EQ(shown(), kText);
    const QString version = p->RichEdit1->toPlainText();
    EXPECT_TRUE(version.startsWith("Company Name: Corvane Test Company\nFile Description: Preview test\n")) << version.toStdString();
    EXPECT_TRUE(version.contains("Product Version: 3.1"));
}

// The options dialog hands its preview font to the open window: text view and grid alike.
TEST_F(Preview, OptionsApplyThePreviewFont)
{
    settings::TPSettings& store = main.Settings();
    store.SettingByName("PreviewFontName").SetAsString("DejaVu Serif");
    store.SettingByName("PreviewFontSize").SetAsInteger(14);
    store.SettingByName("PreviewFontBold").SetAsBoolean(true);
    store.SettingByName("PreviewFontColor").SetAsInteger(0x0000C0);
    explorer::frmOptions->FormActivate();
    explorer::frmOptions->cmdSaveClick();
    TfrmPreview* p = preview();
    for (QWidget* w : {static_cast<QWidget*>(p->RichEdit1), static_cast<QWidget*>(p->Grid1)}) {
        EXPECT_EQ(w->font().family(), "DejaVu Serif");
        EXPECT_EQ(w->font().pointSize(), 14);
        EXPECT_TRUE(w->font().bold());
    }
    EXPECT_EQ(p->RichEdit1->palette().color(QPalette::Text), QColor(0xC0, 0, 0));
    dir.addFile("a.txt", "text");
    show("a.txt");
    EXPECT_EQ(p->RichEdit1->document()->defaultFont().family(), "DejaVu Serif");
}
