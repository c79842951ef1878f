#include "graphics/Thumbnail.h"

#include "app/Globals.h"
#include "explorer/Child.h"
#include "imaging/ThumbnailCache.h"
#include "imaging/view/ImageView.h"
#include "imaging/view/ThumbnailView.h"
#include "shellctl/ShellControls.h"
#include "GraphicsTestSupport.h"
#include "tests/support/TempDir.h"

#include <QFile>
#include <QCryptographicHash>
#include <QImageReader>
#include <QUrl>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

using namespace corvane;
using corvane::graphics::TfrmThumbnail;
using corvane::imaging::ThumbnailCache;
using corvane::test::TempDir;

namespace {

QStringList Paths(const imaging::TThumbnailView& view)
{
    QStringList out;
    for (int i = 0; i < view.Count(); ++i)
        out << view.Path(i);
    return out;
}

} // namespace

struct Thumbnails : ::testing::Test {
    TempDir dir;
    TempDir cache;
    explorer::TfrmChild child;

    void SetUp() override { qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path())); }
    void browse(const QStringList& names) { test::SelectInExplorer(child, dir.path(), names); }
};

// Content decides which files get a cell; the extension decides what the cell shows.
TEST_F(Thumbnails, PicturesAmongTheSelectionGetCells)
{
    ASSERT_TRUE(test::TestPhoto(80, 60).save(dir.filePath("a.png"), "PNG"));
    ASSERT_TRUE(test::TestPhoto(80, 60).save(dir.filePath("b.jpg"), "JPEG"));
    ASSERT_TRUE(test::TestPhoto(80, 60).save(dir.filePath("photo.dat"), "JPEG"));
    dir.addFile("notes.txt", "hello");
    dir.addFile("fake.jpg", "not a picture at all");
    dir.addFolder("folder.png");
    browse({"a.png", "b.jpg", "photo.dat", "notes.txt", "fake.jpg", "folder.png"});

    TfrmThumbnail form;
    form.show();
    // Becoming active fills the window.
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    const imaging::TThumbnailView& view = *form.ImageM1;
    const QStringList expected = {dir.filePath("a.png"), dir.filePath("b.jpg"), dir.filePath("photo.dat")};
    QTRY_VERIFY_WITH_TIMEOUT(form.Filled() && Paths(view) == expected, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(view.IsLoaded(0) && view.IsLoaded(1) && view.IsLoaded(2), 5000);
    EXPECT_FALSE(view.Thumbnail(0).isNull());
    EXPECT_FALSE(view.Thumbnail(1).isNull());
    EXPECT_TRUE(view.Thumbnail(2).isNull());  // photo.dat: recognised, not decoded
    EXPECT_TRUE(view.ScreenLoaded());

    // Clicking a cell names the file and shows the picture fitted.
    QSignalSpy shown(&form, &TfrmThumbnail::PictureShown);
    QTest::mouseClick(form.ImageM1->viewport(), Qt::LeftButton, {}, view.CellRect(1).center());
    EXPECT_EQ(form.Status1->currentMessage(), " b.jpg");
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_EQ(form.Image1->picture().size, QSize(80, 60));
    // photo.dat shows nothing: the picture pane keeps what it had.
    QTest::mouseClick(form.ImageM1->viewport(), Qt::LeftButton, {}, view.CellRect(2).center());
    EXPECT_EQ(form.Status1->currentMessage(), " photo.dat");
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_EQ(form.Image1->picture().size, QSize(80, 60));
    // The keyboard moves the selection too.
    form.ImageM1->setFocus();
    QTest::keyClick(form.ImageM1, Qt::Key_Home);
    EXPECT_EQ(view.Selected(), 0);
    EXPECT_EQ(form.Status1->currentMessage(), " a.png");
}

TEST(ThumbnailCaption, CutFromTheEndUntilItFits)
{
    const QFont font("MS Sans Serif", 8);
    const QFontMetrics metrics(font);
    const QString name = "a-very-long-file-name-of-a-holiday-picture.jpg";
    const QString cut = TfrmThumbnail::CaptionText(name, metrics, 100);
    EXPECT_TRUE(name.startsWith(cut));
    EXPECT_LT(cut.size(), name.size());
    EXPECT_LT(metrics.horizontalAdvance(cut), 100);
    EXPECT_GE(metrics.horizontalAdvance(name.left(cut.size() + 1)), 100);
    EXPECT_EQ(TfrmThumbnail::CaptionText("a.jpg", metrics, 100), "a.jpg");
}

// Height 200 and width 50: tall narrow cells, and more columns in the same width.
TEST_F(Thumbnails, SizeChangeLaysTheCellsOutAgain)
{
    TfrmThumbnail form;
    form.resize(750, 510);
    form.show();
    for (int i = 0; i < 12; ++i)
        form.ImageM1->Add(dir.filePath(QString("p%1.png").arg(i)));
    const int before = form.ImageM1->Columns();
    form.spnHeight->setValue(200);
    form.spnWidth->setValue(50);
    QTest::mouseClick(form.cmdSize, Qt::LeftButton);
    EXPECT_EQ(form.ImageM1->CellRect(0).size(), QSize(50, 200));
    EXPECT_GT(form.ImageM1->Columns(), before);
    const int columns = form.ImageM1->Columns();
    EXPECT_EQ(form.ImageM1->CellRect(columns).top(), form.ImageM1->CellRect(0).bottom() + 1 + imaging::TThumbnailView::Spacing);
    // Ranges hold: 50 to 200 in steps of 10.
    form.spnHeight->setValue(20);
    EXPECT_EQ(form.spnHeight->value(), 50);
    EXPECT_EQ(form.spnWidth->singleStep(), 10);
}

TEST(ThumbnailView, SelectionFrameIsRedAndThickerWithFocus)
{
    imaging::TThumbnailView view;
    view.resize(400, 300);
    view.Add("/nonexistent/a.png");
    view.Add("/nonexistent/b.png");
    view.show();
    view.SetSelected(1);
    view.setFocus();
    QApplication::setActiveWindow(&view);
    QTRY_VERIFY(view.hasFocus());
    const QRect cell = view.CellRect(1);
    QImage shot = view.viewport()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(cell.center().x(), cell.top() - 3)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(cell.center().x(), cell.top() - 1)), QColor(Qt::red));
    view.clearFocus();
    QTRY_VERIFY(!view.hasFocus());
    shot = view.viewport()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(cell.center().x(), cell.top() - 1)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(cell.center().x(), cell.top() - 3)), QColor(Qt::white));
}

// Thumbnails go to the shared cache with the keys other programs check, and come back from it
// only while the picture is unchanged.
TEST(ThumbnailCacheTest, EntriesAreValidPngsWithTheRequiredKeys)
{
    TempDir dir;
    TempDir root;
    ASSERT_TRUE(test::TestPhoto(1024, 512).save(dir.filePath("big photo.jpg"), "JPEG"));
    const QString path = dir.filePath("big photo.jpg");
    const ThumbnailCache cache(root.path() + "/thumbnails");
    EXPECT_EQ(ThumbnailCache::UriOf(path), "file://" + QString(QUrl::toPercentEncoding(dir.path(), "/")) + "/big%20photo.jpg");
    for (const auto size : {ThumbnailCache::Size::Normal, ThumbnailCache::Size::Large}) {
        const QImage made = cache.Load(path, size);
        ASSERT_EQ(made.size(), QSize(int(size), int(size) / 2));
        const QString entry = cache.PathFor(path, size);
        EXPECT_TRUE(entry.startsWith(root.path() + (size == ThumbnailCache::Size::Large ? "/thumbnails/large/" : "/thumbnails/normal/")));
        const QByteArray md5 = QCryptographicHash::hash(ThumbnailCache::UriOf(path).toUtf8(), QCryptographicHash::Md5).toHex();
        EXPECT_TRUE(entry.endsWith("/" + md5 + ".png"));
        QImageReader reader(entry, "png");
        const QImage stored = reader.read();
        ASSERT_FALSE(stored.isNull());
        EXPECT_EQ(stored.text("Thumb::URI"), ThumbnailCache::UriOf(path));
        struct stat st{};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
        EXPECT_EQ(stored.text("Thumb::MTime"), QString::number(st.st_mtim.tv_sec));
        // Another program's reader agrees.
        QProcess identify;
        identify.start("identify", {"-format", "%m %w %h", entry});
        identify.waitForFinished(-1);
        EXPECT_EQ(identify.exitCode(), 0);
        EXPECT_EQ(identify.readAllStandardOutput().trimmed(), QString("PNG %1 %2").arg(int(size)).arg(int(size) / 2).toUtf8());
        struct stat es{};
        ASSERT_EQ(::stat(QFile::encodeName(entry).constData(), &es), 0);
        EXPECT_EQ(es.st_mode & 0777, 0600u);
        EXPECT_FALSE(cache.Find(path, size).isNull());
    }
    // A changed picture is not served from the cache.
    struct utimbuf times{1000000, 1000000};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
    EXPECT_TRUE(cache.Find(path, ThumbnailCache::Size::Normal).isNull());
    // What other programs left there is read too: an entry made by hand for another file.
    const QString other = dir.filePath("other.png");
    ASSERT_TRUE(test::TestPhoto(40, 20).save(other, "PNG"));
    QImage foreign = test::TestPhoto(128, 64);
    foreign.setText("Thumb::URI", ThumbnailCache::UriOf(other));
    struct stat os{};
    ASSERT_EQ(::stat(QFile::encodeName(other).constData(), &os), 0);
    foreign.setText("Thumb::MTime", QString::number(os.st_mtim.tv_sec));
    ASSERT_TRUE(foreign.save(cache.PathFor(other, ThumbnailCache::Size::Normal), "PNG"));
    EXPECT_EQ(cache.Load(other, ThumbnailCache::Size::Normal).size(), QSize(128, 64));
}
