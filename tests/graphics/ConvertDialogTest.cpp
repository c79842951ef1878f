#include "graphics/Convert.h"

#include "app/Globals.h"
#include "app/Utility.h"
#include "explorer/Child.h"
#include "imaging/Picture.h"
#include "platform/NameCodec.h"
#include "shellctl/ShellControls.h"
#include "GraphicsTestSupport.h"
#include "tests/support/ListTexts.h"
#include "tests/support/TempDir.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane;
using corvane::graphics::TfrmConvert;
using corvane::test::TempDir;

namespace {

void Click(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

struct ConvertDialog : ::testing::Test {
    TempDir dir;
    explorer::TfrmChild child;
    TfrmConvert dlg;
    app::MsgBoxRecord last;

    void SetUp() override
    {
        dir.addFolder("src");
        dir.addFolder("out");
        app::SetMsgBoxRecorder(&last);
    }
    void TearDown() override { app::SetMsgBoxRecorder(nullptr); }

    void browse(const QStringList& names) { test::SelectInExplorer(child, dir.filePath("src"), names); }
    QStringList listed() const { return test::ListTexts(dlg.lstFiles); }
};

} // namespace

// Each format offers its own colour choices and checks one; only JPEG has a quality.
TEST_F(ConvertDialog, FormatDecidesTheColourChoices)
{
    dlg.show();
    struct Row { int format; const char* enabled; int checked; bool quality; };
    const Row rows[] = {
        {1, "11110", 3, false}, {2, "00001", 4, true}, {3, "00111", 4, false},
        {4, "00011", 4, false}, {5, "00111", 4, false}, {0, "00111", 4, false},
    };
    QRadioButton* colors[] = {dlg.optColors4, dlg.optColors8, dlg.optColors16, dlg.optColors256, dlg.optColors16M};
    EXPECT_TRUE(dlg.optFormat[0]->isChecked());
    EXPECT_TRUE(dlg.optColors16M->isChecked());
    EXPECT_EQ(dlg.trkJPEGQuality->value(), 100);
    for (const Row& r : rows) {
        Click(dlg.optFormat[r.format]);
        ASSERT_EQ(dlg.FormatIndex(), r.format);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(colors[i]->isEnabled(), r.enabled[i] == '1') << r.format << " " << i;
        EXPECT_EQ(dlg.ColorCode(), r.checked) << r.format;
        EXPECT_EQ(dlg.grpJPEGQuality->isEnabled(), r.quality) << r.format;
    }
    // A choice the user makes sticks until the format changes.
    Click(dlg.optFormat[1]);
    Click(dlg.optColors4);
    EXPECT_EQ(dlg.ColorCode(), 0);
}

// Only selected files with a picture extension are offered, sorted; the source folder is the list's.
TEST_F(ConvertDialog, ListsTheSelectedPictures)
{
    for (const char* name : {"src/b.png", "src/a.JPG", "src/notes.txt", "src/noext", "src/c.wmf", "src/unselected.bmp"})
        dir.addFile(name, "x");
    dir.addFolder("src/folder.png");
    browse({"b.png", "a.JPG", "notes.txt", "noext", "c.wmf", "folder.png"});
    dlg.show();
    EXPECT_EQ(listed(), QStringList({"a.JPG", "b.png", "c.wmf"}));
    EXPECT_EQ(dlg.SourceFolder(), dir.filePath("src"));
    EXPECT_EQ(dlg.treeDest->SelectedPath(), dir.filePath("src"));
    dlg.reject();
    // Opened from the preview window: exactly the previewed file.
    dlg.LaunchedFromPreview = true;
    dlg.CurrentFile = dir.filePath("src/unselected.bmp");
    dlg.show();
    EXPECT_EQ(listed(), QStringList({"unselected.bmp"}));
    EXPECT_EQ(dlg.SourceFolder(), dir.filePath("src"));
}

// Through the dialog: a JPEG at a chosen quality into another folder; the unreadable file is
// named in one message and the others are converted.
TEST_F(ConvertDialog, ConvertsIntoTheChosenFolder)
{
    ASSERT_TRUE(test::TestPhoto(64, 48).save(dir.filePath("src/a.bmp"), "BMP"));
    ASSERT_TRUE(test::TestPhoto(64, 48).save(dir.filePath("src/photo.old.png"), "PNG"));
    dir.addFile("src/broken.gif", "GIF89a not really");
    browse({"a.bmp", "photo.old.png", "broken.gif"});
    dlg.show();
    Click(dlg.optFormat[2]);
    dlg.trkJPEGQuality->setValue(40);
    dlg.treeDest->SelectPath(dir.filePath("out"));
    ASSERT_EQ(dlg.treeDest->SelectedPath(), dir.filePath("out"));
    Click(dlg.cmdConvert);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(last.text, "Unable to convert file " + dir.filePath("src/broken.gif"));
    EXPECT_EQ(last.caption, "Error");
    EXPECT_EQ(last.style, unsigned(app::MB_ICONEXCLAMATION));
    EXPECT_EQ(imaging::LoadPicture(dir.filePath("out/a.JPG")).size, QSize(64, 48));
    EXPECT_EQ(imaging::LoadPicture(dir.filePath("out/photo.old.JPG")).size, QSize(64, 48));
    EXPECT_FALSE(QFile::exists(dir.filePath("out/broken.JPG")));
    EXPECT_TRUE(dlg.Status1->currentMessage().startsWith(" Converting " + dir.filePath("src/")));
}
