#include "UTreeList.h"

#include "UTreeListShared.h"

#include <QAbstractItemView>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QVariant>

namespace corvane::shellctl {

namespace {

const char* const PopupComponentProperty = "corvanePopupComponent";

} // namespace

namespace detail {

QRect itemSubRect(const QAbstractItemView* view, QStyleOptionViewItem opt, const TCustomDrawDelegate* delegate,
                  const QModelIndex& index, QStyle::SubElement element)
{
    opt.rect = view->visualRect(index);
    opt.widget = view;
    delegate->InitOption(&opt, index);
    const QRect r = view->style()->subElementRect(element, &opt, view);
    return r.isEmpty() ? opt.rect : r;
}

void setPopupComponent(QMenu* menu, QObject* component)
{
    menu->setProperty(PopupComponentProperty, QVariant::fromValue(QPointer<QObject>(component)));
}

Qt::MouseButton dragButton()
{
    return (QGuiApplication::mouseButtons() & Qt::RightButton) ? Qt::RightButton : Qt::LeftButton;
}

} // namespace detail

QObject* PopupComponent(const QMenu* menu)
{
    return menu ? menu->property(PopupComponentProperty).value<QPointer<QObject>>().data() : nullptr;
}

bool IsContextMenuKey(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    return (event->key() == Qt::Key_Menu && mods == Qt::NoModifier)
           || (event->key() == Qt::Key_F10 && mods == Qt::ShiftModifier);
}

} // namespace corvane::shellctl
