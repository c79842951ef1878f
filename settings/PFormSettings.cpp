#include "PFormSettings.h"

#include "PPropertyPath.h"
#include "PSettingConsts.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace corvane::settings {

namespace {

// Tags that mark the menu items of the recently-used list, so a rebuild finds them again.
constexpr int kMRUItemTag = 46371;
constexpr int kMRUSeparatorTag = 46358;
// How far a stored position may reach towards the right and bottom edges on the same screen.
constexpr int kEdgeMargin = 20;

QPointer<QWidget>& mainFormRef()
{
    static QPointer<QWidget> form;
    return form;
}

std::function<void(const QString&)>& errorHandler()
{
    static std::function<void(const QString&)> handler;
    return handler;
}

void reportError(const QString& message)
{
    if (errorHandler())
        errorHandler()(message);
    else
        qWarning("%s", qPrintable(message));
}

bool isFormWidget(const QWidget* w)
{
    return w && (w->isWindow() || qobject_cast<QMdiSubWindow*>(w->parentWidget()));
}

// The normal (not minimised or maximised) rectangle, with the frame's position and the
// client size: what move() and resize() take back.
QRect normalRect(const QWidget* w)
{
    const QRect now(w->pos(), w->size());
    if (!(w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        return now;
    const QRect g = w->normalGeometry();
    if (!g.isValid())
        return now;
    const QPoint frameOffset = w->geometry().topLeft() - w->pos();
    return QRect(g.topLeft() - frameOffset, g.size());
}

template<typename T, typename F>
T readOr(T fallback, F&& get)
{
    try {
        return get();
    } catch (const std::exception&) {
        return fallback;
    }
}

} // namespace

QString ScreenResText(const QSize& Screen)
{
    return QStringLiteral("%1x%2").arg(Screen.width()).arg(Screen.height());
}

QRect ApplyPlacementRules(const TPPlacement& Stored, const QRect& Current, const QSize& Screen, bool Centre)
{
    const int W = Screen.width();
    const int H = Screen.height();
    int left = Current.x();
    int top = Current.y();
    int width = Current.width();
    int height = Current.height();

    if (Stored.Left == -1 && Stored.Top == -1 && Stored.Width == -1 && Stored.Height == -1) {
        if (Centre && width < W && height < H) {
            left = (W - width) / 2;
            top = (H - height) / 2;
        } else {
            if (left + width > W)
                left = W - width;
            if (top + height > H)
                top = H - height;
            left = std::max(left, 0);
            top = std::max(top, 0);
        }
        return QRect(left, top, width, height);
    }

    // -1 means "not stored"; a value that a rule computed counts as set even when it is -1.
    int L = Stored.Left;
    int T = Stored.Top;
    bool setL = L != -1;
    bool setT = T != -1;
    if (Stored.ScreenRes != ScreenResText(Screen)) {
        if (L + Stored.Width > W) {
            L = W - Stored.Width;
            setL = true;
        }
        if (T + Stored.Height > H) {
            T = H - Stored.Height;
            setT = true;
        }
    } else {
        L = std::min(L, W - kEdgeMargin);
        T = std::min(T, H - kEdgeMargin);
    }
    if (setL)
        left = std::max(L, 0);
    if (setT)
        top = std::max(T, 0);
    if (Stored.Width != -1)
        width = Stored.Width;
    if (Stored.Height != -1)
        height = Stored.Height;
    return QRect(left, top, width, height);
}

TPFormSettings::TPFormSettings(QObject* Form, QObject* Owner)
    : TPSettings(Owner ? Owner : Form)
    , m_form(qobject_cast<QWidget*>(Form))
    , m_formMeta(Form ? Form->metaObject() : nullptr)
{
    if (!isFormWidget(m_form))
        throw EPFormSettingsException(consts::SParentNotForm());

    const Qt::WindowFlags flags = m_form->windowFlags();
    const Qt::WindowType type = Qt::WindowType(int(flags & Qt::WindowType_Mask));
    const bool fixedSize = m_form->minimumSize() == m_form->maximumSize();
    if (flags & Qt::FramelessWindowHint) {
        m_formSaveOpt = {};
        m_mruLength = 0;
    } else if (type == Qt::Dialog || type == Qt::Tool || type == Qt::Sheet || fixedSize) {
        m_formSaveOpt = TPFormSaveOpts(pfsLeft | pfsTop);
        m_mruLength = 0;
    } else if ((flags & Qt::CustomizeWindowHint)
               && !(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint))) {
        m_formSaveOpt &= ~TPFormSaveOpts(pfsState);
    }
    if (qobject_cast<QMdiSubWindow*>(m_form->parentWidget()))
        m_saveLocation = pslStream;
    // A form may declare its position as a dynamic property, as forms of the original did.
    if (m_form->property("Position").toString() == QLatin1String("poScreenCenter")) {
        m_form->setProperty("Position", QStringLiteral("poDefaultPosOnly"));
        m_centre = true;
    }
    if (!mainFormRef() && m_form->isWindow() && !m_form->parentWidget())
        mainFormRef() = m_form;
    m_form->installEventFilter(this);
}

TPFormSettings::~TPFormSettings() = default;

QWidget* TPFormSettings::MainForm()
{
    return mainFormRef();
}

void TPFormSettings::SetMainForm(QWidget* Form)
{
    mainFormRef() = Form;
}

void TPFormSettings::SetErrorHandler(std::function<void(const QString&)> Handler)
{
    errorHandler() = std::move(Handler);
}

void TPFormSettings::SetMRULength(int Value)
{
    if (Value < 0 || Value > 9)
        return;
    m_mruLength = Value;
    while (m_mru.size() > m_mruLength)
        m_mru.removeLast();
}

void TPFormSettings::SetMRUMaxItemWidth(int Value)
{
    if (Value >= 100 && Value <= 300)
        m_mruMaxItemWidth = Value;
}

void TPFormSettings::SetMRUMenuItem(QAction* Item)
{
    m_mruMenuItem = Item;
    if (!Item)
        return;
    QList<QMenu*> menus;
    if (m_mruPlacement == pmpDescending) {
        if (Item->menu())
            menus << Item->menu();
    } else {
        for (QObject* o : Item->associatedObjects()) {
            if (auto* m = qobject_cast<QMenu*>(o))
                menus << m;
        }
    }
    for (QMenu* m : menus)
        connect(m, &QMenu::aboutToShow, this, &TPFormSettings::RebuildMRUMenu, Qt::UniqueConnection);
}

void TPFormSettings::MRUAdd(const QString& FileName)
{
    m_mru.removeAll(FileName);
    m_mru.prepend(FileName);
    while (m_mru.size() > m_mruLength)
        m_mru.removeLast();
}

void TPFormSettings::MRURemove(const QString& FileName)
{
    m_mru.removeAll(FileName);
}

void TPFormSettings::MRUClear()
{
    m_mru.clear();
}

void TPFormSettings::RebuildMRUMenu()
{
    while (m_mru.size() > m_mruLength)
        m_mru.removeLast();
    if (m_mruValidate) {
        m_mru.erase(std::remove_if(m_mru.begin(), m_mru.end(), [](const QString& f) { return !QFileInfo::exists(f); }),
                    m_mru.end());
    }
    if (!m_mruMenuItem)
        return;

    QMenu* menu = nullptr;
    QAction* before = nullptr;
    if (m_mruPlacement == pmpDescending) {
        menu = m_mruMenuItem->menu();
    } else {
        for (QObject* o : m_mruMenuItem->associatedObjects()) {
            if ((menu = qobject_cast<QMenu*>(o)))
                break;
        }
        before = m_mruMenuItem;
    }
    if (!menu)
        return;

    const QList<QAction*> old = menu->actions();
    for (QAction* a : old) {
        const int tag = a->data().toInt();
        if (tag == kMRUItemTag || tag == kMRUSeparatorTag) {
            menu->removeAction(a);
            a->deleteLater();
        }
    }
    if (m_mru.isEmpty())
        return;

    if (m_mruPlacement == pmpBefore) {
        const QList<QAction*> actions = menu->actions();
        const qsizetype at = actions.indexOf(before);
        if (at > 0 && !actions[at - 1]->isSeparator()) {
            QAction* sep = new QAction(menu);
            sep->setSeparator(true);
            sep->setData(kMRUSeparatorTag);
            menu->insertAction(before, sep);
        }
    }
    const QFontMetrics fm(menu->font());
    for (qsizetype i = 0; i < m_mru.size(); ++i) {
        const QString file = m_mru[i];
        QString shown;
        switch (m_mruDisplay) {
        case pmdFileOnly:
            shown = QFileInfo(file).fileName();
            break;
        case pmdAbbPath:
            shown = fm.elidedText(file, Qt::ElideMiddle, m_mruMaxItemWidth);
            break;
        case pmdFullPath:
            shown = file;
            break;
        }
        // "&" in a file name is no shortcut marker.
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), menu);
        a->setData(kMRUItemTag);
        const int index = int(i + 1);
        connect(a, &QAction::triggered, this, [this, a, file, index] {
            if (OnMRUClick)
                OnMRUClick(this, a, file, index);
        });
        if (before)
            menu->insertAction(before, a);
        else
            menu->addAction(a);
    }
}

QString TPFormSettings::FormKeyName()
{
    QString name = m_form->objectName();
    if (OnSetFormKeyName)
        OnSetFormKeyName(this, name);
    return name;
}

std::optional<TPValue> TPFormSettings::ReadBoundProperty(TPSetting& Setting)
{
    return ReadPropertyPath(m_form, Setting.BoundProperty());
}

void TPFormSettings::WriteBoundProperty(TPSetting& Setting)
{
    WritePropertyPath(m_form, Setting);
}

QWidget* TPFormSettings::windowWidget() const
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(m_form->parentWidget()))
        return sub;
    return m_form;
}

QSize TPFormSettings::screenSize() const
{
    QScreen* s = windowWidget()->screen();
    if (!s)
        s = QGuiApplication::primaryScreen();
    return s ? s->geometry().size() : QSize();
}

std::vector<std::unique_ptr<TPSetting>> TPFormSettings::placementList()
{
    std::vector<std::unique_ptr<TPSetting>> list;
    auto add = [&](const char* name) -> TPSetting& {
        list.push_back(std::make_unique<TPSetting>(this, QString::fromLatin1(name)));
        return *list.back();
    };
    if (m_formSaveOpt & pfsLeft)
        add("Left").SetAsInteger(-1);
    if (m_formSaveOpt & pfsTop)
        add("Top").SetAsInteger(-1);
    if (m_formSaveOpt & pfsWidth)
        add("Width").SetAsInteger(-1);
    if (m_formSaveOpt & pfsHeight)
        add("Height").SetAsInteger(-1);
    if (m_formSaveOpt & pfsState) {
        add("MainForm").SetAsBoolean(false);
        add("State").SetAsInteger(-1);
    }
    if (m_formSaveOpt)
        add("ScreenRes").SetAsString(QString());
    if (m_mruLength > 0)
        add("MRUList");
    return list;
}

void TPFormSettings::fillPlacement(std::vector<std::unique_ptr<TPSetting>>& List)
{
    const QWidget* w = windowWidget();
    const QRect r = normalRect(w);
    const bool isMain = m_form == MainForm();
    for (const auto& s : List) {
        const QString n = s->Name();
        if (n == QLatin1String("Left")) {
            s->SetAsInteger(r.x());
        } else if (n == QLatin1String("Top")) {
            s->SetAsInteger(r.y());
        } else if (n == QLatin1String("Width")) {
            s->SetAsInteger(r.width());
        } else if (n == QLatin1String("Height")) {
            s->SetAsInteger(r.height());
        } else if (n == QLatin1String("MainForm")) {
            s->SetAsBoolean(isMain);
        } else if (n == QLatin1String("State")) {
            m_appMinimized = false;
            int state = 0;
            if (w->isMinimized()) {
                state = 1;
                m_appMinimized = isMain;
            } else if (w->isMaximized()) {
                state = 2;
            }
            s->SetAsInteger(state);
        } else if (n == QLatin1String("ScreenRes")) {
            s->SetAsString(ScreenResText(screenSize()));
        } else if (n == QLatin1String("MRUList")) {
            s->SetAsStrings(m_mru.mid(0, m_mruLength));
        }
    }
}

void TPFormSettings::applyPlacement(std::vector<std::unique_ptr<TPSetting>>& List)
{
    TPPlacement p;
    for (const auto& s : List) {
        const QString n = s->Name();
        TPSetting& v = *s;
        if (n == QLatin1String("Left"))
            p.Left = readOr(-1, [&] { return v.AsInteger(); });
        else if (n == QLatin1String("Top"))
            p.Top = readOr(-1, [&] { return v.AsInteger(); });
        else if (n == QLatin1String("Width"))
            p.Width = readOr(-1, [&] { return v.AsInteger(); });
        else if (n == QLatin1String("Height"))
            p.Height = readOr(-1, [&] { return v.AsInteger(); });
        else if (n == QLatin1String("ScreenRes"))
            p.ScreenRes = readOr(QString(), [&] { return v.AsString(); });
        else if (n == QLatin1String("MainForm"))
            p.MainForm = readOr(false, [&] { return v.AsBoolean(); });
        else if (n == QLatin1String("State"))
            p.State = readOr(-1, [&] { return v.AsInteger(); });
        else if (n == QLatin1String("MRUList"))
            readOr(0, [&] {
                v.AsStrings(m_mru);
                return 0;
            });
    }
    while (m_mru.size() > std::max(m_mruLength, 0))
        m_mru.removeLast();
    m_restoredMainForm = p.MainForm;
    if (!m_formSaveOpt)
        return;

    QWidget* w = windowWidget();
    QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    // The rules count from the display's own corner, which is not 0,0 on a second monitor.
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
    const QRect current(w->pos(), w->size());
    const QRect placed = ApplyPlacementRules(p, current.translated(-origin), screenSize(), m_centre).translated(origin);
    // Untouched coordinates stay unset, so the window manager still places a new window.
    if (placed.topLeft() != current.topLeft())
        w->move(placed.topLeft());
    if (placed.size() != current.size() && placed.width() > 0 && placed.height() > 0)
        w->resize(placed.size());

    if (p.State == 1)
        w->setWindowState(w->windowState() | Qt::WindowMinimized);
    else if (p.State == 2)
        w->setWindowState((w->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
}

void TPFormSettings::SaveToRegistry()
{
    TPSettings::SaveToRegistry();
    auto list = placementList();
    fillPlacement(list);
    TPRegistry reg(RegistryRootKey());
    const QString key = RegistryKeyPath();
    for (const auto& s : list)
        s->SaveToRegistry(reg, key, SaveAll());
}

void TPFormSettings::RestoreFromRegistry()
{
    TPSettings::RestoreFromRegistry();
    auto list = placementList();
    TPRegistry reg(RegistryRootKey());
    const QString key = RegistryKeyPath();
    for (const auto& s : list)
        s->RestoreFromRegistry(reg, key);
    applyPlacement(list);
}

void TPFormSettings::UserSave()
{
    if (!OnUserSave)
        return;
    TPSettings::UserSave();
    auto list = placementList();
    fillPlacement(list);
    for (const auto& s : list)
        OnUserSave(this, *s);
}

void TPFormSettings::UserRestore()
{
    if (!OnUserRestore)
        return;
    TPSettings::UserRestore();
    auto list = placementList();
    for (const auto& s : list)
        OnUserRestore(this, *s);
    applyPlacement(list);
}

void TPFormSettings::AutoRestore()
{
    if (OnPreRestore)
        OnPreRestore(this);
    if (m_saveLocation == pslRegistry) {
        bool cont = true;
        if (OnAutoRestore)
            OnAutoRestore(this, cont);
        if (cont)
            RestoreFromRegistry();
    } else if (m_saveLocation == pslUser) {
        UserRestore();
    }
    if (OnPostRestore)
        OnPostRestore(this);
}

void TPFormSettings::AutoSave()
{
    if (OnPreSave)
        OnPreSave(this);
    if (m_saveLocation == pslRegistry) {
        bool cont = true;
        if (OnAutoSave)
            OnAutoSave(this, cont);
        if (cont)
            SaveToRegistry();
    } else if (m_saveLocation == pslUser) {
        UserSave();
    }
    if (OnPostSave)
        OnPostSave(this);
}

void TPFormSettings::Loaded()
{
    if (m_loaded || m_loading)
        return;
    m_loading = true;
    for (const auto& s : m_settings)
        s->CaptureDesignedValue();
    try {
        AutoRestore();
    } catch (const std::exception& e) {
        reportError(QString::fromUtf8(e.what()));
    }
    m_loading = false;
    m_loaded = true;
}

bool TPFormSettings::formIsIntact() const
{
    // Once the destructor of the form's class has run, only its base classes are left and its
    // own properties can no longer be read; the meta-object then falls back to a base class.
    return m_form->metaObject()->inherits(m_formMeta);
}

bool TPFormSettings::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched != m_form)
        return false;
    switch (Event->type()) {
    case QEvent::Show:
        if (!m_loaded)
            Loaded();
        m_savedSinceShown = false;
        break;
    case QEvent::WindowStateChange:
        if (QWidget* main = MainForm(); main && main->isMinimized() && !m_appMinimized)
            m_savedSinceShown = false;
        break;
    case QEvent::Close:
    case QEvent::Hide:
        if (m_loaded && !m_savedSinceShown && formIsIntact()) {
            m_savedSinceShown = true;
            try {
                AutoSave();
            } catch (const std::exception& e) {
                reportError(QString::fromUtf8(e.what()));
            }
        }
        break;
    default:
        break;
    }
    return false;
}

} // namespace corvane::settings
