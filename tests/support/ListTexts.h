#pragma once
// The texts of a list widget's rows, in order.
#include <QListWidget>
#include <QStringList>

namespace corvane::test {

inline QStringList ListTexts(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace corvane::test
