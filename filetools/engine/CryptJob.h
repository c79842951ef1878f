#pragma once
// An encryption or decryption run of the dialog as a job: the sizes are measured first, so the
// progress counts bytes over the whole run; failures wait on the user-interface thread until the
// user has read them, as they would in a run on that thread.
#include "EncryptEngine.h"
#include "core/Job.h"

#include <functional>
#include <optional>
#include <vector>

namespace corvane::filetools {

class CryptJob : public core::Job
{
    Q_OBJECT
public:
    explicit CryptJob(CryptRunInput input) : m_input(std::move(input)) {}

    // Shows a warning or failure; called on the user-interface thread while the run waits.
    std::function<void(const CryptMessage&)> OnMessage;

    // Final once finished.
    CryptRunResult Result() const;
    // The count message that ends a completed run.
    std::optional<CryptMessage> FinalMessage() const;

protected:
    void execute() override;

private:
    const CryptRunInput m_input;
    CryptRunResult m_result;  // guarded by resultMutex()
    std::optional<CryptMessage> m_final;
};

} // namespace corvane::filetools
