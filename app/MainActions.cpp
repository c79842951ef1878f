// The main window's actions, menus, toolbars and drive buttons, and the commands they keep
// enabled and checked.
#include "Mainform.h"

#include "AppTexts.h"
#include "UserTools.h"
#include "Utility.h"
#include "explorer/Child.h"
#include "platform/IconTable.h"
#include "platform/NameCodec.h"
#include "platform/Volumes.h"
#include "shellctl/ShellControls.h"

#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

namespace corvane::app {

namespace {

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

} // namespace corvane::app
