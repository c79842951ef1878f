#include "ShellMenu.h"

#include <QAction>
#include <QMenu>

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

QMenu* BuildShellMenu(const std::vector<ShellMenuItem>& items, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    for (const ShellMenuItem& item : items) {
        if (item.id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* a = menu->addAction(item.caption);
        a->setData(item.id);
        if (item.isDefault) {
            QFont f = a->font();
            f.setBold(true);
            a->setFont(f);
            menu->setDefaultAction(a);
        }
    }
    return menu;
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
    if (chooser())
        return chooser()(menu);
    QAction* chosen = menu->exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

int TrackShellMenu(IContextMenu& cm, const std::vector<ShellMenuItem>& items, QWidget* owner, const QPoint& globalPos,
                   const std::function<void(const QString&)>& onHint)
{
    std::unique_ptr<QMenu> menu(BuildShellMenu(items, owner));
    if (onHint) {
        QObject::connect(menu.get(), &QMenu::hovered, menu.get(), [&cm, &onHint](QAction* a) {
            onHint(a->isSeparator() || a->menu() ? QString() : MenuHint(cm, a->data().toInt()));
        });
    }
    const int id = ExecShellMenu(menu.get(), globalPos);
    if (onHint)
        onHint(QString());
    return id;
}

} // namespace corvane::shellctl
