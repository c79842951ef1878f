#include "History.h"

namespace corvane::explorer {

void THistory::Record(const QString& path)
{
    if (m_index >= 0 && m_index < m_items.size() && m_items[m_index] == path)
        return;
    while (m_items.size() > m_index + 1)
        m_items.removeLast();
    m_items.append(path);
    m_index = int(m_items.size()) - 1;
}

} // namespace corvane::explorer
