#include "app/Globals.h"
#include "app/Mainform.h"
#include "app/Utility.h"
#include "imaging/view/ImageView.h"
#include "platform/Registry.h"
#include "preview/Preview.h"
#include "tests/preview_sheet/SheetFiles.h"
#include "tests/support/PreviewWindowFixture.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfView>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace corvane;
using corvane::preview::TfrmPreview;

namespace {

constexpr int kWaitMs = 60000;

struct SheetPreview : test::PreviewWindowFixture {
    void show(const QString& path)
    {
        preview()->PreviewFile(path, false, QFileInfo(path).size());
        ASSERT_TRUE(QTest::qWaitFor([this] { return !preview()->Loading(); }, kWaitMs));
    }
    // A copy of a converted sheet under a name of the test's own.
    QString sheet(const QString& format, const QString& name)
    {
        const QString made = test::ConvertedSheet(format);
        const QString path = dir.filePath(name);
        return !made.isEmpty() && QFile::copy(made, path) ? path : QString();
    }
    QString pdf(const QString& name, int pages)
    {
        const QString path = dir.filePath(name);
        QPdfWriter writer(path);
        QPainter painter(&writer);
        for (int p = 1; p <= pages; ++p) {
            if (p > 1)
                writer.newPage();
            painter.drawText(QPointF(200, 400), QStringLiteral("Page text %1").arg(p));
        }
        return path;
    }
    QStringList shown() const
    {
        TfrmPreview* p = preview();
        QStringList out;
        const std::pair<QWidget*, const char*> parts[] = {
            {p->RichEdit1, "RichEdit1"}, {p->Image1, "Image1"},   {p->Grid1, "Grid1"},
            {p->PdfViewer, "PdfViewer"}, {p->pnlMedia, "pnlMedia"}, {p->toolGraphics, "toolGraphics"},
            {p->toolText, "toolText"},   {p->toolZip, "toolZip"},   {p->toolMedia, "toolMedia"}};
        for (auto [w, name] : parts) {
            if (w && !w->isHidden())
                out << QString::fromLatin1(name);
        }
        return out;
    }
    QString printed(const std::function<void()>& print)
    {
        const QString out = dir.filePath(QStringLiteral("printed.pdf"));
        preview()->Printer().setOutputFormat(QPrinter::PdfFormat);
        preview()->Printer().setOutputFileName(out);
        QTimer::singleShot(0, [] {
            if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget()))
                dialog->accept();
        });
        print();
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), out, QStringLiteral("-")});
        return text.waitForFinished(kWaitMs) ? QString::fromUtf8(text.readAllStandardOutput()) : QString();
    }
};

const QStringList kSheet{"Grid1", "toolText"};

} // namespace

// Each workbook format fills the grid: column letters A … AD over 30 columns, the row numbers
// in a fixed column 60 pixels wide, no sort indicator, one cell selected at a time.
TEST_F(SheetPreview, WorkbooksFillTheGridUnderColumnLetters)
{
    TfrmPreview* p = preview();
    for (const char* format : {"xls", "xlsx", "ods"}) {
        SCOPED_TRACE(format);
        const QString path = sheet(QString::fromLatin1(format), QStringLiteral("Book.") + QString::fromLatin1(format).toUpper());
        ASSERT_FALSE(path.isEmpty());
        // What the grid showed before (a zip listing) leaves nothing behind.
        p->Grid1->setSortingEnabled(true);
        p->Grid1->verticalHeader()->hide();
        show(path);
        ASSERT_EQ(shown(), kSheet);
        EXPECT_EQ(p->GridMode, "S");
        ASSERT_EQ(p->Grid1->columnCount(), 30);
        ASSERT_EQ(p->Grid1->rowCount(), 4);
        QStringList letters;
        for (int c = 0; c < 30; ++c)
            letters << p->Grid1->horizontalHeaderItem(c)->text();
        EXPECT_EQ(letters.first(), "A");
        EXPECT_EQ(letters.mid(24), (QStringList{"Y", "Z", "AA", "AB", "AC", "AD"}));
        QStringList numbers;
        for (int r = 0; r < 4; ++r)
            numbers << p->Grid1->model()->headerData(r, Qt::Vertical).toString();
        EXPECT_EQ(numbers, (QStringList{"1", "2", "3", "4"}));
        EXPECT_TRUE(p->Grid1->verticalHeader()->isVisible());
        EXPECT_EQ(p->Grid1->verticalHeader()->width(), app::Scaled(60));
        EXPECT_FALSE(p->Grid1->horizontalHeader()->isSortIndicatorShown());
        EXPECT_FALSE(p->Grid1->isSortingEnabled());
        EXPECT_EQ(p->Grid1->selectionMode(), QAbstractItemView::SingleSelection);
        EXPECT_EQ(p->Grid1->selectionBehavior(), QAbstractItemView::SelectItems);
        EXPECT_EQ(p->Grid1->item(0, 0)->text(), "r1c1");
        EXPECT_EQ(p->Grid1->item(2, 29)->text(), "r3c30");
        EXPECT_TRUE(p->Grid1->item(3, 0)->textAlignment() & Qt::AlignRight);
        EXPECT_FALSE(p->Grid1->item(3, 3)->textAlignment() & Qt::AlignRight);
        EXPECT_EQ(p->windowTitle(), "Preview - " + path);
    }
}

// Find runs down each column from the left; the letters and row numbers are never matched; after
// the last match nothing is selected and the next search starts over; a new text starts at the top.
TEST_F(SheetPreview, FindGoesColumnByColumnAndStartsOver)
{
    TfrmPreview* p = preview();
    QApplication::setActiveWindow(&main);
    show(sheet(QStringLiteral("xls"), QStringLiteral("find.xls")));
    ASSERT_EQ(shown(), kSheet);
    // "c3" is in r1c3, r2c3, r3c3 (column C) and in r1c30 … r3c30 (column AD): column C first.
    QTest::keyClicks(p->cboFind->lineEdit(), "C3");
    const std::pair<int, int> expected[] = {{0, 2}, {1, 2}, {2, 2}, {0, 29}, {1, 29}, {2, 29}};
    for (auto [row, column] : expected) {
        QTest::mouseClick(p->Button1, Qt::LeftButton);
        EXPECT_EQ(p->Grid1->currentRow(), row);
        EXPECT_EQ(p->Grid1->currentColumn(), column);
        EXPECT_EQ(p->Grid1->selectedItems().size(), 1);
    }
    QTest::mouseClick(p->Button1, Qt::LeftButton);
    EXPECT_TRUE(p->Grid1->selectedItems().isEmpty());
    QTest::keyClick(p->cboFind->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(p->Grid1->currentRow(), 0);
    EXPECT_EQ(p->Grid1->currentColumn(), 2);
    EXPECT_EQ(p->cboFind->count(), 1);
    // A header letter or row number alone matches nothing in the data.
    p->cboFind->lineEdit()->selectAll();
    QTest::keyClicks(p->cboFind->lineEdit(), "AD");
    QTest::mouseClick(p->Button1, Qt::LeftButton);
    EXPECT_TRUE(p->Grid1->selectedItems().isEmpty());
    EXPECT_EQ(p->cboFind->itemText(0), "AD");
    p->cboFind->lineEdit()->selectAll();
    QTest::keyClicks(p->cboFind->lineEdit(), "KEY");
    QTest::mouseClick(p->Button1, Qt::LeftButton);
    EXPECT_EQ(p->Grid1->currentRow(), 3);
    EXPECT_EQ(p->Grid1->currentColumn(), 3);
}

// A file FreeXL cannot read, or a damaged workbook, leaves the grid hidden; the next good one shows.
TEST_F(SheetPreview, DamagedWorkbooksLeaveTheGridHidden)
{
    QFile good(test::ConvertedSheet(QStringLiteral("xls")));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    dir.addFile("text.xls", "just some text");
    dir.addFile("cut.xls", bytes.left(1024));
    dir.addFile("cut.xlsx", "PK\x03\x04");
    dir.addFile("empty.ods", "");
    for (const char* name : {"text.xls", "cut.xls", "cut.xlsx", "empty.ods"}) {
        show(dir.filePath(QString::fromLatin1(name)));
        EXPECT_EQ(shown(), QStringList()) << name;
        EXPECT_EQ(preview()->windowTitle(), "Preview - " + dir.filePath(QString::fromLatin1(name)));
    }
    show(sheet(QStringLiteral("xls"), QStringLiteral("good.xls")));
    EXPECT_EQ(shown(), kSheet);
}

// A sheet of half a million cells goes into the grid a slice at a time: the window answers
// between the slices, and the last row arrives.
TEST_F(SheetPreview, LargeSheetsFillWithoutHoldingTheWindow)
{
    TfrmPreview* p = preview();
    QByteArray row = "<table:table-row table:number-rows-repeated=\"100000\">";
    for (int c = 0; c < 5; ++c)
        row += "<table:table-cell office:value-type=\"string\"><text:p>cell</text:p></table:table-cell>";
    row += "</table:table-row>";
    const QByteArray content = R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0">
<office:body><office:spreadsheet><table:table table:name="T">)" + row
        + "<table:table-row><table:table-cell><text:p>last</text:p></table:table-cell></table:table-row>"
        + "</table:table></office:spreadsheet></office:body></office:document-content>";
    dir.addFile("large.ods", test::ZipOf({{"content.xml", content}}));
    const QString path = dir.filePath("large.ods");
    p->PreviewFile(path, false, QFileInfo(path).size());
    ASSERT_TRUE(QTest::qWaitFor([p] { return p->Grid1->isVisible(); }, kWaitMs));
    EXPECT_TRUE(p->Loading());
    ASSERT_TRUE(QTest::qWaitFor([p] { return !p->Loading(); }, kWaitMs));
    ASSERT_EQ(p->Grid1->rowCount(), 100001);
    ASSERT_NE(p->Grid1->item(99999, 4), nullptr);
    ASSERT_NE(p->Grid1->item(100000, 0), nullptr);
    EXPECT_EQ(p->Grid1->item(100000, 0)->text(), "last");
    // Another selection while a sheet is still filling leaves nothing of it behind.
    p->PreviewFile(path, false, QFileInfo(path).size());
    ASSERT_TRUE(QTest::qWaitFor([p] { return p->Grid1->isVisible(); }, kWaitMs));
    p->PreviewFile(dir.path(), true, 0);
    EXPECT_FALSE(p->Loading());
    EXPECT_EQ(shown(), QStringList());
}

// Print puts the letters and row numbers on every page; columns beyond the page's width go on
// further pages rather than being shrunk or cut.
TEST_F(SheetPreview, PrintRepeatsHeadersAndContinuesWideSheets)
{
    TfrmPreview* p = preview();
    show(sheet(QStringLiteral("xls"), QStringLiteral("print.xls")));
    ASSERT_EQ(shown(), kSheet);
    const QString text = printed([p] { QTest::mouseClick(p->cmdTextPrint, Qt::LeftButton); });
    EXPECT_TRUE(text.contains("r1c1")) << text.toStdString();
    EXPECT_TRUE(text.contains("r3c30"));
    EXPECT_TRUE(text.contains("key in text"));
    EXPECT_TRUE(text.contains("AD"));
    const qsizetype pages = text.count(QLatin1Char('\f'));
    ASSERT_GE(pages, 2);
    EXPECT_TRUE(text.contains(QStringLiteral("Page 1/%1").arg(pages)));
    // Every page has the row numbers beside its part of the rows, and no title.
    for (const QString& page : text.split(QLatin1Char('\f'), Qt::SkipEmptyParts)) {
        if (page.trimmed().isEmpty())
            continue;
        EXPECT_TRUE(page.contains(QRegularExpression(QStringLiteral("\\b3\\s+r3c")))) << page.toStdString();
        EXPECT_FALSE(page.contains("Contents of"));
    }
}

// A PDF after a picture hides the picture and its toolbar; the viewer, made on first use, fills
// the window, shows every page one below the other at the window's width and scrolls.
TEST_F(SheetPreview, PdfAfterAPictureFillsTheWindow)
{
    TfrmPreview* p = preview();
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(dir.filePath("a.png")));
    show(dir.filePath("a.png"));
    ASSERT_EQ(shown(), (QStringList{"Image1", "toolGraphics"}));
    EXPECT_EQ(p->PdfViewer, nullptr);
    show(pdf(QStringLiteral("doc.PDF"), 3));
    ASSERT_EQ(shown(), QStringList{"PdfViewer"});
    auto* view = qobject_cast<QPdfView*>(p->PdfViewer);
    ASSERT_NE(view, nullptr);
    ASSERT_NE(view->document(), nullptr);
    EXPECT_EQ(view->document()->pageCount(), 3);
    EXPECT_EQ(view->pageMode(), QPdfView::PageMode::MultiPage);
    EXPECT_EQ(view->zoomMode(), QPdfView::ZoomMode::FitToWidth);
    EXPECT_EQ(view->geometry(), view->parentWidget()->rect());
    EXPECT_GT(view->verticalScrollBar()->maximum(), 0);
    // The same viewer shows the next PDF; another kind of file hides it.
    QWidget* first = p->PdfViewer;
    show(pdf(QStringLiteral("two.pdf"), 1));
    EXPECT_EQ(p->PdfViewer, first);
    EXPECT_EQ(view->document()->pageCount(), 1);
    show(sheet(QStringLiteral("xls"), QStringLiteral("after.xls")));
    EXPECT_EQ(shown(), kSheet);
    EXPECT_EQ(view->document(), nullptr);
}

// A PDF that cannot be opened shows nothing, and the next one is tried afresh; a document of
// thousands of pages opens off the window's thread and shows.
TEST_F(SheetPreview, DamagedAndHugePdfs)
{
    TfrmPreview* p = preview();
    const QString good = pdf(QStringLiteral("good.pdf"), 2);
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    dir.addFile("cut.pdf", bytes.left(bytes.size() / 3));
    dir.addFile("text.pdf", "%PDF-1.4 nothing else");
    dir.addFile("empty.pdf", "");
    for (const char* name : {"cut.pdf", "text.pdf", "empty.pdf"}) {
        show(dir.filePath(QString::fromLatin1(name)));
        EXPECT_EQ(shown(), QStringList()) << name;
    }
    show(good);
    EXPECT_EQ(shown(), QStringList{"PdfViewer"});
    show(pdf(QStringLiteral("huge.pdf"), 5000));
    ASSERT_EQ(shown(), QStringList{"PdfViewer"});
    auto* view = qobject_cast<QPdfView*>(p->PdfViewer);
    EXPECT_EQ(view->document()->pageCount(), 5000);
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    QTest::qWait(50);
    EXPECT_TRUE(view->isVisible());
}
