#pragma once
// The navigation history of one explorer window: folder paths with a current index.
#include <QObject>
#include <QStringList>

namespace corvane::explorer {

class THistory : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    const QStringList& Items() const { return m_items; }
    int ItemIndex() const { return m_index; }
    void SetItemIndex(int i) { m_index = (i >= -1 && i < m_items.size()) ? i : m_index; }
    // Appends a folder; the log keeps every entry, also after moving back.
    void Record(const QString& path);
    int Count() const { return int(m_items.size()); }

private:
    QStringList m_items;
    int m_index = -1;
};

} // namespace corvane::explorer
