#pragma once
// Runs an Add or Extract of a dialog as a job with the progress window, the dialog's status text
// following the file in work and the messages shown on the way, as both dialogs do.
#include "engine/ZipSpan.h"

#include <QString>

class QStatusBar;
class QWidget;

namespace corvane::zip {

class ZipJob;

struct ZipRunUi {
    QWidget* parent = nullptr;
    QStatusBar* status = nullptr;
    const char* statusPrefix = "";  // " Adding file: " and the like
    QString title;                  // of the progress window
    // Shows library messages with a non-zero code in the "Zip Error" box.
    bool showErrors = true;
};

// Returns once the job has ended; the windows stay alive meanwhile.
void RunZipJob(ZipJob& job, const ZipRunUi& ui);

// The message box of the component's own messages and of the "Zip Error" box.
void ShowZipError(const QString& text);

// A question about the media of a spanned set, as a message box.
SpanAnswer AskSpanQuestion(const SpanQuestion& question);

} // namespace corvane::zip
