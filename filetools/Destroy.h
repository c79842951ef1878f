#pragma once
// The Destroy command: the selected files of the current explorer window are overwritten and
// deleted after one confirmation, as a job with progress and cancel.
class QWidget;

namespace corvane::filetools {

void Destroy1Click(QWidget* parent);

} // namespace corvane::filetools
