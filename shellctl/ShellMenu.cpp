#include "ShellMenu.h"

#include "ShellDrag.h"
#include "UShellUtils.h"
#include "platform/DragDrop.h"
#include "platform/IconTable.h"
#include "platform/NameCodec.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace corvane::shellctl {

using namespace platform;

namespace {

std::function<int(QMenu*)>& chooser()
{
    static std::function<int(QMenu*)> c;
    return c;
}

} // namespace

void SetShellMenuChooser(std::function<int(QMenu*)> c)
{
    chooser() = std::move(c);
}

HResult CreateContextMenu(QObject* window, const ShellFolderPtr& folder, std::span<const PItemIDList> items, unsigned flags,
                          std::unique_ptr<IContextMenu>& menu, std::vector<ShellMenuItem>& popup)
{
    HResult hr = GetUIObjectOf(window, folder, items, menu);
    if (Failed(hr))
        return hr;
    hr = menu->QueryContextMenu(popup, FirstCommandId, LastCommandId, flags);
    if (Failed(hr))
        menu.reset();
    return hr;
}

namespace {

void fillMenu(QMenu* menu, const std::vector<ShellMenuItem>& items)
{
    for (const ShellMenuItem& item : items) {
        if (item.id == 0) {
            menu->addSeparator();
            continue;
        }
        if (!item.submenu.empty()) {
            QMenu* sub = menu->addMenu(item.caption);
            fillMenu(sub, item.submenu);
            QObject::connect(sub, &QMenu::aboutToShow, sub, [sub] { ServeSendToMenu(sub); });
            continue;
        }
        QAction* a = menu->addAction(item.caption);
        a->setData(item.id);
        a->setEnabled(!item.grayed);
        if (item.isDefault) {
            QFont f = a->font();
            f.setBold(true);
            a->setFont(f);
            menu->setDefaultAction(a);
        }
    }
}

struct SendToList {
    QStringList names;
    std::vector<int> icons;
};

SendToList& sendToList()
{
    static SendToList list;
    return list;
}

// The names in the send-to folder now, joined to the process-wide list.
QStringList scanSendToFolder()
{
    QStringList present;
    const QByteArray folder = SendToFolderPath();
    DIR* d = ::opendir(folder.constData());
    if (!d)
        return present;
    while (dirent* e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (name.startsWith('.'))
            continue;
        struct stat st {};
        const QByteArray path = folder + '/' + name;
        // Folders themselves are left out; links to folders are entries.
        if (::lstat(path.constData(), &st) != 0 || S_ISDIR(st.st_mode))
            continue;
        const QString decoded = DecodeName(name);
        present << decoded;
        SendToList& list = sendToList();
        if (list.names.contains(decoded))
            continue;
        PItemIDList abs;
        int icon = -1;
        if (Succeeded(SHGetDesktopFolder()->ParseDisplayName(DecodeName(path), abs)))
            icon = SHGetIconIndex(abs, SHGFI_SMALLICON);
        const auto at = std::lower_bound(list.names.begin(), list.names.end(), decoded);
        const qsizetype i = at - list.names.begin();
        list.names.insert(i, decoded);
        list.icons.insert(list.icons.begin() + i, icon);
    }
    ::closedir(d);
    return present;
}

QString withoutExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

} // namespace

QMenu* BuildShellMenu(const std::vector<ShellMenuItem>& items, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    fillMenu(menu, items);
    return menu;
}

const QStringList& SendToNames()
{
    return sendToList().names;
}

bool ServeSendToMenu(QMenu* submenu)
{
    const QList<QAction*> actions = submenu->actions();
    if (actions.size() != 1 || actions.front()->isEnabled())
        return false;
    const QStringList present = scanSendToFolder();
    const SendToList& list = sendToList();
    bool any = false;
    for (qsizetype i = 0; i < list.names.size() && i < MaxSendToEntries; ++i) {
        if (!present.contains(list.names[i]))
            continue;
        // The first letter is the entry's key: one entry starting with it runs, several take turns.
        QString caption = withoutExtension(list.names[i]);
        caption.replace(QLatin1Char('&'), QLatin1String("&&"));
        QAction* a = submenu->addAction(QLatin1Char('&') + caption);
        a->setData(int(i) + 1);
        if (list.icons[size_t(i)] >= 0)
            a->setIcon(IconTable::instance().icon(list.icons[size_t(i)]));
        any = true;
    }
    // With nothing to send to, the grayed entry stays and says so.
    if (any)
        submenu->removeAction(actions.front());
    return true;
}

void InvokeSendTo(QObject* window, int index, const QMimeData* data)
{
    const QStringList& names = SendToNames();
    if (index < 0 || index >= names.size()) {
        CheckResult(E_INVALIDARG);
        return;
    }
    const QByteArray path = SendToFolderPath() + '/' + EncodeName(names[index]);
    std::unique_ptr<IDropTarget> target;
    CheckResult(PathDropTarget(window, path, target));
    const QPoint origin(0, 0);
    ProbeDropEffect(*target, data, MK_LBUTTON, origin, DROPEFFECT_COPY);
    std::uint32_t effect = DROPEFFECT_COPY;
    target->Drop(data, MK_LBUTTON, origin, effect);
}

QString MenuHint(const IContextMenu& cm, int id)
{
    QString hint;
    if (id < FirstCommandId || Failed(cm.GetCommandString(id - FirstCommandId, GCS_HELPTEXTA, hint)))
        return {};
    return hint;
}

int ExecShellMenu(QMenu* menu, const QPoint& globalPos)
{
    if (!menu)
        return 0;
    if (chooser()) {
        const QPointer<QMenu> alive(menu);
        const int id = chooser()(menu);
        return alive ? id : 0;
    }
    QAction* chosen = menu->exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

int TrackShellMenu(IContextMenu& cm, const std::vector<ShellMenuItem>& items, QWidget* owner, const QPoint& globalPos,
                   const std::function<void(const QString&)>& onHint)
{
    // The owner may go while the menu runs its own event loop (its window closed); the menu
    // then goes with it and nothing is chosen.
    const QPointer<QWidget> ownerAlive(owner);
    const QPointer<QMenu> menu(BuildShellMenu(items, owner));
    if (onHint) {
        QObject::connect(menu, &QMenu::hovered, menu, [&cm, &onHint](QAction* a) {
            onHint(a->isSeparator() || a->menu() ? QString() : MenuHint(cm, a->data().toInt()));
        });
    }
    const int id = ExecShellMenu(menu, globalPos);
    delete menu;
    if (!ownerAlive)
        return 0;
    if (onHint)
        onHint(QString());
    return id;
}

} // namespace corvane::shellctl
