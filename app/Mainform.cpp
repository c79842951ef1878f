#include "Mainform.h"

#include "About.h"
#include "AppTexts.h"
#include "HelpWindow.h"
#include "Launchers.h"
#include "UserTools.h"
#include "Utility.h"
#include "explorer/Child.h"
#include "explorer/FileFilter.h"
#include "explorer/GoToFolder.h"
#include "explorer/Options.h"
#include "filetools/BatchCopy.h"
#include "filetools/Destroy.h"
#include "filetools/Encrypt.h"
#include "filetools/FileDate.h"
#include "filetools/GroupRename.h"
#include "graphics/Convert.h"
#include "graphics/GraphicsTexts.h"
#include "graphics/Thumbnail.h"
#include "platform/Launch.h"
#include "reports/FolderSize.h"
#include "reports/SysInfo.h"
#include "platform/MountWatch.h"
#include "platform/Registry.h"
#include "settings/PFormSettings.h"
#include "shellctl/ShellTree.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QToolBar>

namespace corvane::app {

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent), m_mdi(new QMdiArea(this))
{
    frmMain = this;
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(texts::ProductName));
    setCentralWidget(m_mdi);
    m_mdi->setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    setFont(f);
    createActions();
    createMenus();
    createToolBars();
    // The frame's font is the listing font the user picks in Options; the menu bar, the toolbars
    // and the explorer windows' frames keep the font they start with.
    QFont chrome = font();
    chrome.setResolveMask(QFont::AllPropertiesResolved);
    for (QWidget* w : std::initializer_list<QWidget*>{menuBar(), ToolBar1, ToolBar2, m_mdi})
        w->setFont(chrome);
    // The first start: room for the whole toolbar and a fair share of the screen, never more than
    // the screen. Later starts take the size saved by the settings.
    QSize size(Scaled(782), Scaled(515) + menuBar()->sizeHint().height() + ToolBar1->sizeHint().height() + ToolBar2->sizeHint().height());
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect avail = s->availableGeometry();
        size = size.expandedTo(QSize(ToolBar1->sizeHint().width() + Scaled(16), avail.height() * 3 / 4))
                   .expandedTo(avail.size() * 3 / 4)
                   .boundedTo(avail.size() * 9 / 10);
        resize(size);
        move(avail.center() - rect().center());
    } else {
        resize(size);
    }
    createSettings();
    connectCommands();
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        if (auto* child = w ? qobject_cast<explorer::TfrmChild*>(w->widget()) : nullptr) {
            child->FormActivate();
            updateWindowCommands();
            // Back and Forward follow the history of the window now current.
            UpdateHistoryButtons();
        }
    });
    // The help file sits beside the program; a build tree also finds the sources' manual.
    HelpFile = QApplication::applicationDirPath() + QStringLiteral("/docs/index.html");
    if (!QFile::exists(HelpFile))
        HelpFile = QStringLiteral(CORVANE_DOCS_DIR "/index.html");
    createDialogs();
    qApp->installEventFilter(this);
}

TfrmMain::~TfrmMain()
{
    if (frmMain == this)
        frmMain = nullptr;
}

void TfrmMain::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* e)
{
    // Under X the keypad modifier keeps Ctrl+Num + and Ctrl+Num - from matching their shortcuts,
    // and the focused tree would take the key as its own one-level expand: the keys come here first.
    if ((e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride) && watched->isWidgetType()
        && static_cast<QWidget*>(watched)->window() == this) {
        auto* key = static_cast<QKeyEvent*>(e);
        // Ctrl+F4 closes the active child window. Every child window's own menu claims the key
        // too, and a shortcut claimed twice never fires, so the key is taken before the shortcuts.
        if (key->key() == Qt::Key_F4 && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
            key->accept();
            if (e->type() == QEvent::KeyPress)
                m_mdi->closeActiveSubWindow();
            return true;
        }
        if (e->type() != QEvent::KeyPress)
            return QMainWindow::eventFilter(watched, e);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->modifiers() & Qt::KeypadModifier) && mods == Qt::ControlModifier) {
            QAction* action = key->key() == Qt::Key_Plus ? actExpandFolder : key->key() == Qt::Key_Minus ? actCollapseFolder : nullptr;
            if (action) {
                if (action->isEnabled())
                    action->trigger();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void TfrmMain::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        UpdatePasteState();
}

void TfrmMain::FormShow()
{
    // A settings store that could not be opened is said once; the program runs on defaults.
    QString problem = platform::takeRegistryProblem();
    if (!problem.isEmpty())
        MsgBox(problem, QString::fromLatin1(texts::Error), MB_ICONEXCLAMATION);
    actPreview->setChecked(false);
    restoreExplorers();
    CreateDriveButtons();
    connect(&platform::TMountWatch::instance(), &platform::TMountWatch::VolumesChanged, this, &TfrmMain::CreateDriveButtons);
    if (PFormSettings1->SettingByName(QStringLiteral("MaxPreviewSize")).AsInteger() == 0)
        PFormSettings1->SettingByName(QStringLiteral("MaxPreviewSize")).SetAsInteger(1000);
    if (PFormSettings1->SettingByName(QStringLiteral("PreviewOpen")).AsBoolean()) {
        actPreview->setChecked(true);
        createPreview()->show();
    }
    LastArrangement = ' ';
    actExpandFolder->setShortcut(QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus)));
    actCollapseFolder->setShortcut(QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Minus)));
    actBack->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    actForward->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    Properties1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Return));
    BuildUserToolsMenu();
}

void TfrmMain::showHelp()
{
    THelpWindow::ShowContents(HelpFile, this);
}

void TfrmMain::showAbout()
{
    TfrmAbout about(this);
    about.exec();
}

// --- The frame's own dialogs, launchers and user tools ---

void TfrmMain::createDialogs()
{
    explorer::frmFileFilters = new explorer::TfrmFileFilters(this);
    explorer::frmGoToFolder = new explorer::TfrmGoToFolder(this);
    explorer::frmOptions = new explorer::TfrmOptions(this);
    filetools::frmEncrypt = new filetools::TfrmEncrypt(this);
    graphics::frmConvert = new graphics::TfrmConvert(this);
    graphics::frmThumbnail = new graphics::TfrmThumbnail(this);
    filetools::frmGroupRename = new filetools::TfrmGroupRename(this);
    filetools::frmFileDate = new filetools::TfrmFileDate(this);
    filetools::frmBatchCopy = new filetools::TfrmBatchCopy(this);
    reports::frmFolderSize = new reports::TfrmFolderSize(this);
    reports::frmSysInfo = new reports::TfrmSysInfo(this);
    frmUserTools = new TfrmUserTools(this);
    Launchers = new TLaunchers(this);

    connect(actFileFilter, &QAction::triggered, this, [] { explorer::frmFileFilters->exec(); });
    // Without an explorer window there is nothing to unfilter, and the dialog keeps its texts.
    connect(actNoFilter, &QAction::triggered, this, [this] {
        if (ActiveExplorer())
            explorer::frmFileFilters->actNoFilterExecute();
    });
    connect(GoToFolder1, &QAction::triggered, this, [] { explorer::frmGoToFolder->exec(); });
    connect(Options1, &QAction::triggered, this, [this] {
        explorer::frmOptions->exec();
        // However the dialog closed, the windows show the stored options again.
        for (explorer::TfrmChild* child : Explorers())
            child->ApplyListingOptions();
    });
    connect(ConfigureUserTools1, &QAction::triggered, this, [] { frmUserTools->exec(); });
    connect(Encrypt1, &QAction::triggered, this, [] { filetools::frmEncrypt->Execute(QStringLiteral("E")); });
    connect(Decrypt1, &QAction::triggered, this, [] { filetools::frmEncrypt->Execute(QStringLiteral("D")); });
    connect(actConvert, &QAction::triggered, this, [] {
        graphics::frmConvert->LaunchedFromPreview = false;
        graphics::frmConvert->exec();
    });
    // Convert follows the selected file's extension.
    m_unbuilt.remove(actConvert);
    connect(GraphicThumbnails1, &QAction::triggered, this, [] {
        const QString folder = CurShellTree ? CurShellTree->SelectedPath() : QString();
        graphics::frmThumbnail->setWindowTitle(QString::fromLatin1(graphics::texts::ThumbnailCaptionOpen) + folder
                                               + QString::fromLatin1(graphics::texts::ThumbnailCaptionClose));
        graphics::frmThumbnail->exec();
    });
    GraphicThumbnails1->setVisible(true);
    setAvailable(GraphicThumbnails1, true);
    connect(GroupRename1, &QAction::triggered, this, [] { filetools::frmGroupRename->exec(); });
    connect(ChangeDateTime1, &QAction::triggered, this, [] { filetools::frmFileDate->Execute(); });
    connect(Destroy1, &QAction::triggered, this, [this] { filetools::Destroy1Click(this); });
    // The window has its input (the current folder and a destination tree), so it is offered.
    connect(BatchCopy1, &QAction::triggered, this, [] { filetools::frmBatchCopy->exec(); });
    BatchCopy1->setVisible(true);
    connect(FolderSizes1, &QAction::triggered, this, [] { reports::FolderSizes1Click(); });
    // The sheet has something to say on this system too, so it is offered.
    connect(SystemInformation1, &QAction::triggered, this, [] { reports::frmSysInfo->exec(); });
    SystemInformation1->setVisible(true);
    for (QAction* item : mnuUserTool)
        connect(item, &QAction::triggered, this, [this, item] { mnuUserToolClick(item, *PFormSettings1); });

    for (QAction* a : {actFileFilter, actNoFilter, GoToFolder1, Options1, ConfigureUserTools1, GroupRename1,
                       ChangeDateTime1, Destroy1, BatchCopy1, FolderSizes1, SystemInformation1, MapNetworkDrive1,
                       DisconnectNetworkDrive1, ClipboardViewer1, DOSPrompt1})
        setAvailable(a, true);
    // The desktop's own programs stand in for the applets; without one the item stays off.
    setAvailable(ControlPanel1, !platform::FindDesktopProgram(platform::DesktopProgram::Settings).isEmpty());
    setAvailable(Calculator1, !platform::FindDesktopProgram(platform::DesktopProgram::Calculator).isEmpty());
    setAvailable(FormatDiskette1, !platform::FindDesktopProgram(platform::DesktopProgram::Disks).isEmpty());
    setAvailable(CopyDiskette1, false);
    cboRun->setEnabled(true);
    cmdRun->setEnabled(true);
}

void TfrmMain::BuildUserToolsMenu()
{
    app::BuildUserToolsMenu(Tools1, *PFormSettings1);
}

} // namespace corvane::app
