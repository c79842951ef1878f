#include "Destroy.h"

#include "ToolRun.h"
#include "core/NameCodec.h"
#include "engine/DestroyEngine.h"
#include "engine/FileToolsTexts.h"
#include "engine/GroupRenameEngine.h"
#include "engine/ToolJob.h"

namespace corvane::filetools {

void Destroy1Click(QWidget* parent)
{
    QStringList names;
    const QString folder = SelectedFiles(&names);
    std::vector<QByteArray> paths;
    paths.reserve(std::size_t(names.size()));
    for (const QString& name : names)
        paths.push_back(core::EncodeName(JoinToolPath(folder, name)));
    ToolJob job([&paths](ToolJob& j) { RunDestroy(paths, j); });
    RunToolJob(job, QString(FileToolsConsts::sDestroyWindow), parent);
}

} // namespace corvane::filetools
