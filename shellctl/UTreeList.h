#pragma once
// The view control bases of the shell file list and the shell folder tree: context-menu
// hooks for a right click or the menu key, custom drawing of items and nodes and, for the
// list, the four view styles over one model and the sort indicator in the column header.
#include "CustomListView.h"
#include "CustomTreeView.h"

class QKeyEvent;
class QMenu;
class QObject;

namespace corvane::shellctl {

// The control a menu was last popped up for by one of these bases.
QObject* PopupComponent(const QMenu* menu);

// The menu key without modifiers, or Shift+F10.
bool IsContextMenuKey(const QKeyEvent* event);

} // namespace corvane::shellctl
