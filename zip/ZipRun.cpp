#include "ZipRun.h"

#include "ZipFormTexts.h"
#include "app/Utility.h"
#include "core/Job.h"
#include "core/NameCodec.h"
#include "dialogs/JobProgress.h"
#include "engine/ZipJob.h"

#include <QStatusBar>

namespace corvane::zip {

void ShowZipError(const QString& text)
{
    app::MsgBox(text, QString::fromLatin1(texts::ErrorCaption), app::MB_ICONEXCLAMATION);
}

SpanAnswer AskSpanQuestion(const SpanQuestion& q)
{
    unsigned style = q.buttons == SpanButtons::OkCancel  ? app::MB_OKCANCEL
        : q.buttons == SpanButtons::YesNoCancel          ? app::MB_YESNOCANCEL
                                                         : app::MB_RETRYCANCEL;
    if (q.icon == SpanIcon::Stop)
        style |= app::MB_ICONERROR;
    else if (q.icon == SpanIcon::Warning)
        style |= app::MB_ICONEXCLAMATION;
    if (q.defaultNo)
        style |= app::MB_DEFBUTTON2;
    switch (app::MsgBox(q.text, q.caption, style)) {
    case app::IDOK:
        return SpanAnswer::Ok;
    case app::IDYES:
        return SpanAnswer::Yes;
    case app::IDNO:
        return SpanAnswer::No;
    case app::IDRETRY:
        return SpanAnswer::Retry;
    default:
        return SpanAnswer::Cancel;
    }
}

void RunZipJob(ZipJob& job, const ZipRunUi& ui)
{
    job.OnSpanQuestion = AskSpanQuestion;
    const bool showErrors = ui.showErrors;
    job.OnMessage = [showErrors](int errCode, const QString& message) {
        if (errCode != 0 && showErrors)
            ShowZipError(message);
    };
    // The component's own messages: it is not unattended in the dialogs.
    job.ShowMessage = [](const QString& message) { app::MsgBox(message, {}, app::MB_ICONEXCLAMATION); };
    dialogs::TfrmJobProgress progress(job, ui.title, ui.parent);
    QByteArray shown;
    progress.OnUpdate = [&](const core::JobProgress& p) {
        if (ui.status && p.currentFile != shown) {
            shown = p.currentFile;
            ui.status->showMessage(QString::fromLatin1(ui.statusPrefix) + core::ReadableName(shown));
        }
    };
    progress.Run();
    const core::JobProgress last = job.progress();
    if (ui.status && !last.currentFile.isEmpty())
        ui.status->showMessage(QString::fromLatin1(ui.statusPrefix) + core::ReadableName(last.currentFile));
}

} // namespace corvane::zip
