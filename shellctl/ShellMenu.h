#pragma once
// Shell context menus as popup menus: building, tracking with help-text hints, and the helpers
// that the tree and the list share.
#include "platform/ShellVerbs.h"

#include <QPoint>
#include <QStringList>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class QMenu;
class QMimeData;
class QWidget;

namespace corvane::shellctl {

using platform::IContextMenu;

// GetUIObjectOf and QueryContextMenu with identifiers 50 to 0x7FFF.
platform::HResult CreateContextMenu(QObject* window, const platform::ShellFolderPtr& folder, std::span<const platform::PItemIDList> items, unsigned flags,
                          std::unique_ptr<IContextMenu>& menu, std::vector<platform::ShellMenuItem>& popup);
// A popup menu of the queried commands; each action carries its identifier as data.
QMenu* BuildShellMenu(const std::vector<platform::ShellMenuItem>& items, QWidget* parent);
// Shows the menu and returns the chosen identifier, 0 when none or when the owner went away while
// the menu was open. While it is open, the help text of the highlighted command goes to onHint
// (empty for anything without one). The menu runs its own event loop: callers look up again
// whatever items they act on afterwards.
int TrackShellMenu(IContextMenu& cm, const std::vector<platform::ShellMenuItem>& items, QWidget* owner, const QPoint& globalPos,
                   const std::function<void(const QString&)>& onHint);
// The help text of a menu identifier, empty for separators, submenus and the program's own items.
QString MenuHint(const IContextMenu& cm, int id);

// Shows a menu whose actions carry ids as data and returns the chosen id, 0 when none (also
// when the menu went away meanwhile).
int ExecShellMenu(QMenu* menu, const QPoint& globalPos);

// The program's own send-to submenu: its entries are the send-to folder's files, links and
// launchers (folders and hidden files left out), sorted by name and shown without extensions,
// with the ids 1, 2, ... of their places in the process-wide name list.
inline constexpr int MaxSendToEntries = 49;
// The names seen in the send-to folder so far, sorted; the list only grows.
const QStringList& SendToNames();
// Puts the entries in place of a submenu that holds one grayed item; false for other submenus.
bool ServeSendToMenu(QMenu* submenu);
// Gives the data to the send-to entry as a left-button copying drop. Raises when the entry
// cannot be found or takes no drop.
void InvokeSendTo(QObject* window, int index, const QMimeData* data);

// Lets tests choose a command instead of a person: called with the built menu, returns the id.
// It runs where the menu's event loop would, so it may change the controls meanwhile.
void SetShellMenuChooser(std::function<int(QMenu*)> chooser);

} // namespace corvane::shellctl
