#include "tests/support/DialogsFixture.h"

#include "app/ClipboardViewer.h"
#include "app/Launchers.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTest>

using namespace corvane;

namespace {
struct ClipboardViewer : test::MainWindowTest {};
} // namespace

TEST_F(ClipboardViewer, FollowsTheClipboard)
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    main->ClipboardViewer1->trigger();
    app::TfrmClipboardViewer* viewer = main->Launchers->ClipboardViewer();
    ASSERT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->pnlView->currentWidget(), viewer->lblMessage);
    EXPECT_EQ(viewer->lblMessage->text(), "The clipboard is empty.");

    clipboard->setText("copied text");
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewer->pnlView->currentWidget() == viewer->txtText; }, 30000));
    EXPECT_EQ(viewer->txtText->toPlainText(), "copied text");
    EXPECT_FALSE(viewer->lstFormats->findItems("text/plain", Qt::MatchExactly).isEmpty());

    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(Qt::red);
    clipboard->setImage(image);
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewer->pnlView->currentWidget() == viewer->scrPicture; }, 30000));
    EXPECT_TRUE(viewer->lblInfo->text().contains("30 x 20"));

    auto* data = new QMimeData;
    data->setData("application/x-corvane-test", "\x01\x02");
    clipboard->setMimeData(data);
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewer->lstFormats->count() == 1; }, 30000));
    EXPECT_EQ(viewer->lblMessage->text(), "This format cannot be shown.");
    clipboard->clear();
}
