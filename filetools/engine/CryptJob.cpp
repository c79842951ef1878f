#include "CryptJob.h"

#include "core/NameCodec.h"

#include <sys/stat.h>

#include <algorithm>

namespace corvane::filetools {

namespace {

qint64 sourceSize(const QString& path)
{
    struct stat info {};
    return ::stat(core::EncodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : 0;
}

} // namespace

CryptRunResult CryptJob::Result() const
{
    std::lock_guard lock(resultMutex());
    return m_result;
}

std::optional<CryptMessage> CryptJob::FinalMessage() const
{
    std::lock_guard lock(resultMutex());
    return m_final;
}

void CryptJob::execute()
{
    std::vector<qint64> before{0};
    before.reserve(std::size_t(m_input.names.size()) + 1);
    for (const QString& name : m_input.names)
        before.push_back(before.back() + sourceSize(JoinCryptPath(m_input.sourceFolder, name)));
    addTotals(before.back(), m_input.names.size());
    publishNow();

    std::optional<CryptMessage> final;
    const CryptMessageSink sink = [this, &final](const CryptMessage& message) {
        // The count is the run's last message: it comes once the work is over.
        if (message.icon == CryptMessage::Icon::Information) {
            final = message;
            return;
        }
        ask([this, &message] {
            if (OnMessage)
                OnMessage(message);
            return true;
        }, false);
    };
    qsizetype current = -1;
    qint64 counted = 0;
    const CryptProgress progress = [&](qsizetype index, qint64 bytesDone, qint64) {
        index = std::clamp<qsizetype>(index, 0, std::max<qsizetype>(qsizetype(before.size()) - 2, 0));
        if (index != current) {
            // The files before this one are done.
            addDone(0, index - std::max<qsizetype>(current, 0));
            current = index;
            setText(m_input.names.value(index));
        }
        // Files may have changed size since they were measured: the count never runs backwards
        // within a file nor past its end.
        const qint64 start = before[std::size_t(index)];
        const qint64 done = start + std::clamp<qint64>(bytesDone, 0, before[std::size_t(index) + 1] - start);
        addDone(done - counted, 0);
        counted = done;
        publishIfDue();
        return !isCancelled();
    };
    const CryptRunResult result = RunCrypt(m_input, sink, progress);
    std::lock_guard lock(resultMutex());
    m_result = result;
    m_final = final;
}

} // namespace corvane::filetools
