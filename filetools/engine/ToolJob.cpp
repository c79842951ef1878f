#include "ToolJob.h"

namespace corvane::filetools {

void ToolJob::report(const QString& message)
{
    {
        std::lock_guard lock(resultMutex());
        m_messages.append(message);
    }
    publishNow();
    // A cancelled run still tells what failed before the cancel: the messages stay collected.
    ask([this, &message] {
        if (OnMessage)
            OnMessage(message);
        return true;
    }, false);
}

bool ToolJob::confirm(const QString& question)
{
    publishNow();
    return ask([this, &question] { return OnConfirm && OnConfirm(question); }, false);
}

QStringList ToolJob::Messages() const
{
    std::lock_guard lock(resultMutex());
    return m_messages;
}

} // namespace corvane::filetools
