#include "ToolRun.h"

#include "app/Globals.h"
#include "app/Utility.h"
#include "dialogs/JobProgress.h"
#include "engine/FileToolsTexts.h"
#include "engine/ToolJob.h"
#include "shellctl/ShellList.h"
#include "shellctl/ShellTree.h"

namespace corvane::filetools {

namespace C = FileToolsConsts;

void RunToolJob(ToolJob& job, const QString& title, QWidget* parent,
                const std::function<void(const core::JobProgress&)>& onUpdate)
{
    job.OnMessage = [](const QString& text) {
        app::MsgBox(text, QString(C::sCaptionError), app::MB_ICONEXCLAMATION);
    };
    job.OnConfirm = [](const QString& text) {
        return app::MsgBox(text, QString(C::sCaptionConfirm), app::MB_YESNO | app::MB_ICONEXCLAMATION) == app::IDYES;
    };
    dialogs::TfrmJobProgress progress(job, title, parent);
    progress.OnUpdate = onUpdate;
    progress.Run(ToolProgressDelayMs);
}

QString SelectedFiles(QStringList* names, QStringList* shown)
{
    QString folder = app::CurShellTree ? app::CurShellTree->SelectedPath() : QString();
    bool first = true;
    if (!app::CurShellList)
        return folder;
    for (shellctl::TShListData* data : app::CurShellList->SelectedItems()) {
        if (data->IsFolder())
            continue;
        const QString path = data->Path();
        const qsizetype slash = path.lastIndexOf(u'/');
        if (slash < 0)
            continue;
        if (first)
            folder = slash == 0 ? QStringLiteral("/") : path.left(slash);
        first = false;
        names->append(path.mid(slash + 1));
        if (shown)
            shown->append(data->DisplayName());
    }
    return folder;
}

} // namespace corvane::filetools
