#pragma once
// Finding tree nodes by their text in tests.
#include <QString>
#include <QTreeWidgetItem>

namespace corvane::test {

inline QTreeWidgetItem* childNamed(QTreeWidgetItem* node, const QString& name)
{
    for (int i = 0; node && i < node->childCount(); ++i) {
        if (node->child(i)->text(0) == name)
            return node->child(i);
    }
    return nullptr;
}

} // namespace corvane::test
