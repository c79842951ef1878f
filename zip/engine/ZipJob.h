#pragma once
// An Add, Extract or test of the zip component as a job: the component runs on the job's worker,
// its progress feeds the job's snapshot, and its messages are handed to the user-interface
// thread, where the owner shows them while the worker waits.
#include "ZipComponent.h"
#include "core/Job.h"

#include <functional>

namespace corvane::zip {

class ZipJob : public core::Job
{
    Q_OBJECT
public:
    // List only reads the archive's directory, off the user-interface thread.
    // Rebuild copies a spanned set into RebuiltArchive.
    enum class Operation { Add, Extract, List, Rebuild };
    ZipJob(Operation operation, QString archive) : m_operation(operation), m_archive(std::move(archive)) {}

    // Set up before start(): FSpecArgs, options, password, ExtrBaseDir... Read the results
    // (SuccessCount, ErrCode, Message, DirEntries) once finished.
    TZipComponent Zip;
    QString RebuiltArchive;

    // Both run on the user-interface thread while the worker waits.
    std::function<void(int errCode, const QString& message)> OnMessage;
    std::function<void(const QString& message)> ShowMessage;
    // Questions about the media of a spanned set; unset, each is answered Cancel.
    std::function<SpanAnswer(const SpanQuestion& question)> OnSpanQuestion;

protected:
    void execute() override;

private:
    const Operation m_operation;
    const QString m_archive;
};

} // namespace corvane::zip
