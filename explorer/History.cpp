#include "History.h"

namespace corvane::explorer {

void THistory::Record(const QString& path)
{
    m_items.append(path);
    m_index = m_items.size() < 2 ? 0 : int(m_items.size()) - 1;
}

} // namespace corvane::explorer
