// GIO first: Qt's "signals" macro breaks its headers.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "ShellOpen.h"

#include "NameCodec.h"

#include <QProcess>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace corvane::platform {

namespace {

struct GObjectUnref {
    void operator()(gpointer p) const
    {
        if (p)
            g_object_unref(p);
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

struct GFreeString {
    void operator()(char* p) const { g_free(p); }
};
using GString_ = std::unique_ptr<char, GFreeString>;

QString takeError(GError* error)
{
    if (!error)
        return {};
    QString text = QString::fromUtf8(error->message);
    g_error_free(error);
    return text;
}

GPtr<GFile> fileOf(const QByteArray& path)
{
    return GPtr<GFile>(g_file_new_for_path(path.constData()));
}

GString_ contentType(const QByteArray& path)
{
    GPtr<GFileInfo> info(g_file_query_info(fileOf(path).get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                           G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    const char* type = info ? g_file_info_get_content_type(info.get()) : nullptr;
    return GString_(g_strdup(type ? type : "application/octet-stream"));
}

bool launch(GAppInfo* app, const QByteArray& path, QString* error)
{
    GPtr<GFile> file = fileOf(path);
    GList files{file.get(), nullptr, nullptr};
    GError* err = nullptr;
    const bool ok = g_app_info_launch(app, &files, nullptr, &err);
    const QString text = takeError(err);
    if (!ok && error)
        *error = text;
    return ok;
}

} // namespace

QString ContentTypeOf(const QByteArray& path)
{
    GString_ type = contentType(path);
    GString_ mime(g_content_type_get_mime_type(type.get()));
    return QString::fromUtf8(mime ? mime.get() : type.get());
}

bool OpenPath(const QByteArray& path, QString* error)
{
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    if (path.endsWith(".desktop")) {
        GPtr<GDesktopAppInfo> app(g_desktop_app_info_new_from_filename(path.constData()));
        if (app) {
            GError* err = nullptr;
            const bool ok = g_app_info_launch(G_APP_INFO(app.get()), nullptr, nullptr, &err);
            const QString text = takeError(err);
            if (!ok && error)
                *error = text;
            return ok;
        }
    }
    if (S_ISREG(st.st_mode) && ::access(path.constData(), X_OK) == 0) {
        if (QProcess::startDetached(QString::fromLocal8Bit(path), {}, QString::fromLocal8Bit(ParentOf(path))))
            return true;
    }
    GString_ type = contentType(path);
    GPtr<GAppInfo> app(g_app_info_get_default_for_type(type.get(), FALSE));
    if (!app) {
        GPtr<GFile> file = fileOf(path);
        GString_ uri(g_file_get_uri(file.get()));
        GError* err = nullptr;
        const bool ok = g_app_info_launch_default_for_uri(uri.get(), nullptr, &err);
        const QString text = takeError(err);
        if (!ok && error)
            *error = text;
        return ok;
    }
    return launch(app.get(), path, error);
}

bool IsProgram(const QByteArray& path)
{
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (path.endsWith(".desktop")) {
        GPtr<GDesktopAppInfo> app(g_desktop_app_info_new_from_filename(path.constData()));
        return app != nullptr;
    }
    return ::access(path.constData(), X_OK) == 0;
}

bool RunWithFiles(const QByteArray& program, const std::vector<QByteArray>& files, QString* error)
{
    if (program.endsWith(".desktop")) {
        GPtr<GDesktopAppInfo> app(g_desktop_app_info_new_from_filename(program.constData()));
        if (app) {
            std::vector<GPtr<GFile>> owned;
            GList* list = nullptr;
            for (const QByteArray& f : files) {
                owned.push_back(fileOf(f));
                list = g_list_append(list, owned.back().get());
            }
            GError* err = nullptr;
            const bool ok = g_app_info_launch(G_APP_INFO(app.get()), list, nullptr, &err);
            g_list_free(list);
            const QString text = takeError(err);
            if (!ok && error)
                *error = text;
            return ok;
        }
    }
    QStringList args;
    for (const QByteArray& f : files)
        args << QString::fromLocal8Bit(f);
    if (QProcess::startDetached(QString::fromLocal8Bit(program), args, QString::fromLocal8Bit(ParentOf(program))))
        return true;
    if (error)
        *error = QString::fromLocal8Bit(strerror(errno ? errno : ENOEXEC));
    return false;
}

std::vector<AppChoice> ApplicationsFor(const QByteArray& path)
{
    std::vector<AppChoice> out;
    GString_ type = contentType(path);
    GPtr<GAppInfo> def(g_app_info_get_default_for_type(type.get(), FALSE));
    const char* defId = def ? g_app_info_get_id(def.get()) : nullptr;
    GList* list = g_app_info_get_all_for_type(type.get());
    for (GList* l = list; l; l = l->next) {
        auto* app = static_cast<GAppInfo*>(l->data);
        const char* id = g_app_info_get_id(app);
        AppChoice c;
        c.id = QString::fromUtf8(id ? id : "");
        c.name = QString::fromUtf8(g_app_info_get_display_name(app));
        c.isDefault = defId && id && g_strcmp0(defId, id) == 0;
        if (c.isDefault)
            out.insert(out.begin(), c);
        else
            out.push_back(c);
    }
    g_list_free_full(list, g_object_unref);
    return out;
}

QString DefaultApplicationName(const QByteArray& path)
{
    GString_ type = contentType(path);
    GPtr<GAppInfo> def(g_app_info_get_default_for_type(type.get(), FALSE));
    return def ? QString::fromUtf8(g_app_info_get_display_name(def.get())) : QString();
}

bool OpenWith(const QString& appId, const QByteArray& path, bool makeDefault, QString* error)
{
    GPtr<GDesktopAppInfo> app(g_desktop_app_info_new(appId.toUtf8().constData()));
    if (!app) {
        if (error)
            *error = appId;
        return false;
    }
    if (makeDefault) {
        GString_ type = contentType(path);
        GError* err = nullptr;
        if (!g_app_info_set_as_default_for_type(G_APP_INFO(app.get()), type.get(), &err)) {
            const QString text = takeError(err);
            if (error)
                *error = text;
            return false;
        }
    }
    return launch(G_APP_INFO(app.get()), path, error);
}

} // namespace corvane::platform
