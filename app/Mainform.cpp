#include "Mainform.h"

#include "About.h"
#include "AppTexts.h"
#include "Globals.h"
#include "HelpWindow.h"
#include "Launchers.h"
#include "UserTools.h"
#include "Utility.h"
#include "explorer/Child.h"
#include "explorer/FileFilter.h"
#include "explorer/GoToFolder.h"
#include "explorer/StatusBar.h"
#include "explorer/History.h"
#include "explorer/Options.h"
#include "filetools/Encrypt.h"
#include "platform/IconTable.h"
#include "platform/IdListFormat.h"
#include "platform/Launch.h"
#include "platform/NameCodec.h"
#include "platform/Registry.h"
#include "platform/Volumes.h"
#include "settings/PFormSettings.h"
#include "shellctl/ShellControls.h"

#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

namespace corvane::app {

namespace {

// The explorer window whose history a Back or Forward menu shows.
constexpr char HistoryOwnerProperty[] = "corvaneHistoryOwner";

// A toolbar icon from the desktop theme, or a drawn one so that no button is ever blank.
QIcon toolIcon(const char* themeName, const QString& mark)
{
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(themeName));
    if (!icon.isNull())
        return icon;
    QIcon drawn;
    for (int size : {16, 24, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(50, 70, 110));
        p.setBrush(QColor(220, 230, 245));
        p.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 5.0, size / 5.0);
        QFont f = QApplication::font();
        f.setPixelSize(mark.size() > 1 ? size * 5 / 12 : size * 2 / 3);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, mark);
        drawn.addPixmap(pm);
    }
    return drawn;
}

QIcon driveGlyph(platform::DriveType type)
{
    // The four glyphs of the drive image list: removable, fixed, CD-ROM, network.
    switch (type) {
    case platform::DRIVE_REMOVABLE:
        return QIcon::fromTheme(QStringLiteral("drive-removable-media"), platform::IconTable::fallbackIcon(platform::IconTable::Drive));
    case platform::DRIVE_FIXED:
        return QIcon::fromTheme(QStringLiteral("drive-harddisk"), platform::IconTable::fallbackIcon(platform::IconTable::Drive));
    case platform::DRIVE_CDROM:
        return QIcon::fromTheme(QStringLiteral("media-optical"), platform::IconTable::fallbackIcon(platform::IconTable::Drive));
    case platform::DRIVE_REMOTE:
        return QIcon::fromTheme(QStringLiteral("folder-remote"), platform::IconTable::fallbackIcon(platform::IconTable::Drive));
    default:
        return {};
    }
}

} // namespace

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
    resize(Scaled(782), Scaled(515) + menuBar()->sizeHint().height() + ToolBar1->sizeHint().height() + ToolBar2->sizeHint().height());
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    createSettings();
    connectCommands();
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [](QMdiSubWindow* w) {
        if (auto* child = w ? qobject_cast<explorer::TfrmChild*>(w->widget()) : nullptr)
            child->FormActivate();
    });
    // The help file sits beside the program; a build tree also finds the sources' manual.
    HelpFile = QApplication::applicationDirPath() + QStringLiteral("/docs/index.html");
    if (!QFile::exists(HelpFile))
        HelpFile = QStringLiteral(CORVANE_DOCS_DIR "/index.html");
    createDialogs();
}

TfrmMain::~TfrmMain()
{
    if (frmMain == this)
        frmMain = nullptr;
}

void TfrmMain::createSettings()
{
    using settings::TPFormSettings;
    PFormSettings1 = new TPFormSettings(this);
    PFormSettings1->SetSoftwareName(QString::fromLatin1(texts::ProductName));
    PFormSettings1->SetCentreOnFirstShow(true);
    for (const char* part : {"Charset", "Color", "Height", "Name", "Pitch", "Size", "Style"})
        PFormSettings1->AddSetting({}, QStringLiteral("frmMain.Font.") + QLatin1String(part));
    PFormSettings1->AddSetting(QStringLiteral("NumChildren"));
    for (int n = 1; n <= 4; ++n) {
        for (const char* name : {"Top", "Left", "Height", "Width", "State", "View"})
            PFormSettings1->AddSetting(QLatin1String(name) + QString::number(n));
    }
    for (const char* name : {"PreviewOpen", "MaxPreviewSize", "GridLines", "ExcludeFolders", "PreviewFontName",
                             "PreviewFontSize", "PreviewFontBold", "PreviewFontItalic", "PreviewFontColor"})
        PFormSettings1->AddSetting(QLatin1String(name));
    for (int n = 1; n <= 9; ++n)
        PFormSettings1->AddSetting(QStringLiteral("UserTool%1").arg(n));
    PFormSettings1->OnPreSave = [this](QObject*) { PFormSettings1PreSave(); };
    TPFormSettings::SetErrorHandler([](const QString& message) { MsgBox(message, QString::fromLatin1(texts::Error), MB_ICONEXCLAMATION); });
}

void TfrmMain::setAvailable(QAction* a, bool on)
{
    if (on)
        m_unbuilt.remove(a);
    else
        m_unbuilt.insert(a);
    a->setEnabled(on);
}

void TfrmMain::createActions()
{
    struct Def {
        QAction** target;
        const char* caption;
        const char* hint;
        QKeySequence key;
        const char* icon;
        const char* mark;
    };
    const Def defs[] = {
        {&actCut, "&Cut", "Cut", QKeySequence(Qt::CTRL | Qt::Key_X), "edit-cut", "X"},
        {&actCopy, "&Copy", "Copy", QKeySequence(Qt::CTRL | Qt::Key_C), "edit-copy", "C"},
        {&actPaste, "&Paste", "Paste", QKeySequence(Qt::CTRL | Qt::Key_V), "edit-paste", "V"},
        {&actBack, "Back", "Back", {}, "go-previous", "<"},
        {&actForward, "Forward", "Forward", {}, "go-next", ">"},
        {&actUp, "Up", "Up One Level (Backspace)", {}, "go-up", "^"},
        {&actLargeIcons, "&Large Icons", "Large Icons", {}, "view-list-icons", "LI"},
        {&actSmallIcons, "&Small Icons", "Small Icons", {}, "view-grid", "SI"},
        {&actList, "Lis&t", "List", {}, "view-list-compact", "L"},
        {&actDetails, "&Details", "Details", {}, "view-list-details", "D"},
        {&actPreview, "&Preview Window", "Preview Window", QKeySequence(Qt::Key_F12), "document-print-preview", "P"},
        {&actDelete, "actDelete", "Delete", {}, "edit-delete", "Del"},
        {&actNewWindow, "New", "New Window", QKeySequence(Qt::CTRL | Qt::Key_N), "window-new", "N"},
        {&actCascade, "Cascade", "Cascade", QKeySequence(Qt::CTRL | Qt::Key_D), "", "Ca"},
        {&actTileHoriz, "Tile Horizontal", "Tile Horizontal", QKeySequence(Qt::CTRL | Qt::Key_H), "", "TH"},
        {&actTileVert, "Tile Vertical", "Tile Vertical", QKeySequence(Qt::CTRL | Qt::Key_R), "", "TV"},
        {&actRefresh, "&Refresh", "Refresh", QKeySequence(Qt::Key_F5), "view-refresh", "R"},
        {&actZip, "Create &Zip File", "Create Zip File", QKeySequence(Qt::CTRL | Qt::Key_Z), "package-x-generic", "Z"},
        {&actUnzip, "Unzip File", "Unzip File", QKeySequence(Qt::CTRL | Qt::Key_U), "", "U"},
        {&actExpandDrive, "E&xpand Drive", "Expand Drive", {}, "", "ED"},
        {&actCollapseDrive, "C&ollapse Drive", "Collapse Drive", {}, "", "CD"},
        {&actExpandFolder, "&Expand Folder", "Expand Folder", {}, "list-add", "+"},
        {&actCollapseFolder, "&Collapse Folder", "Collapse Folder", {}, "list-remove", "-"},
        {&actFileFilter, "&File Filter", "File Filter", QKeySequence(Qt::Key_F11), "", "F"},
        {&actNoFilter, "&No Filter", "No Filter", QKeySequence(Qt::CTRL | Qt::Key_F11), "", "NF"},
        {&actConvert, "Con&vert Graphic", "Convert Graphic", {}, "image-x-generic", "G"},
    };
    for (const Def& d : defs) {
        auto* a = new QAction(QString::fromLatin1(d.caption), this);
        a->setToolTip(QString::fromLatin1(d.hint));
        a->setStatusTip(QString::fromLatin1(d.hint));
        a->setIcon(toolIcon(d.icon, QString::fromLatin1(d.mark)));
        if (!d.key.isEmpty())
            a->setShortcut(d.key);
        *d.target = a;
    }
    actBack->setEnabled(false);
    actForward->setEnabled(false);
    actPaste->setEnabled(false);

    m_viewGroup = new QActionGroup(this);
    for (QAction* a : {actLargeIcons, actSmallIcons, actList, actDetails}) {
        a->setCheckable(true);
        m_viewGroup->addAction(a);
    }
    actDetails->setChecked(true);
    actPreview->setCheckable(true);
    connect(actLargeIcons, &QAction::triggered, this, [this] { setViewStyle(shellctl::vsIcon); });
    connect(actSmallIcons, &QAction::triggered, this, [this] { setViewStyle(shellctl::vsSmallIcon); });
    connect(actList, &QAction::triggered, this, [this] { setViewStyle(shellctl::vsList); });
    connect(actDetails, &QAction::triggered, this, [this] { setViewStyle(shellctl::vsReport); });
    connect(actNewWindow, &QAction::triggered, this, &TfrmMain::actNewWindowExecute);
    connect(actBack, &QAction::triggered, this, &TfrmMain::actBackExecute);
    connect(actForward, &QAction::triggered, this, &TfrmMain::actForwardExecute);
    connect(actUp, &QAction::triggered, this, &TfrmMain::actUpExecute);
    connect(actCascade, &QAction::triggered, this, &TfrmMain::actCascadeExecute);
    connect(actTileHoriz, &QAction::triggered, this, &TfrmMain::actTileHorizExecute);
    connect(actTileVert, &QAction::triggered, this, &TfrmMain::actTileVertExecute);

    // Commands whose work comes with later parts of the program stay visible and disabled.
    for (QAction* a : {actCut, actCopy, actPaste, actPreview, actDelete, actRefresh, actZip,
                       actUnzip, actExpandDrive, actCollapseDrive, actExpandFolder, actCollapseFolder, actFileFilter,
                       actNoFilter, actConvert})
        setAvailable(a, false);
}

void TfrmMain::createMenus()
{
    auto item = [this](QMenu* menu, const char* caption, QKeySequence key = {}) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        if (!key.isEmpty())
            a->setShortcut(key);
        return a;
    };
    FFile1 = menuBar()->addMenu(QStringLiteral("&File"));
    QMenu* New2 = FFile1->addMenu(QStringLiteral("&New"));
    Folder1 = item(New2, "&Folder");
    Shortcut1 = item(New2, "&Shortcut");
    FFile1->addSeparator();
    Open1 = item(FFile1, "&Open");
    OpenWithAssociate1 = item(FFile1, "Open &With/Associate");
    FFile1->addSeparator();
    CreateShortcut1 = item(FFile1, "Create &Shortcut");
    QAction* Delete1 = FFile1->addAction(QStringLiteral("&Delete"));
    connect(actDelete, &QAction::changed, Delete1, [Delete1, this] { Delete1->setEnabled(actDelete->isEnabled()); });
    Delete1->setEnabled(actDelete->isEnabled());
    connect(Delete1, &QAction::triggered, actDelete, &QAction::trigger);
    Rename1 = item(FFile1, "&Rename", QKeySequence(Qt::Key_F2));
    GroupRename1 = item(FFile1, "&Group Rename", QKeySequence(Qt::CTRL | Qt::Key_F2));
    Properties1 = item(FFile1, "P&roperties");
    ChangeDateTime1 = item(FFile1, "&Change Date/Time");
    BatchCopy1 = item(FFile1, "&Batch Copy");
    BatchCopy1->setVisible(false);
    FFile1->addSeparator();
    FTP1 = item(FFile1, "&FTP");
    FTP1->setVisible(false);
    FFile1->addAction(actZip);
    FFile1->addAction(actUnzip);
    FFile1->addSeparator();
    FFile1->addAction(actConvert);
    Encrypt1 = item(FFile1, "&Encrypt");
    Decrypt1 = item(FFile1, "Decr&ypt");
    Destroy1 = item(FFile1, "Destroy");
    FFile1->addSeparator();
    Exit1 = item(FFile1, "E&xit");
    connect(Exit1, &QAction::triggered, this, &QWidget::close);

    Edit1 = menuBar()->addMenu(QStringLiteral("&Edit"));
    connect(Edit1, &QMenu::aboutToShow, this, &TfrmMain::UpdatePasteState);
    Edit1->addAction(actCut);
    Edit1->addAction(actCopy);
    Edit1->addAction(actPaste);
    Edit1->addSeparator();
    SelectAll1 = item(Edit1, "&Select All", QKeySequence(Qt::CTRL | Qt::Key_A));
    DeselectAll1 = item(Edit1, "&Deselect All", QKeySequence(Qt::CTRL | Qt::Key_L));
    InvertSelection1 = item(Edit1, "&Invert Selection", QKeySequence(Qt::CTRL | Qt::Key_I));
    Edit1->addSeparator();
    GoToFolder1 = item(Edit1, "&Go To Folder", QKeySequence(Qt::CTRL | Qt::Key_G));

    View1 = menuBar()->addMenu(QStringLiteral("&View"));
    View1->addAction(actLargeIcons);
    View1->addAction(actSmallIcons);
    View1->addAction(actList);
    View1->addAction(actDetails);
    View1->addSeparator();
    View1->addAction(actExpandFolder);
    View1->addAction(actCollapseFolder);
    View1->addAction(actExpandDrive);
    View1->addAction(actCollapseDrive);
    View1->addSeparator();
    QMenu* ArrangeIcons1 = View1->addMenu(QStringLiteral("&Arrange Icons"));
    ByName1 = item(ArrangeIcons1, "By &Name");
    BySize1 = item(ArrangeIcons1, "By &Size");
    ByType1 = item(ArrangeIcons1, "By &Type");
    ByDate1 = item(ArrangeIcons1, "By &Date");
    ByExtension1 = item(ArrangeIcons1, "By &Extension");
    View1->addAction(actRefresh);
    View1->addSeparator();
    View1->addAction(actFileFilter);
    View1->addAction(actNoFilter);
    View1->addSeparator();
    View1->addAction(actPreview);
    GraphicThumbnails1 = item(View1, "&Graphic Thumbnails");
    GraphicThumbnails1->setVisible(false);
    FolderSizes1 = item(View1, "Folder &Sizes");

    Tools1 = menuBar()->addMenu(QStringLiteral("&Tools"));
    Find1 = item(Tools1, "&Find");
    Tools1->addSeparator();
    MapNetworkDrive1 = item(Tools1, "&Map Network Drive");
    DisconnectNetworkDrive1 = item(Tools1, "&Disconnect Network Drive");
    Tools1->addSeparator();
    SystemInformation1 = item(Tools1, "&System Information");
    SystemInformation1->setVisible(false);
    ControlPanel1 = item(Tools1, "&Control Panel");
    ClipboardViewer1 = item(Tools1, "Clipboard &Viewer");
    Calculator1 = item(Tools1, "Calc&ulator");
    DOSPrompt1 = item(Tools1, "DOS &Prompt");
    Tools1->addSeparator();
    FormatDiskette1 = item(Tools1, "Forma&t Diskette");
    CopyDiskette1 = item(Tools1, "Cop&y Diskette");
    Tools1->addSeparator();
    Options1 = item(Tools1, "&Options");
    Tools1->addSeparator();
    ConfigureUserTools1 = item(Tools1, "Co&nfigure User Tools");
    Tools1->addSeparator();
    for (int i = 0; i < 9; ++i) {
        mnuUserTool[i] = Tools1->addAction(QStringLiteral("UserTool%1").arg(i + 1));
        mnuUserTool[i]->setData(i + 1);
        mnuUserTool[i]->setVisible(false);
    }

    Window1 = menuBar()->addMenu(QStringLiteral("&Window"));
    connect(Window1, &QMenu::aboutToShow, this, &TfrmMain::fillWindowMenu);
    Window1->addAction(actNewWindow);
    Window1->addAction(actTileHoriz);
    Window1->addAction(actTileVert);
    Window1->addAction(actCascade);

    Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
    HelpContents1 = item(Help1, texts::HelpContents, QKeySequence(Qt::Key_F1));
    connect(HelpContents1, &QAction::triggered, this, &TfrmMain::showHelp);
    Help1->addSeparator();
    About1 = item(Help1, "&About");
    connect(About1, &QAction::triggered, this, &TfrmMain::showAbout);

    for (QAction* a : {Folder1, Shortcut1, Open1, OpenWithAssociate1, CreateShortcut1, Rename1, GroupRename1, Properties1,
                       ChangeDateTime1, BatchCopy1, Destroy1, SelectAll1, DeselectAll1, InvertSelection1,
                       GoToFolder1, ByName1, BySize1, ByType1, ByDate1, ByExtension1, GraphicThumbnails1, FolderSizes1,
                       Find1, MapNetworkDrive1, DisconnectNetworkDrive1, SystemInformation1, ControlPanel1,
                       ClipboardViewer1, Calculator1, DOSPrompt1, FormatDiskette1, CopyDiskette1, Options1,
                       ConfigureUserTools1})
        setAvailable(a, false);
}

void TfrmMain::createToolBars()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(Scaled(20), Scaled(20)));
    mnuBack = new QMenu(this);
    mnuForward = new QMenu(this);
    auto add = [this](QAction* a) { ToolBar1->addAction(a); };
    add(actBack);
    add(actForward);
    add(actUp);
    ToolBar1->addSeparator();
    for (QAction* a : {actCut, actCopy, actPaste, actDelete})
        add(a);
    ToolBar1->addSeparator();
    for (QAction* a : {actLargeIcons, actSmallIcons, actList, actDetails})
        add(a);
    ToolBar1->addSeparator();
    for (QAction* a : {actExpandFolder, actCollapseFolder, actFileFilter, actNoFilter, actRefresh, actPreview})
        add(a);
    ToolBar1->addSeparator();
    for (QAction* a : {actNewWindow, actTileHoriz, actTileVert, actCascade})
        add(a);
    ToolBar1->addSeparator();
    for (QAction* a : {actZip, actUnzip, actConvert})
        add(a);
    // The history menus open on the right mouse button of Back and Forward; they are built as they open.
    connect(mnuBack, &QMenu::triggered, this, &TfrmMain::JumpToHistoryEntry);
    connect(mnuForward, &QMenu::triggered, this, &TfrmMain::JumpToHistoryEntry);
    for (auto [action, menu] : {std::pair{actBack, mnuBack}, std::pair{actForward, mnuForward}}) {
        QWidget* button = ToolBar1->widgetForAction(action);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this, [this, button, menu = menu](const QPoint& pos) {
            if (menu == mnuBack)
                mnuBackPopup();
            else
                mnuForwardPopup();
            if (!menu->isEmpty())
                menu->popup(button->mapToGlobal(pos));
        });
    }

    addToolBarBreak();
    ToolBar2 = addToolBar(QStringLiteral("ToolBar2"));
    ToolBar2->setMovable(false);
    ToolBar2->setMinimumHeight(Scaled(30));
    auto* Panel2 = new QLabel(QString::fromLatin1(texts::RunLabel), ToolBar2);
    Panel2->setMinimumWidth(Scaled(43));
    ToolBar2->addWidget(Panel2);
    cboRun = new QComboBox(ToolBar2);
    cboRun->setEditable(true);
    cboRun->setFixedWidth(Scaled(240));
    ToolBar2->addWidget(cboRun);
    cmdRun = new QPushButton(QString::fromLatin1(texts::Ok), ToolBar2);
    cmdRun->setFixedWidth(Scaled(48));
    ToolBar2->addWidget(cmdRun);
    // The run box comes with the launchers.
    cboRun->setEnabled(false);
    cmdRun->setEnabled(false);
    auto* sepDrives = new QWidget(ToolBar2);
    sepDrives->setFixedWidth(Scaled(20));
    ToolBar2->addWidget(sepDrives);
    lblDrives = new QLabel(QString::fromLatin1(texts::Drives), ToolBar2);
    lblDrives->setMinimumWidth(Scaled(49));
    ToolBar2->addWidget(lblDrives);
}

void TfrmMain::CreateDriveButtons()
{
    for (QToolButton* b : DriveButtons)
        delete b;
    DriveButtons.clear();
    for (const platform::Volume& v : platform::MountedVolumes()) {
        auto* b = new QToolButton(ToolBar2);
        b->setFont(QApplication::font());
        b->setText(v.shortName);
        b->setToolTip(platform::ReadableName(v.mountPoint));
        b->setIcon(driveGlyph(v.type));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        // The glyph stands to the right of the caption.
        b->setLayoutDirection(Qt::RightToLeft);
        b->setAutoRaise(true);
        b->setMinimumWidth(Scaled(40));
        QString root = platform::DecodeName(v.mountPoint);
        connect(b, &QToolButton::clicked, this, [root] {
            if (CurShellTree)
                CurShellTree->SelectPath(root);
        });
        ToolBar2->addWidget(b);
        DriveButtons.push_back(b);
    }
}

void TfrmMain::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
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
    if (PFormSettings1->SettingByName(QStringLiteral("MaxPreviewSize")).AsInteger() == 0)
        PFormSettings1->SettingByName(QStringLiteral("MaxPreviewSize")).SetAsInteger(1000);
    LastArrangement = ' ';
    actExpandFolder->setShortcut(QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus)));
    actCollapseFolder->setShortcut(QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Minus)));
    actBack->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    actForward->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    Properties1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Return));
    BuildUserToolsMenu();
}

explorer::TfrmChild* TfrmMain::CreateExplorer()
{
    auto* child = new explorer::TfrmChild;
    QMdiSubWindow* sub = m_mdi->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(platform::IconTable::instance().icon(platform::SHGetIconIndex(platform::EmptyIdList(), 0)));
    // Help texts of the context menus go to the status bar's first panel.
    auto hint = [child](QObject*, const QString& text) { child->Status1->SetPanelText(0, text); };
    child->List1->OnPopupHint = hint;
    child->Tree1->OnPopupHint = hint;
    return child;
}

void TfrmMain::restoreExplorers()
{
    auto setting = [this](const QString& name) -> settings::TPSetting& { return PFormSettings1->SettingByName(name); };
    QString count = setting(QStringLiteral("NumChildren")).AsString();
    int n = count.isEmpty() ? 0 : setting(QStringLiteral("NumChildren")).AsInteger();
    if (n == 0) {
        actNewWindowExecute();
        return;
    }
    setUpdatesEnabled(false);
    // At most four explorer windows, whatever the store says.
    n = qBound(1, n, 4);
    for (int i = 1; i <= n; ++i) {
        QString k = QString::number(i);
        explorer::TfrmChild* child = CreateExplorer();
        auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget());
        int state = setting(QStringLiteral("State") + k).AsInteger();
        QRect r(setting(QStringLiteral("Left") + k).AsInteger(), setting(QStringLiteral("Top") + k).AsInteger(),
                setting(QStringLiteral("Width") + k).AsInteger(), setting(QStringLiteral("Height") + k).AsInteger());
        sub->show();
        if (r.width() > 0 && r.height() > 0)
            sub->setGeometry(r);
        if (state == 1)
            sub->showMinimized();
        else if (state == 2)
            sub->showMaximized();
        m_mdi->setActiveSubWindow(sub);
        int view = setting(QStringLiteral("View") + k).AsInteger();
        child->List1->SetViewStyle(shellctl::TViewStyle(qBound(0, view, 3)));
        child->Tree1->SelectPath(QStringLiteral("/"));
        if (QTreeWidgetItem* node = child->Tree1->currentItem())
            node->setExpanded(true);
        child->Tree1->scrollToTop();
    }
    actNewWindow->setEnabled(ExplorerCount() < 4);
    setUpdatesEnabled(true);
}

void TfrmMain::PFormSettings1PreSave()
{
    auto setting = [this](const QString& name) -> settings::TPSetting& { return PFormSettings1->SettingByName(name); };
    setting(QStringLiteral("NumChildren")).SetAsInteger(ExplorerCount());
    setting(QStringLiteral("PreviewOpen")).SetAsBoolean(!frmPreview.isNull());
    int n = 0;
    for (QMdiSubWindow* w : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        auto* child = qobject_cast<explorer::TfrmChild*>(w->widget());
        if (!child)
            continue;
        if (++n > 4)
            break;
        QString k = QString::number(n);
        QRect r = w->geometry();
        setting(QStringLiteral("Top") + k).SetAsInteger(r.top());
        setting(QStringLiteral("Left") + k).SetAsInteger(r.left());
        setting(QStringLiteral("Height") + k).SetAsInteger(r.height());
        setting(QStringLiteral("Width") + k).SetAsInteger(r.width());
        setting(QStringLiteral("State") + k).SetAsInteger(w->isMinimized() ? 1 : w->isMaximized() ? 2 : 0);
        setting(QStringLiteral("View") + k).SetAsInteger(int(child->List1->ViewStyle()));
    }
}

int TfrmMain::ExplorerCount() const
{
    int n = int(m_mdi->subWindowList().size());
    if (frmPreview)
        --n;
    return n;
}

std::vector<explorer::TfrmChild*> TfrmMain::Explorers() const
{
    std::vector<explorer::TfrmChild*> out;
    for (QMdiSubWindow* w : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* c = qobject_cast<explorer::TfrmChild*>(w->widget()))
            out.push_back(c);
    }
    return out;
}

void TfrmMain::actNewWindowExecute()
{
    if (ExplorerCount() >= 4)
        return;
    setUpdatesEnabled(false);
    explorer::TfrmChild* child = CreateExplorer();
    auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget());
    if (ExplorerCount() == 1) {
        sub->showMaximized();
    } else {
        sub->showNormal();
        ArrangeChildren();
    }
    // Active before it shows its first folder, so that folder starts the window's history.
    m_mdi->setActiveSubWindow(sub);
    child->Tree1->SelectPath(QStringLiteral("/"));
    if (QTreeWidgetItem* node = child->Tree1->currentItem())
        node->setExpanded(true);
    child->Tree1->scrollToTop();
    actNewWindow->setEnabled(ExplorerCount() < 4);
    m_mdi->setActiveSubWindow(sub);
    setUpdatesEnabled(true);
}

void TfrmMain::ChildClosed(explorer::TfrmChild*)
{
    // The closing window is still counted until it is gone.
    QMetaObject::invokeMethod(this, [this] { actNewWindow->setEnabled(ExplorerCount() < 4); }, Qt::QueuedConnection);
    actNewWindow->setEnabled(true);
}

void TfrmMain::ArrangeChildren()
{
    if (LastArrangement == 'C')
        cascade();
    else
        tile(LastArrangement == 'V');
}

void TfrmMain::tile(bool vertical)
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (!w->isMinimized() && w->isVisible())
            windows.append(w);
    }
    if (windows.isEmpty())
        return;
    QRect area = m_mdi->viewport()->rect();
    const int n = int(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = windows[i];
        if (w->isMaximized())
            w->showNormal();
        QRect r;
        if (vertical) {
            int x0 = area.width() * i / n, x1 = area.width() * (i + 1) / n;
            r = QRect(x0, 0, x1 - x0, area.height());
        } else {
            int y0 = area.height() * i / n, y1 = area.height() * (i + 1) / n;
            r = QRect(0, y0, area.width(), y1 - y0);
        }
        w->setGeometry(r);
    }
}

void TfrmMain::actTileHorizExecute()
{
    tile(false);
    LastArrangement = 'H';
}

void TfrmMain::actTileVertExecute()
{
    tile(true);
    LastArrangement = 'V';
}

void TfrmMain::cascade()
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (!w->isMinimized() && w->isVisible())
            windows.append(w);
    }
    if (windows.isEmpty())
        return;
    // Each window one title bar lower and to the right; together they fill the area.
    QRect area = m_mdi->viewport()->rect();
    const int step = windows.first()->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, windows.first()) + 2;
    const int n = int(windows.size());
    QSize size(qMax(area.width() - (n - 1) * step, area.width() / 2), qMax(area.height() - (n - 1) * step, area.height() / 2));
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = windows[i];
        if (w->isMaximized())
            w->showNormal();
        w->setGeometry(QRect(QPoint(i * step, i * step), size));
        w->raise();
    }
}

void TfrmMain::actCascadeExecute()
{
    cascade();
    LastArrangement = 'C';
}

void TfrmMain::setViewStyle(int style)
{
    if (CurShellList)
        CurShellList->SetViewStyle(shellctl::TViewStyle(style));
    ShowViewStyle(style);
}

void TfrmMain::ShowViewStyle(int style)
{
    QAction* actions[] = {actLargeIcons, actSmallIcons, actList, actDetails};
    if (style >= 0 && style < 4)
        actions[style]->setChecked(true);
}


void TfrmMain::UpdateHistoryButtons()
{
    updateBackForward();
}

explorer::TfrmChild* TfrmMain::ActiveExplorer() const
{
    QMdiSubWindow* sub = m_mdi->activeSubWindow() ? m_mdi->activeSubWindow() : m_mdi->currentSubWindow();
    return sub ? qobject_cast<explorer::TfrmChild*>(sub->widget()) : nullptr;
}

void TfrmMain::HistoryRecorded(int count)
{
    actBack->setEnabled(count > 1);
    actForward->setEnabled(false);
}

void TfrmMain::updateBackForward()
{
    explorer::TfrmChild* child = ActiveExplorer();
    if (!child)
        return;
    int i = child->lstHistory->ItemIndex(), count = child->lstHistory->Count();
    actBack->setEnabled(i > 0);
    actForward->setEnabled(i >= 0 && i <= count - 2);
}

void TfrmMain::moveInHistory(int step)
{
    explorer::TfrmChild* child = ActiveExplorer();
    if (!child)
        return;
    // Moving through the history is not itself recorded.
    child->chkUserTreeChange = false;
    explorer::THistory* h = child->lstHistory;
    int target = h->ItemIndex() + step;
    if (h->ItemIndex() >= 0 && target >= 0 && target < h->Count()) {
        h->SetItemIndex(target);
        child->Tree1->SelectPath(h->Items().at(target));
        updateBackForward();
    }
    child->chkUserTreeChange = true;
}

void TfrmMain::actBackExecute()
{
    moveInHistory(-1);
}

void TfrmMain::actForwardExecute()
{
    moveInHistory(1);
}

void TfrmMain::actUpExecute()
{
    explorer::TfrmChild* child = ActiveExplorer();
    if (!child)
        return;
    QTreeWidgetItem* node = child->Tree1->currentItem();
    if (node && node->parent())
        child->Tree1->setCurrentItem(node->parent());
}

void TfrmMain::fillHistoryMenu(QMenu* menu, bool back)
{
    menu->clear();
    explorer::TfrmChild* child = ActiveExplorer();
    if (!child)
        return;
    // The menu stays open in the window's event loop; its entries belong to this window's history.
    menu->setProperty(HistoryOwnerProperty, QVariant::fromValue(QPointer<QObject>(child)));
    const QStringList& items = child->lstHistory->Items();
    const QString selected = child->Tree1->SelectedPath();
    const int index = child->lstHistory->ItemIndex();
    int k = 0;
    // Back lists the entries before the current one, nearest first; Forward the current one on.
    for (int i = back ? index - 1 : qMax(0, index); (back ? i >= 0 : i < items.size()) && k < 9; i += back ? -1 : 1) {
        if (items[i] == selected)
            continue;
        QAction* a = menu->addAction(QStringLiteral("&%1 %2").arg(++k).arg(items[i]));
        a->setData(i);
    }
}

void TfrmMain::mnuBackPopup()
{
    fillHistoryMenu(mnuBack, true);
}

void TfrmMain::mnuForwardPopup()
{
    fillHistoryMenu(mnuForward, false);
}

void TfrmMain::JumpToHistoryEntry(QAction* item)
{
    if (!item)
        return;
    // The entry is for the window whose history filled the menu; one closed meanwhile takes its entries along.
    QObject* owner = item->parent() ? item->parent()->property(HistoryOwnerProperty).value<QPointer<QObject>>().data() : nullptr;
    auto* child = owner ? qobject_cast<explorer::TfrmChild*>(owner) : ActiveExplorer();
    if (!child || child != ActiveExplorer())
        return;
    // The caption is "&", the number, a blank and the path.
    const QString path = item->text().mid(3);
    const int index = item->data().toInt();
    if (child->lstHistory->Items().value(index) != path)
        return;
    child->chkUserTreeChange = false;
    child->Tree1->SelectPath(path);
    child->lstHistory->SetItemIndex(index);
    child->chkUserTreeChange = true;
    updateBackForward();
}

void TfrmMain::SetSelectionCommandsEnabled(bool on)
{
    for (QAction* a : {OpenWithAssociate1, ChangeDateTime1, Encrypt1, Decrypt1, Destroy1, actZip, actUnzip, actConvert})
        a->setEnabled(on && !m_unbuilt.contains(a));
}

void TfrmMain::SelectionNarrowed(bool openWith, bool unzip, bool convert)
{
    OpenWithAssociate1->setEnabled(openWith && !m_unbuilt.contains(OpenWithAssociate1));
    actUnzip->setEnabled(unzip && !m_unbuilt.contains(actUnzip));
    actConvert->setEnabled(convert && !m_unbuilt.contains(actConvert));
}

void TfrmMain::SetNewFolderEnabled(bool on)
{
    for (QAction* a : {Folder1, Shortcut1})
        a->setEnabled(on && !m_unbuilt.contains(a));
}

void TfrmMain::fillWindowMenu()
{
    for (QAction* a : m_windowItems)
        delete a;
    m_windowItems.clear();
    QList<QMdiSubWindow*> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    if (!windows.isEmpty())
        m_windowItems.append(Window1->addSeparator());
    int n = 0;
    for (QMdiSubWindow* w : windows) {
        QAction* a = Window1->addAction(QStringLiteral("&%1 %2").arg(++n).arg(w->widget()->windowTitle()));
        a->setCheckable(true);
        a->setChecked(w == m_mdi->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { m_mdi->setActiveSubWindow(w); });
        m_windowItems.append(a);
    }
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
    frmUserTools = new TfrmUserTools(this);
    Launchers = new TLaunchers(this);

    connect(actFileFilter, &QAction::triggered, this, [] { explorer::frmFileFilters->exec(); });
    connect(actNoFilter, &QAction::triggered, explorer::frmFileFilters, &explorer::TfrmFileFilters::actNoFilterExecute);
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
    for (QAction* item : mnuUserTool)
        connect(item, &QAction::triggered, this, [this, item] { mnuUserToolClick(item, *PFormSettings1); });

    for (QAction* a : {actFileFilter, actNoFilter, GoToFolder1, Options1, ConfigureUserTools1, MapNetworkDrive1,
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
