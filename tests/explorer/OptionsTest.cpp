#include "tests/support/DialogsFixture.h"

#include "app/Globals.h"
#include "explorer/Child.h"
#include "explorer/FileFilter.h"
#include "explorer/Options.h"
#include "settings/PFormSettings.h"
#include "shellctl/ShellControls.h"
#include "tests/support/TempDir.h"

#include <QCheckBox>
#include <QFontDialog>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

using namespace corvane;
using explorer::frmOptions;

namespace {

struct Options : test::MainWindowTest {
    test::TempDir dir{"one.txt", "two.txt", "folder/", "other/"};
    std::vector<explorer::TfrmChild*> windows;
    std::map<explorer::TfrmChild*, int> fills;

    void SetUp() override
    {
        MainWindowTest::SetUp();
        ShowFolder(dir.path());
        main->actNewWindow->trigger();
        ShowFolder(dir.path());
        windows = main->Explorers();
        ASSERT_EQ(windows.size(), 2u);
        // Every fill of a list is counted.
        for (explorer::TfrmChild* w : windows) {
            auto previous = w->List1->OnFillComplete;
            w->List1->OnFillComplete = [this, w, previous](QObject* sender) {
                ++fills[w];
                if (previous)
                    previous(sender);
            };
        }
    }
    settings::TPSetting& setting(const char* name) { return main->PFormSettings1->SettingByName(name); }
    // Opens the dialog through the menu and runs the steps while it is shown.
    void withDialog(const std::function<void()>& steps)
    {
        QTimer::singleShot(0, frmOptions, [&] {
            steps();
            if (frmOptions->isVisible())
                frmOptions->cmdCancelClick();
        });
        main->Options1->trigger();
    }
    // Confirms the font dialog with a font once it shows.
    void answerFontDialog(const QFont& font, QFont* startedWith = nullptr)
    {
        QTimer::singleShot(0, frmOptions->FontDialog1, [=] {
            if (startedWith)
                *startedWith = frmOptions->FontDialog1->FontPicker->currentFont();
            frmOptions->FontDialog1->FontPicker->setCurrentFont(font);
            frmOptions->FontDialog1->accept();
        });
    }
    static int folders(explorer::TfrmChild* w)
    {
        int n = 0;
        for (int i = 0; i < w->List1->Count(); ++i)
            n += w->List1->DataOfIndex(i)->IsFolder();
        return n;
    }
};

} // namespace

TEST_F(Options, OpensWithStoredValuesAndTheDefaultPreviewFont)
{
    withDialog([&] {
        EXPECT_EQ(frmOptions->lblPrevFont->text(), "MS Sans Serif, 8 points");
        EXPECT_EQ(frmOptions->lblPrevFont->palette().color(QPalette::WindowText), QColor(Qt::black));
        EXPECT_EQ(frmOptions->lblExpFont->text(), "MS Sans Serif, 8 points");
        EXPECT_FALSE(frmOptions->chkGridLines->isChecked());
    });
    setting("PreviewFontName").SetAsString("DejaVu Serif");
    setting("PreviewFontSize").SetAsInteger(13);
    setting("PreviewFontItalic").SetAsBoolean(true);
    setting("PreviewFontColor").SetAsInteger(0x0000FF);
    setting("GridLines").SetAsBoolean(true);
    setting("MaxPreviewSize").SetAsInteger(2500);
    withDialog([&] {
        EXPECT_EQ(frmOptions->lblPrevFont->text(), "DejaVu Serif, 13 points");
        EXPECT_TRUE(frmOptions->lblPrevFont->font().italic());
        EXPECT_EQ(frmOptions->lblPrevFont->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        EXPECT_TRUE(frmOptions->chkGridLines->isChecked());
        EXPECT_EQ(frmOptions->txtMaxPreview->value(), 2500);
    });
}

TEST_F(Options, GridLinesShowWithoutRefillAndExclusionRefillsOnlyWhenChanged)
{
    fills.clear();
    withDialog([&] {
        frmOptions->chkGridLines->setChecked(true);
        frmOptions->txtMaxPreview->setValue(4200);
        frmOptions->cmdSaveClick();
    });
    EXPECT_TRUE(setting("GridLines").AsBoolean());
    EXPECT_EQ(setting("MaxPreviewSize").AsInteger(), 4200);
    for (explorer::TfrmChild* w : windows) {
        EXPECT_TRUE(w->List1->GridLines());
        EXPECT_EQ(fills[w], 0);
        EXPECT_EQ(folders(w), 2);
    }

    withDialog([&] {
        frmOptions->chkExcludeFolders->setChecked(true);
        frmOptions->cmdSaveClick();
    });
    EXPECT_TRUE(setting("ExcludeFolders").AsBoolean());
    for (explorer::TfrmChild* w : windows) {
        EXPECT_GE(fills[w], 1);
        EXPECT_EQ(folders(w), 0);
        EXPECT_EQ(w->List1->Count(), 2);
    }

    fills.clear();
    withDialog([&] { frmOptions->cmdSaveClick(); });
    for (explorer::TfrmChild* w : windows)
        EXPECT_EQ(fills[w], 0);

    // A filtered window keeps its filter through the refill.
    explorer::frmFileFilters->cboFilter->setEditText("one.*");
    explorer::frmFileFilters->cmdOKClick();
    withDialog([&] {
        frmOptions->chkExcludeFolders->setChecked(false);
        frmOptions->cmdSaveClick();
    });
    explorer::TfrmChild* filtered = main->ActiveExplorer();
    EXPECT_EQ(filtered->List1->Count(), 3);
    EXPECT_EQ(folders(filtered), 2);
}

TEST(OptionsFontCaption, PixelSizedFontsShowTheirPoints)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(32);
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    EXPECT_EQ(explorer::TfrmOptions::FontCaption(font),
              QString("DejaVu Sans, %1 points").arg(std::lround(32 * 72.0 / dpi)));
}

TEST_F(Options, ListingFontAppliesOnSaveOnly)
{
    QFont chosen(QStringLiteral("DejaVu Sans Mono"));
    chosen.setPointSize(15);
    chosen.setBold(true);
    const QFont before = main->font();

    withDialog([&] {
        answerFontDialog(chosen);
        frmOptions->cmdChildFontClick();
        EXPECT_EQ(frmOptions->lblExpFont->text(), "DejaVu Sans Mono, 15 points");
        frmOptions->cmdCancelClick();
    });
    EXPECT_EQ(main->font(), before);
    for (explorer::TfrmChild* w : windows)
        EXPECT_EQ(w->Tree1->font().family(), before.family());

    const QFont menuFont = main->menuBar()->font();
    withDialog([&] {
        answerFontDialog(chosen);
        frmOptions->cmdChildFontClick();
        frmOptions->cmdSaveClick();
    });
    EXPECT_EQ(main->font().family(), "DejaVu Sans Mono");
    // The menu bar and the run bar keep their font; disabled text stays dimmed.
    EXPECT_EQ(main->menuBar()->font(), menuFont);
    EXPECT_EQ(main->cboRun->font(), menuFont);
    EXPECT_NE(windows[0]->Tree1->palette().color(QPalette::Disabled, QPalette::Text),
              windows[0]->Tree1->palette().color(QPalette::Active, QPalette::Text));
    EXPECT_EQ(main->font().pointSize(), 15);
    EXPECT_TRUE(main->font().bold());
    for (explorer::TfrmChild* w : windows) {
        for (QWidget* part : std::initializer_list<QWidget*>{w->Tree1, w->List1, w->Combo1}) {
            EXPECT_EQ(part->font().family(), "DejaVu Sans Mono");
            EXPECT_EQ(part->font().pointSize(), 15);
        }
    }
}

TEST_F(Options, PreviewFontStartsFromTheStoredOneAndIsSaved)
{
    QFont first(QStringLiteral("DejaVu Serif"));
    first.setPointSize(12);
    first.setItalic(true);
    QFont second(QStringLiteral("DejaVu Sans"));
    second.setPointSize(10);
    second.setBold(true);
    withDialog([&] {
        QFont start1, start2;
        answerFontDialog(first, &start1);
        frmOptions->cmdPrevFontClick();
        EXPECT_EQ(frmOptions->lblPrevFont->text(), "DejaVu Serif, 12 points");
        // Pressed again before saving: from the stored font, not the pending one.
        answerFontDialog(second, &start2);
        frmOptions->cmdPrevFontClick();
        EXPECT_EQ(start1.family(), start2.family());
        EXPECT_EQ(start2.pointSize(), 8);
        frmOptions->cmdSaveClick();
    });
    EXPECT_EQ(setting("PreviewFontName").AsString(), "DejaVu Sans");
    EXPECT_EQ(setting("PreviewFontSize").AsInteger(), 10);
    EXPECT_TRUE(setting("PreviewFontBold").AsBoolean());
    EXPECT_FALSE(setting("PreviewFontItalic").AsBoolean());
    EXPECT_EQ(setting("PreviewFontColor").AsInteger(), 0);
}
