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
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <cstdlib>

namespace corvane::app {

namespace {

// Our own toolbar pictures, for commands that icon themes have no picture for.
enum class Picture {
    None, LargeIcons, SmallIcons, List, Details, Filter, NoFilter, TileHoriz, TileVert, Cascade, Unzip, ExpandDrive, CollapseDrive,
    // Pictures drawn only when the icon theme has none for the command.
    Cut, Copy, Paste, Back, Forward, Up, Delete, Preview, NewWindow, Refresh, Zip, Plus, Minus, Convert,
};

bool themeFirst(Picture picture)
{
    return picture == Picture::None || picture >= Picture::Cut;
}

void drawPicture(QPainter& p, Picture picture, int size, const QColor& ink, const QColor& fill)
{
    const qreal u = size / 16.0;
    auto box = [&](qreal x, qreal y, qreal w, qreal h) { p.drawRect(QRectF(x * u, y * u, w * u, h * u)); };
    auto line = [&](qreal x0, qreal y, qreal x1) { p.drawLine(QPointF(x0 * u, y * u), QPointF(x1 * u, y * u)); };
    p.setPen(QPen(ink, qMax<qreal>(1.0, u)));
    p.setBrush(fill);
    switch (picture) {
    case Picture::LargeIcons:
        box(1.5, 1.5, 5.5, 5.5), box(9, 1.5, 5.5, 5.5), box(1.5, 9, 5.5, 5.5), box(9, 9, 5.5, 5.5);
        break;
    case Picture::SmallIcons:
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                box(1.5 + c * 5, 1.5 + r * 5, 3, 3);
        break;
    case Picture::List:
        for (int r = 0; r < 3; ++r) {
            box(1.5, 2 + r * 4.5, 2.5, 2.5);
            line(6, 3.25 + r * 4.5, 14.5);
        }
        break;
    case Picture::Details:
        box(1.5, 1.5, 13, 3);
        for (int r = 0; r < 3; ++r)
            line(1.5, 7.5 + r * 3, 14.5);
        p.drawLine(QPointF(8 * u, 1.5 * u), QPointF(8 * u, 14.5 * u));
        break;
    case Picture::Filter:
    case Picture::NoFilter: {
        QPolygonF funnel({{1.5 * u, 2 * u}, {14.5 * u, 2 * u}, {9.5 * u, 8 * u}, {9.5 * u, 14 * u}, {6.5 * u, 12 * u}, {6.5 * u, 8 * u}});
        p.drawPolygon(funnel);
        if (picture == Picture::NoFilter) {
            p.setPen(QPen(QColor(200, 40, 40, ink.alpha()), 1.6 * u));
            p.drawLine(QPointF(10 * u, 9 * u), QPointF(15 * u, 14.5 * u));
            p.drawLine(QPointF(15 * u, 9 * u), QPointF(10 * u, 14.5 * u));
        }
        break;
    }
    case Picture::TileHoriz:
        box(1.5, 1.5, 13, 5.5), box(1.5, 9, 13, 5.5);
        break;
    case Picture::TileVert:
        box(1.5, 1.5, 5.5, 13), box(9, 1.5, 5.5, 13);
        break;
    case Picture::Cascade:
        box(1.5, 1.5, 9, 7), box(4, 4, 9, 7), box(6.5, 6.5, 8, 8);
        break;
    case Picture::Unzip:
        box(1.5, 6, 13, 8.5);
        line(1.5, 9, 14.5);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({{8 * u, 0.5 * u}, {8 * u, 0.5 * u}, {11 * u, 4 * u}, {5 * u, 4 * u}}));
        break;
    case Picture::ExpandDrive:
    case Picture::CollapseDrive:
        box(1.5, 5, 13, 6.5);
        p.setBrush(ink);
        p.drawEllipse(QPointF(12 * u, 8.25 * u), 0.9 * u, 0.9 * u);
        p.setPen(QPen(ink, 1.6 * u));
        line(3.5, 8.25, 8.5);
        if (picture == Picture::ExpandDrive)
            p.drawLine(QPointF(6 * u, 5.75 * u), QPointF(6 * u, 10.75 * u));
        break;
    case Picture::Cut:
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(4.5 * u, 12 * u), 2.5 * u, 2.5 * u);
        p.drawEllipse(QPointF(11.5 * u, 12 * u), 2.5 * u, 2.5 * u);
        p.drawLine(QPointF(6 * u, 10 * u), QPointF(12 * u, 1 * u));
        p.drawLine(QPointF(10 * u, 10 * u), QPointF(4 * u, 1 * u));
        break;
    case Picture::Copy:
        box(1.5, 1.5, 8, 10), box(6.5, 4.5, 8, 10);
        break;
    case Picture::Paste:
        box(2, 2.5, 10, 12.5);
        p.setBrush(ink);
        box(4.5, 1, 5, 3);
        p.setBrush(fill);
        box(7, 7, 7.5, 8);
        break;
    case Picture::Back:
    case Picture::Forward:
    case Picture::Up: {
        // An arrow pointing left, turned for the others.
        p.save();
        p.translate(8 * u, 8 * u);
        p.rotate(picture == Picture::Forward ? 180 : picture == Picture::Up ? 90 : 0);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({{-7 * u, 0}, {-1 * u, -6 * u}, {-1 * u, -2.5 * u}, {7 * u, -2.5 * u}, {7 * u, 2.5 * u},
                                 {-1 * u, 2.5 * u}, {-1 * u, 6 * u}}));
        p.restore();
        break;
    }
    case Picture::Delete:
        p.setPen(QPen(QColor(200, 40, 40, ink.alpha()), 2.2 * u, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3 * u, 3 * u), QPointF(13 * u, 13 * u));
        p.drawLine(QPointF(13 * u, 3 * u), QPointF(3 * u, 13 * u));
        break;
    case Picture::Preview:
        box(1.5, 1.5, 10, 13);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(9.5 * u, 9 * u), 3 * u, 3 * u);
        p.setPen(QPen(ink, 1.8 * u));
        p.drawLine(QPointF(11.7 * u, 11.2 * u), QPointF(14.8 * u, 14.5 * u));
        break;
    case Picture::NewWindow:
        box(1.5, 2.5, 13, 11);
        p.setBrush(ink);
        box(1.5, 2.5, 13, 2.5);
        p.setPen(QPen(ink, 1.6 * u));
        line(5.5, 9.5, 10.5);
        p.drawLine(QPointF(8 * u, 7 * u), QPointF(8 * u, 12 * u));
        break;
    case Picture::Refresh: {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 1.6 * u));
        p.drawArc(QRectF(2.5 * u, 2.5 * u, 11 * u, 11 * u), 60 * 16, 280 * 16);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({{11 * u, 0.5 * u}, {14.5 * u, 4.5 * u}, {9.5 * u, 5.5 * u}}));
        break;
    }
    case Picture::Zip:
        box(2, 1.5, 12, 13);
        for (int r = 0; r < 5; ++r)
            line(r % 2 ? 6.5 : 8, 3 + r * 2, r % 2 ? 8 : 9.5);
        break;
    case Picture::Plus:
    case Picture::Minus:
        p.setPen(QPen(ink, 2.2 * u));
        line(2.5, 8, 13.5);
        if (picture == Picture::Plus)
            p.drawLine(QPointF(8 * u, 2.5 * u), QPointF(8 * u, 13.5 * u));
        break;
    case Picture::Convert:
        box(1.5, 2.5, 13, 11);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({{3 * u, 12 * u}, {7 * u, 6 * u}, {10 * u, 10 * u}, {11.5 * u, 8.5 * u}, {13 * u, 12 * u}}));
        p.drawEllipse(QPointF(11 * u, 5.5 * u), 1.2 * u, 1.2 * u);
        break;
    case Picture::None:
        break;
    }
}

// A toolbar icon from the icon theme (its full-colour picture, else its symbolic one), else our
// own picture. The disabled look is drawn greyed, so that enabled and disabled buttons differ.
QIcon toolIcon(const char* themeName, Picture picture)
{
    const QString name = QString::fromLatin1(themeName);
    if (themeFirst(picture) && !name.isEmpty()) {
        for (const QString& candidate : {name, name + QStringLiteral("-symbolic")}) {
            if (QIcon::hasThemeIcon(candidate))
                return QIcon::fromTheme(candidate);
        }
    }
    QIcon drawn;
    for (int size : {16, 20, 24, 32, 48}) {
        for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
            QPixmap pm(size, size);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            const bool on = mode == QIcon::Normal;
            drawPicture(p, picture, size, on ? QColor(40, 70, 120) : QColor(150, 150, 150, 160),
                        on ? QColor(200, 220, 245) : QColor(235, 235, 235, 120));
            p.end();
            drawn.addPixmap(pm, mode);
        }
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

// A drive button: its caption, then its glyph 3 pixels to the right, centred together. The
// style's own text-beside-icon layout pushes a short caption and the glyph to opposite edges,
// so the glyph seems to belong to the next button.
class TDriveButton : public QToolButton
{
public:
    using QToolButton::QToolButton;

    QSize sizeHint() const override
    {
        const QSize content = contentSize();
        return QSize(content.width() + Scaled(12), std::max(content.height() + Scaled(6), QToolButton::sizeHint().height()));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter p(this);
        QStyleOptionToolButton opt;
        initStyleOption(&opt);
        // The frame only: caption and glyph are drawn below.
        opt.text.clear();
        opt.icon = QIcon();
        p.drawComplexControl(QStyle::CC_ToolButton, opt);
        const QSize content = contentSize();
        QRect r(QPoint((width() - content.width()) / 2, 0), QSize(content.width(), height()));
        if (isDown())
            r.translate(1, 1);
        const int textWidth = fontMetrics().horizontalAdvance(text());
        p.drawItemText(QRect(r.left(), 0, textWidth, height()), Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), text(),
                       QPalette::ButtonText);
        if (!icon().isNull()) {
            const QSize glyph = iconSize();
            icon().paint(&p, QRect(QPoint(r.right() + 1 - glyph.width(), (height() - glyph.height()) / 2), glyph),
                         Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        }
    }

private:
    QSize contentSize() const
    {
        const QFontMetrics fm = fontMetrics();
        int w = fm.horizontalAdvance(text());
        int h = fm.height();
        if (!icon().isNull()) {
            w += Scaled(3) + iconSize().width();
            h = std::max(h, iconSize().height());
        }
        return {w, h};
    }
};

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
    platform::IconTable::UseInstalledTheme();
    struct Def {
        QAction** target;
        const char* caption;
        const char* hint;
        QKeySequence key;
        const char* icon;
        Picture picture;
    };
    const Def defs[] = {
        {&actCut, "&Cut", "Cut", QKeySequence(Qt::CTRL | Qt::Key_X), "edit-cut", Picture::Cut},
        {&actCopy, "&Copy", "Copy", QKeySequence(Qt::CTRL | Qt::Key_C), "edit-copy", Picture::Copy},
        {&actPaste, "&Paste", "Paste", QKeySequence(Qt::CTRL | Qt::Key_V), "edit-paste", Picture::Paste},
        {&actBack, "Back", "Back", {}, "go-previous", Picture::Back},
        {&actForward, "Forward", "Forward", {}, "go-next", Picture::Forward},
        {&actUp, "Up", "Up One Level (Backspace)", {}, "go-up", Picture::Up},
        {&actLargeIcons, "&Large Icons", "Large Icons", {}, "", Picture::LargeIcons},
        {&actSmallIcons, "&Small Icons", "Small Icons", {}, "", Picture::SmallIcons},
        {&actList, "Lis&t", "List", {}, "", Picture::List},
        {&actDetails, "&Details", "Details", {}, "", Picture::Details},
        {&actPreview, "&Preview Window", "Preview Window", QKeySequence(Qt::Key_F12), "document-print-preview", Picture::Preview},
        {&actDelete, "actDelete", "Delete", {}, "edit-delete", Picture::Delete},
        {&actNewWindow, "New", "New Window", QKeySequence(Qt::CTRL | Qt::Key_N), "window-new", Picture::NewWindow},
        {&actCascade, "Cascade", "Cascade", QKeySequence(Qt::CTRL | Qt::Key_D), "", Picture::Cascade},
        {&actTileHoriz, "Tile Horizontal", "Tile Horizontal", QKeySequence(Qt::CTRL | Qt::Key_H), "", Picture::TileHoriz},
        {&actTileVert, "Tile Vertical", "Tile Vertical", QKeySequence(Qt::CTRL | Qt::Key_R), "", Picture::TileVert},
        {&actRefresh, "&Refresh", "Refresh", QKeySequence(Qt::Key_F5), "view-refresh", Picture::Refresh},
        {&actZip, "Create &Zip File", "Create Zip File", QKeySequence(Qt::CTRL | Qt::Key_Z), "package-x-generic", Picture::Zip},
        {&actUnzip, "Unzip File", "Unzip File", QKeySequence(Qt::CTRL | Qt::Key_U), "", Picture::Unzip},
        {&actExpandDrive, "E&xpand Drive", "Expand Drive", {}, "", Picture::ExpandDrive},
        {&actCollapseDrive, "C&ollapse Drive", "Collapse Drive", {}, "", Picture::CollapseDrive},
        {&actExpandFolder, "&Expand Folder", "Expand Folder", {}, "list-add", Picture::Plus},
        {&actCollapseFolder, "&Collapse Folder", "Collapse Folder", {}, "list-remove", Picture::Minus},
        {&actFileFilter, "&File Filter", "File Filter", QKeySequence(Qt::Key_F11), "", Picture::Filter},
        {&actNoFilter, "&No Filter", "No Filter", QKeySequence(Qt::CTRL | Qt::Key_F11), "", Picture::NoFilter},
        {&actConvert, "Con&vert Graphic", "Convert Graphic", {}, "image-x-generic", Picture::Convert},
    };
    for (const Def& d : defs) {
        auto* a = new QAction(QString::fromLatin1(d.caption), this);
        a->setToolTip(QString::fromLatin1(d.hint));
        a->setStatusTip(QString::fromLatin1(d.hint));
        a->setIcon(toolIcon(d.icon, d.picture));
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
    connect(actPreview, &QAction::triggered, this, &TfrmMain::actPreviewExecute);
    connect(actBack, &QAction::triggered, this, &TfrmMain::actBackExecute);
    connect(actForward, &QAction::triggered, this, &TfrmMain::actForwardExecute);
    connect(actUp, &QAction::triggered, this, &TfrmMain::actUpExecute);
    connect(actCascade, &QAction::triggered, this, &TfrmMain::actCascadeExecute);
    connect(actTileHoriz, &QAction::triggered, this, &TfrmMain::actTileHorizExecute);
    connect(actTileVert, &QAction::triggered, this, &TfrmMain::actTileVertExecute);

    // Commands whose work comes with later parts of the program stay visible and disabled.
    for (QAction* a : {actCut, actCopy, actPaste, actDelete, actRefresh, actZip,
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
    // The check mark shows the active list's order, however it was chosen (menu or header click).
    auto* arrangeGroup = new QActionGroup(ArrangeIcons1);
    arrangeGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction* a : {ByName1, BySize1, ByType1, ByDate1, ByExtension1}) {
        a->setCheckable(true);
        arrangeGroup->addAction(a);
    }
    connect(ArrangeIcons1, &QMenu::aboutToShow, this, [this] {
        QAction* byKey[] = {ByExtension1, ByName1, BySize1, ByType1, ByDate1};
        const int key = CurShellList ? std::abs(CurShellList->SortKey()) : -1;
        for (int k = 0; k < 5; ++k)
            byKey[k]->setChecked(k == key);
    });
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
    // The first button's frame does not touch the label.
    lblDrives->setContentsMargins(0, 0, Scaled(6), 0);
    ToolBar2->addWidget(lblDrives);
}

void TfrmMain::CreateDriveButtons()
{
    for (QToolButton* b : DriveButtons)
        delete b;
    DriveButtons.clear();
    for (const platform::Volume& v : platform::DisplayedVolumes()) {
        auto* b = new TDriveButton(ToolBar2);
        b->setFont(QApplication::font());
        b->setText(v.shortName);
        b->setToolTip(platform::ReadableName(v.mountPoint));
        b->setIcon(driveGlyph(v.type));
        b->setAutoRaise(true);
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
