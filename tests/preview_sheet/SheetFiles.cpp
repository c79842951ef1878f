#include "SheetFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <map>

namespace corvane::test {

QByteArray SheetCsv()
{
    QByteArray csv;
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 30; ++c)
            csv += (c > 1 ? "," : "") + QByteArray("r") + QByteArray::number(r) + "c" + QByteArray::number(c);
        csv += '\n';
    }
    csv += "12.5,2024-03-05,TRUE,key in text\n";
    return csv;
}

QString ConvertedSheet(const QString& format)
{
    static QTemporaryDir folder;
    static std::map<QString, QString> made;
    if (auto it = made.find(format); it != made.end())
        return it->second;
    const QString csv = folder.filePath(QStringLiteral("sheet.csv"));
    QFile file(csv);
    if (!file.exists() && (!file.open(QIODevice::WriteOnly) || file.write(SheetCsv()) < 0))
        return {};
    file.close();
    // A profile of its own: a LibreOffice the user (or another test) runs is never disturbed.
    QProcess soffice;
    soffice.start(QStringLiteral("soffice"),
                  {QStringLiteral("-env:UserInstallation=file://") + folder.filePath(QStringLiteral("profile")),
                   QStringLiteral("--headless"), QStringLiteral("--convert-to"), format, QStringLiteral("--outdir"),
                   folder.path(), csv});
    if (!soffice.waitForFinished(120000) || soffice.exitCode() != 0)
        return {};
    const QString out = folder.filePath(QStringLiteral("sheet.") + format);
    return made[format] = QFile::exists(out) ? out : QString();
}

QByteArray ZipOf(const std::vector<std::pair<QString, QByteArray>>& parts)
{
    QTemporaryDir folder;
    QStringList names;
    for (const auto& [name, content] : parts) {
        const QString path = folder.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(content);
        names << name;
    }
    QProcess zip;
    zip.setWorkingDirectory(folder.path());
    zip.start(QStringLiteral("zip"), QStringList{QStringLiteral("-q"), QStringLiteral("-X"), QStringLiteral("out.zip")} + names);
    if (!zip.waitForFinished(60000) || zip.exitCode() != 0)
        return {};
    QFile out(folder.filePath(QStringLiteral("out.zip")));
    return out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray();
}

} // namespace corvane::test
