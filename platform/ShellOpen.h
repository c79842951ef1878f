#pragma once
// Opening files: the default application of a file's type (GIO), programs and .desktop launchers,
// and the applications that can open a type, for Open With and the properties dialog.
#include <QByteArray>
#include <QString>
#include <vector>

namespace corvane::platform {

struct AppChoice {
    QString id;    // the desktop file id, e.g. "org.gnome.gedit.desktop"
    QString name;
    bool isDefault = false;
};

// The file's MIME type name, e.g. "text/plain".
QString ContentTypeOf(const QByteArray& path);
// Starts what the file is: a program runs, a .desktop launcher launches, any other file opens in
// its default application. False (with the reason) when nothing could be started.
bool OpenPath(const QByteArray& path, QString* error);
// Whether files can be dropped on it: an executable file or a .desktop application launcher.
bool IsProgram(const QByteArray& path);
// Starts the program or launcher with the files as its arguments.
bool RunWithFiles(const QByteArray& program, const std::vector<QByteArray>& files, QString* error);
// Applications registered for the file's type; the default one first.
std::vector<AppChoice> ApplicationsFor(const QByteArray& path);
QString DefaultApplicationName(const QByteArray& path);
// Opens the file with the application; with makeDefault it becomes the type's default.
bool OpenWith(const QString& appId, const QByteArray& path, bool makeDefault, QString* error);

} // namespace corvane::platform
