// The folder sizes window: the report over a real tree, sorting by a click on a title, printing,
// export, cancelling a scan stuck on a volume that does not answer; and the system information
// window's sheet and print.
#include "reports/FolderSize.h"
#include "reports/SysInfo.h"
#include "tests/support/StallFs.h"
#include "tests/support/TempDir.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace corvane;
using namespace corvane::reports;
using test::TempDir;

namespace {

// Prints to a PDF file and reads its text back.
template <typename Print>
QString PrintedText(Print print)
{
    TempDir out;
    const QString pdf = out.filePath("printed.pdf");
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    print(printer);
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QStringList Column(QTableView* grid, int column)
{
    QStringList out;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        out << grid->model()->index(r, column).data().toString();
    return out;
}

void ClickTitle(QTableView* grid, int column)
{
    QHeaderView* header = grid->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

struct EnglishNumbers {
    EnglishNumbers() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~EnglishNumbers() { QLocale::setDefault(QLocale::c()); }
};

} // namespace

TEST(FolderSizeWindow, ReportSortPrintAndExport)
{
    EnglishNumbers english;
    TempDir dir;
    dir.addFile("nine/a", QByteArray(9, 'x'));
    dir.addFile("ten/a", QByteArray(10, 'x'));
    dir.addFile("big/a", QByteArray(1000, 'x'));
    dir.addFile("a,b/c", "");
    const QString root = dir.path();

    TfrmFolderSize form;
    QSignalSpy ended(&form, &TfrmFolderSize::ReportEnded);
    form.Prepare({dir.pathBytes()}, root);
    form.show();
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_EQ(form.windowTitle(), "Folder Sizes - " + root);
    EXPECT_EQ(Column(form.Grid1, ColFolder),
              (QStringList{root, root + "/a,b", root + "/big", root + "/nine", root + "/ten"}));
    EXPECT_TRUE(form.Grid1->isColumnHidden(ColBytesDigits));
    EXPECT_TRUE(form.Grid1->isColumnHidden(ColTreeBytesDigits));
    EXPECT_TRUE(form.Grid2->isVisible());
    EXPECT_EQ(form.Grid2->item(0, 0)->text(), " Total: 5 folders");
    EXPECT_EQ(form.Grid2->item(0, 2)->text(), "1,019");
    EXPECT_EQ(form.Grid2->columnWidth(3), form.Grid1->columnWidth(3) + form.Grid1->columnWidth(4));
    EXPECT_TRUE(form.cmdPrint->isEnabled());
    EXPECT_TRUE(form.cmdExport->isEnabled());
    EXPECT_TRUE(form.cmdClose->isEnabled());
    EXPECT_EQ(form.Status1Panel0->text(), "");

    ClickTitle(form.Grid1, ColBytes);
    EXPECT_EQ(Column(form.Grid1, ColBytes), (QStringList{"0", "0", "9", "10", "1,000"}));
    ClickTitle(form.Grid1, ColBytes);
    EXPECT_EQ(Column(form.Grid1, ColBytes).first(), "1,000");
    form.Grid1->setColumnWidth(0, 333);
    EXPECT_EQ(form.Grid2->columnWidth(0), 333);

    const QString printed = PrintedText([&](QPrinter& printer) { form.PrintReport(printer); });
    for (const QString& text : {root + "/nine", root + "/a,b", QStringLiteral("Total: 5 folders"),
                                QStringLiteral("1,019"), QStringLiteral("Page 1/1"), QStringLiteral("Folder Sizes - ")})
        EXPECT_TRUE(printed.contains(text)) << text.toStdString() << "\n" << printed.toStdString();

    TempDir out;
    const QString csv = out.filePath("report.csv");
    EXPECT_EQ(form.ExportCsv(csv), QString());
    const QByteArray file = test::ReadFileBytes(csv.toLocal8Bit());
    EXPECT_TRUE(file.startsWith("Folder,Files,Bytes,Files (with Subfolders),Bytes (With Subfolders)\r\n"
                                + dir.pathBytes() + "/big,1,1000,1,1000\r\n"))
        << file.toStdString();
    EXPECT_TRUE(file.contains("\"" + dir.pathBytes() + "/a,b\",1,0,1,0\r\n"));
    EXPECT_TRUE(file.endsWith("\"\",\"\",\"\",\"\",\"\"\r\n Total: 5 folders,4,1019,\"\",\"\"\r\n"));
}

// The scan waits on a volume that does not answer; a click on " Cancel" ends the report at once.
TEST(FolderSizeWindow, CancelOnTheStatusBarLeavesAnEmptyGrid)
{
    test::StallFs volume({"a/", "a/b/", "a/b/file"});
    ASSERT_TRUE(volume.ok());
    volume.Stall();

    TfrmFolderSize form;
    QSignalSpy ended(&form, &TfrmFolderSize::ReportEnded);
    form.Prepare({volume.pathBytes()}, volume.path());
    form.show();
    // The report starts once the window is on screen: let the event loop run meanwhile.
    ASSERT_TRUE(QTest::qWaitFor([&] { return volume.Blocked() > 0; }, 10000));
    EXPECT_TRUE(form.Running());
    EXPECT_EQ(form.Status1Panel1->text(), " Cancel");
    EXPECT_FALSE(form.cmdClose->isEnabled());
    QTest::mouseClick(form.Status1Panel1, Qt::LeftButton);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(form.Running());
    EXPECT_EQ(form.Status1Panel0->text(), "Report canceled");
    EXPECT_EQ(form.Status1Panel1->text(), "");
    EXPECT_EQ(form.Grid1->model()->rowCount(), 0);
    EXPECT_FALSE(form.Grid2->isVisible());
    EXPECT_FALSE(form.cmdPrint->isEnabled());
    EXPECT_FALSE(form.cmdExport->isEnabled());
    EXPECT_TRUE(form.cmdClose->isEnabled());
    EXPECT_EQ(volume.GuardedTouches(), 0);
    volume.Release();
}

TEST(SysInfoWindow, ShowsTheSheetAndPrintsItWithoutLeadingBlanks)
{
    TempDir root;
    root.addFile("proc/sys/kernel/hostname", "workstation\n");
    root.addFile("proc/meminfo", "MemTotal: 2048 kB\nMemAvailable: 1024 kB\n");
    TfrmSysInfo form;
    form.SetSource({root.pathBytes(), ::getuid()});
    QSignalSpy built(&form, &TfrmSysInfo::SheetBuilt);
    form.show();
    ASSERT_TRUE(built.wait(10000));
    EXPECT_EQ(form.windowTitle(), "System Information");
    const QStringList lines = form.txtInfo->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 17);
    EXPECT_EQ(lines[7], " Computer Name: workstation");
    EXPECT_EQ(lines[12], " Total RAM: 2097152 bytes");

    const QStringList printed = PrintedText([&](QPrinter& printer) { form.PrintSheet(printer); }).split('\n');
    ASSERT_EQ(printed.filter("System Information").size(), 1) << printed.join('\n').toStdString();
    const QStringList computer = printed.filter("Computer Name: workstation");
    ASSERT_EQ(computer.size(), 1);
    // The printed lines all start at the same left edge as the title: no leading blank.
    const QString title = printed.filter("System Information").constFirst();
    EXPECT_EQ(computer[0].indexOf('C'), title.indexOf('S'));
}
