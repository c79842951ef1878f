#include "ZipJob.h"

#include "core/NameCodec.h"

namespace corvane::zip {

void ZipJob::execute()
{
    Zip.SetCancelFlag(&cancelFlag());
    Zip.OnProgress = [this](TZipComponent*, int kind, const QString& name, qint64 size) {
        switch (kind) {
        case kProgressNewFile:
            setCurrentFile(core::EncodeName(name));
            addDone(0, 1);
            break;
        case kProgressBytes:
            addDone(size, 0);
            break;
        case kProgressFileCount:
            addTotals(0, size);
            break;
        case kProgressByteCount:
            addTotals(size, 0);
            break;
        default:
            break;
        }
        publishIfDue();
    };
    Zip.OnMessage = [this](TZipComponent*, int errCode, const QString& message) {
        if (OnMessage)
            ask<bool>([&] { OnMessage(errCode, message); return true; }, false);
    };
    Zip.ShowMessage = [this](const QString& message) {
        if (ShowMessage)
            ask<bool>([&] { ShowMessage(message); return true; }, false);
    };
    Zip.OnSpanQuestion = [this](const SpanQuestion& question) {
        if (!OnSpanQuestion)
            return SpanAnswer::Cancel;
        return ask<SpanAnswer>([&] { return OnSpanQuestion(question); }, SpanAnswer::Cancel);
    };
    Zip.SetZipFilename(m_archive);
    if (m_operation == Operation::Add)
        Zip.Add();
    else if (m_operation == Operation::Extract)
        Zip.Extract();
    else if (m_operation == Operation::Rebuild)
        Zip.RebuildSet(RebuiltArchive);
    publishNow();
}

} // namespace corvane::zip
