#include "GroupRenameEngine.h"

#include "FileToolsTexts.h"
#include "ToolJob.h"
#include "core/NameCodec.h"
#include "platform/FileOperationNames.h"

namespace corvane::filetools {

namespace C = FileToolsConsts;

QString CheckNewExtension(const QString& typed)
{
    if (typed.trimmed().isEmpty())
        return QString(C::sNoExtension);
    // A "/" would move the file into another folder; a NUL would cut the name short.
    if (typed.contains(u'/') || typed.contains(QChar(0)))
        return QString(C::sBadExtension);
    return {};
}

QString UsedExtension(const QString& typed)
{
    return typed.startsWith(u'.') ? typed.mid(1) : typed;
}

QString NewFileName(const QString& name, const QString& extension, RenameOption option)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (option == RenameOption::Add || dot <= 0)
        return name + u'.' + extension;
    return name.left(dot + 1) + extension;
}

QString JoinToolPath(const QString& folder, const QString& name)
{
    if (folder.isEmpty() || folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

int RunGroupRename(const RenameRunInput& input, ToolJob& job)
{
    job.totals(0, input.names.size());
    int renamed = 0;
    for (const QString& name : input.names) {
        if (job.isCancelled())
            break;
        const QString newName = NewFileName(name, input.extension, input.option);
        const QByteArray from = core::EncodeName(JoinToolPath(input.folder, name));
        job.current(from);
        // A name that already ends in the extension keeps it: nothing to rename.
        if (newName != name) {
            if (platform::fileops::RenameNoReplace(from, core::EncodeName(JoinToolPath(input.folder, newName))) == 0) {
                ++renamed;
                job.status(QString(C::sFilesRenamed) + QString::number(renamed));
            } else {
                job.report(QString(C::sUnableToRename) + core::ReadableName(core::EncodeName(name)));
            }
        }
        job.done(0, 1);
    }
    job.flush();
    return renamed;
}

} // namespace corvane::filetools
