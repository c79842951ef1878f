// Word-processor documents in the preview: converted by a real LibreOffice kept running, shown
// in their own fonts; newest selection, damaged files, a missing or hanging office.
#include "app/Globals.h"
#include "app/Mainform.h"
#include "core/NameCodec.h"
#include "platform/Registry.h"
#include "preview/Preview.h"
#include "preview/engine/OfficeConverter.h"
#include "settings/PFormSettings.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>

#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

using namespace corvane;
using corvane::preview::TfrmPreview;

namespace {

constexpr int kWaitMs = 120000;

// LibreOffice converts files of `dir` to `format` there, with a profile of its own.
bool convert(const test::TempDir& dir, const QString& format, const QStringList& files)
{
    QProcess soffice;
    soffice.setWorkingDirectory(dir.path());
    soffice.start("soffice", QStringList{"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless",
                                         "--norestore", "--convert-to", format, "--outdir", dir.path()} + files);
    return soffice.waitForFinished(180000) && QFileInfo::exists(dir.filePath(QFileInfo(files.first()).completeBaseName() + "." + format));
}

// Two documents with fonts of their own, written as rich text and turned into .doc, .docx and
// .odt by LibreOffice once for all tests.
struct Documents {
    test::TempDir dir;
    bool made = false;

    Documents()
    {
        dir.addFile("a.rtf", "{\\rtf1\\ansi{\\fonttbl{\\f0\\froman Liberation Serif;}{\\f1\\fmodern DejaVu Sans Mono;}}"
                             "{\\colortbl;\\red192\\green0\\blue0;}"
                             "\\pard\\f0\\fs28\\cf1\\b Crimson words\\b0\\cf0\\par"
                             "\\pard\\f1\\fs20\\i navy code\\i0\\par}");
        dir.addFile("b.rtf", "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss DejaVu Sans;}}\\f0 Second letter\\par}");
        made = convert(dir, "doc", {"a.rtf", "b.rtf"}) && convert(dir, "docx", {"a.rtf"}) && convert(dir, "odt", {"a.rtf"});
    }
};

Documents& documents()
{
    static Documents docs;
    return docs;
}

bool alive(pid_t pid)
{
    return pid > 0 && ::kill(pid, 0) == 0;
}

struct OfficePreview : ::testing::Test {
    OfficePreview() { platform::setCurrentUserHive(platform::Hive::inMemory()); }
    app::TfrmMain main;
    test::TempDir dir;

    void SetUp() override
    {
        ASSERT_TRUE(documents().made) << "LibreOffice could not make the test documents";
        main.resize(1200, 800);
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
        main.actPreview->trigger();
        ASSERT_NE(preview(), nullptr);
        // Every test starts an office of its own: one still ending from the last test keeps its profile.
        preview()->OfficeConverter()->SetProfileFolder(dir.filePath("office"));
    }
    TfrmPreview* preview() const { return qobject_cast<TfrmPreview*>(app::frmPreview.data()); }
    QString source(const QString& name) const { return documents().dir.filePath(name); }
    bool settled() const
    {
        return QTest::qWaitFor([this] { return !preview()->Loading(); }, kWaitMs);
    }
    void select(const QString& path)
    {
        preview()->PreviewFile(path, false, QFileInfo(path).size());
    }
    void show(const QString& path)
    {
        select(path);
        ASSERT_TRUE(settled()) << path.toStdString();
    }
    bool textShown() const
    {
        return !preview()->RichEdit1->isHidden() && !preview()->toolText->isHidden();
    }
    QString text() const { return preview()->RichEdit1->toPlainText(); }
};

QTextCharFormat formatOf(const QTextDocument& doc, const QString& word)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().contains(word))
                return it.fragment().charFormat();
        }
    }
    return {};
}

QString family(const QTextCharFormat& f)
{
    const QStringList families = f.fontFamilies().toStringList();
    return families.isEmpty() ? QString() : families.first();
}

} // namespace

// .doc, .docx and .odt show their text in their own fonts, not the preview font, through one
// office that the second and third documents reuse and that ends with the window.
TEST_F(OfficePreview, DocumentsShowInTheirOwnFontsThroughOneOffice)
{
    settings::TPFormSettings& store = main.Settings();
    store.SettingByName("PreviewFontName").SetAsString("Courier");
    store.SettingByName("PreviewFontSize").SetAsInteger(20);
    store.SettingByName("PreviewFontColor").SetAsInteger(0x0000C0);
    preview()->ApplyPreviewFont();
    const std::shared_ptr<preview::TOfficeConverter> office = preview()->OfficeConverter();
    EXPECT_FALSE(preview()->WordStarted);
    pid_t pid = 0;
    for (const char* name : {"a.doc", "a.docx", "a.odt"}) {
        show(source(name));
        ASSERT_TRUE(textShown()) << name;
        EXPECT_TRUE(preview()->lblConverting->isHidden());
        EXPECT_EQ(text(), "Crimson words\nnavy code\n") << name;
        const QTextDocument& doc = *preview()->RichEdit1->document();
        EXPECT_EQ(family(formatOf(doc, "Crimson")), "Liberation Serif") << name;
        EXPECT_EQ(formatOf(doc, "Crimson").foreground().color(), QColor(192, 0, 0)) << name;
        EXPECT_EQ(family(formatOf(doc, "navy")), "DejaVu Sans Mono") << name;
        EXPECT_TRUE(formatOf(doc, "navy").fontItalic()) << name;
        EXPECT_NE(doc.defaultFont().family(), "Courier") << name;
        EXPECT_NE(preview()->RichEdit1->palette().color(QPalette::Text), QColor(0xC0, 0, 0)) << name;
        if (!pid)
            pid = office->OfficePid();
        EXPECT_TRUE(alive(pid)) << name;
        EXPECT_EQ(office->OfficePid(), pid) << name;
    }
    EXPECT_TRUE(preview()->WordStarted);
    // Text files after a document have the preview font again.
    dir.addFile("note.txt", "plain");
    show(dir.filePath("note.txt"));
    EXPECT_EQ(preview()->RichEdit1->document()->defaultFont().family(), "Courier");

    main.actPreview->trigger();
    ASSERT_FALSE(app::frmPreview);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !alive(pid); }, kWaitMs)) << "the office outlived the window";
    EXPECT_EQ(office->OfficePid(), 0);
}

// The window says it converts; a newer selection wins over one still converting, whether it is
// another document or a text file.
TEST_F(OfficePreview, NewestSelectionWins)
{
    select(source("a.doc"));
    EXPECT_FALSE(preview()->lblConverting->isHidden());
    EXPECT_EQ(preview()->lblConverting->text(), "Converting the document...");
    EXPECT_TRUE(preview()->RichEdit1->isHidden());
    QTest::qWait(50);
    show(source("b.doc"));
    EXPECT_TRUE(textShown());
    EXPECT_EQ(text(), "Second letter\n");
    EXPECT_EQ(preview()->windowTitle(), "Preview - " + source("b.doc"));

    dir.addFile("note.txt", "plain words");
    select(source("a.odt"));
    show(dir.filePath("note.txt"));
    QTest::qWait(500);
    EXPECT_EQ(text(), "plain words");
    EXPECT_TRUE(preview()->lblConverting->isHidden());
}

// What the office cannot read as a document, a pipe and a file grown past the limit show
// nothing; the office stays up for the next document.
TEST_F(OfficePreview, DamagedDocumentsShowNothing)
{
    QByteArray noise(20000, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919) % 251);
    dir.addFile("noise.doc", noise);
    QFile whole(source("a.doc"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray doc = whole.readAll();
    dir.addFile("header-only.doc", doc.left(512));
    dir.addFile("noise.wpd", noise);
    dir.addFile("noise.odt", noise);
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.doc")).constData(), 0600), 0);
    for (const char* name : {"noise.doc", "header-only.doc", "noise.wpd", "noise.odt", "pipe.doc"}) {
        show(dir.filePath(name));
        EXPECT_TRUE(preview()->RichEdit1->isHidden()) << name;
        EXPECT_TRUE(preview()->toolText->isHidden()) << name;
        EXPECT_TRUE(preview()->lblConverting->isHidden()) << name;
    }
    // A file listed small that has grown to the limit since.
    main.Settings().SettingByName("MaxPreviewSize").SetAsInteger(int(doc.size() / 1024));
    preview::ReadPreviewLimit();
    dir.addFile("grown.doc", doc);
    preview()->PreviewFile(dir.filePath("grown.doc"), false, 10);
    ASSERT_TRUE(settled());
    EXPECT_TRUE(preview()->RichEdit1->isHidden());
    main.Settings().SettingByName("MaxPreviewSize").SetAsInteger(1000);
    preview::ReadPreviewLimit();
    show(source("b.doc"));
    EXPECT_EQ(text(), "Second letter\n");
}

// Without LibreOffice the viewer stays hidden; an office that never answers is stopped after
// the time limit, and the next document starts a new one.
TEST_F(OfficePreview, MissingOrHangingOfficeIsGivenUp)
{
    const std::shared_ptr<preview::TOfficeConverter> office = preview()->OfficeConverter();
    office->SetOfficeProgram(dir.filePath("missing/soffice"));
    show(source("a.doc"));
    EXPECT_TRUE(preview()->RichEdit1->isHidden());
    EXPECT_TRUE(preview()->lblConverting->isHidden());

    dir.addFile("hang/soffice", "#!/bin/sh\nexec sleep 600\n");
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("hang/soffice")).constData(), 0755), 0);
    office->SetOfficeProgram(dir.filePath("hang/soffice"));
    office->SetTimeLimit(std::chrono::milliseconds(1500));
    select(source("a.doc"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return office->OfficePid() != 0; }, kWaitMs));
    const pid_t hung = office->OfficePid();
    ASSERT_TRUE(settled());
    EXPECT_TRUE(preview()->RichEdit1->isHidden());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !alive(hung); }, kWaitMs)) << "the hung office was not stopped";

    office->SetOfficeProgram("soffice");
    office->SetTimeLimit(std::chrono::milliseconds(kWaitMs));
    show(source("a.doc"));
    EXPECT_EQ(text(), "Crimson words\nnavy code\n");
}

// The client's file URLs carry every byte of a name: one that is not UTF-8 converts too.
TEST_F(OfficePreview, NamesThatAreNotUtf8)
{
    QFile whole(source("b.doc"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    dir.addFile("caf\xe9 #1%.doc", whole.readAll());
    show(core::DecodeName(dir.pathBytes() + "/caf\xe9 #1%.doc"));
    EXPECT_EQ(text(), "Second letter\n");
}

// A document that links a picture from a server shows without asking that server for it: the
// preview tells nobody that the document was opened.
TEST_F(OfficePreview, LinkedPicturesAreNotFetched)
{
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ASSERT_GE(server, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(server, 16), 0);
    ASSERT_EQ(::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const QByteArray url = "http://127.0.0.1:" + QByteArray::number(ntohs(address.sin_port)) + "/pixel.png";
    auto connections = [server] {
        int count = 0;
        for (int c; (c = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ++count)
            ::close(c);
        return count;
    };
    // Written by hand: LibreOffice itself would fetch the picture while making the file.
    dir.addFile("odt/mimetype", "application/vnd.oasis.opendocument.text");
    dir.addFile("odt/META-INF/manifest.xml",
                "<?xml version=\"1.0\"?>\n<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
                "manifest:version=\"1.2\"><manifest:file-entry manifest:full-path=\"/\" "
                "manifest:media-type=\"application/vnd.oasis.opendocument.text\"/><manifest:file-entry "
                "manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/></manifest:manifest>");
    dir.addFile("odt/content.xml",
                "<?xml version=\"1.0\"?>\n<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
                "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
                "xmlns:xlink=\"http://www.w3.org/1999/xlink\" office:version=\"1.2\"><office:body><office:text>"
                "<text:p>Picture from afar:<draw:frame draw:name=\"p\" svg:width=\"2cm\" svg:height=\"2cm\" "
                "text:anchor-type=\"as-char\"><draw:image xlink:href=\"" + url + "\" xlink:type=\"simple\" "
                "xlink:show=\"embed\" xlink:actuate=\"onLoad\"/></draw:frame></text:p>"
                "</office:text></office:body></office:document-content>");
    ASSERT_EQ(test::runShell("cd '" + dir.filePath("odt") + "' && zip -q -X -0 ../linked.odt mimetype && "
                             "zip -q -X -r ../linked.odt META-INF content.xml"), 0);
    show(dir.filePath("linked.odt"));
    EXPECT_TRUE(textShown());
    EXPECT_TRUE(text().startsWith("Picture from afar:"));
    EXPECT_EQ(connections(), 0);
    ::close(server);
}
