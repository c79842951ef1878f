#include "LaunchMount.h"

#include "LaunchTexts.h"
#include "NameCodec.h"
#include "Volumes.h"

#include <QUrl>

// GLib names a struct member "signals", which Qt defines as a keyword.
#include "GlibPtr.h"

#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace corvane::platform {

namespace {


QString fromUtf8(const char* s)
{
    return s ? QString::fromUtf8(s) : QString();
}

bool isRemotePath(const QByteArray& path)
{
    return !path.isEmpty() && GetDriveType(VolumeRootOf(path)) == DRIVE_REMOTE;
}

} // namespace

struct NetworkMountJob::Gio {
    QString uri;
    GObjectPtr<GMount> mount;  // to unmount; none to mount uri
    bool unmount = false;
    // Set on the worker while the job runs.
    NetworkMountJob* job = nullptr;
    bool done = false;
    bool ok = false;
    GErrorPtr error;
};

namespace {

using Gio = NetworkMountJob::Gio;

void onAskPassword(GMountOperation* op, gchar* message, gchar* defaultUser, gchar* defaultDomain, GAskPasswordFlags flags,
                   gpointer data)
{
    auto* gio = static_cast<Gio*>(data);
    MountPasswordRequest request;
    request.message = fromUtf8(message);
    request.defaultUser = fromUtf8(defaultUser);
    request.defaultDomain = fromUtf8(defaultDomain);
    request.needUser = flags & G_ASK_PASSWORD_NEED_USERNAME;
    request.needDomain = flags & G_ASK_PASSWORD_NEED_DOMAIN;
    request.needPassword = flags & G_ASK_PASSWORD_NEED_PASSWORD;
    request.anonymousAllowed = flags & G_ASK_PASSWORD_ANONYMOUS_SUPPORTED;
    MountPasswordAnswer answer;
    if (gio->job->AskPassword)
        answer = gio->job->ask([&] { return gio->job->AskPassword(request); }, MountPasswordAnswer{});
    if (!answer.ok) {
        g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
        return;
    }
    if (answer.anonymous) {
        g_mount_operation_set_anonymous(op, TRUE);
    } else {
        g_mount_operation_set_username(op, answer.user.toUtf8().constData());
        g_mount_operation_set_domain(op, answer.domain.toUtf8().constData());
        g_mount_operation_set_password(op, answer.password.toUtf8().constData());
    }
    g_mount_operation_set_password_save(op, G_PASSWORD_SAVE_NEVER);
    g_mount_operation_reply(op, G_MOUNT_OPERATION_HANDLED);
}

void onAskQuestion(GMountOperation* op, gchar* message, GStrv choices, gpointer data)
{
    auto* gio = static_cast<Gio*>(data);
    QStringList list;
    for (GStrv c = choices; c && *c; ++c)
        list << fromUtf8(*c);
    int choice = -1;
    if (gio->job->AskQuestion)
        choice = gio->job->ask([&] { return gio->job->AskQuestion(fromUtf8(message), list); }, -1);
    if (choice < 0 || choice >= list.size()) {
        g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
        return;
    }
    g_mount_operation_set_choice(op, choice);
    g_mount_operation_reply(op, G_MOUNT_OPERATION_HANDLED);
}

void onMounted(GObject* source, GAsyncResult* result, gpointer data)
{
    auto* gio = static_cast<Gio*>(data);
    GError* raw = nullptr;
    const gboolean ok = g_file_mount_enclosing_volume_finish(G_FILE(source), result, &raw);
    gio->error.reset(raw);
    // Already mounted is what the user wanted.
    gio->ok = ok || (raw && g_error_matches(raw, G_IO_ERROR, G_IO_ERROR_ALREADY_MOUNTED));
    gio->done = true;
}

void onUnmounted(GObject* source, GAsyncResult* result, gpointer data)
{
    auto* gio = static_cast<Gio*>(data);
    GError* raw = nullptr;
    gio->ok = g_mount_unmount_with_operation_finish(G_MOUNT(source), result, &raw);
    gio->error.reset(raw);
    gio->done = true;
}

GMount* findMount(const QString& uri)
{
    GObjectPtr<GVolumeMonitor> monitor(g_volume_monitor_get());
    GList* mounts = g_volume_monitor_get_mounts(monitor.get());
    GMount* found = nullptr;
    for (GList* l = mounts; l; l = l->next) {
        auto* mount = G_MOUNT(l->data);
        GObjectPtr<GFile> root(g_mount_get_root(mount));
        GCharPtr rootUri(g_file_get_uri(root.get()));
        if (!found && fromUtf8(rootUri.get()) == uri)
            found = G_MOUNT(g_object_ref(mount));
    }
    g_list_free_full(mounts, g_object_unref);
    return found;
}

} // namespace

bool IsNetworkAddress(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    return url.isValid() && NetworkSchemes.contains(url.scheme().toLower()) && !url.host().isEmpty()
           && address.trimmed().contains(QLatin1String("://"));
}

std::vector<NetworkMountInfo> NetworkMounts()
{
    std::vector<NetworkMountInfo> out;
    GObjectPtr<GVolumeMonitor> monitor(g_volume_monitor_get());
    GList* mounts = g_volume_monitor_get_mounts(monitor.get());
    for (GList* l = mounts; l; l = l->next) {
        auto* mount = G_MOUNT(l->data);
        GObjectPtr<GFile> root(g_mount_get_root(mount));
        GCharPtr uri(g_file_get_uri(root.get()));
        GCharPtr path(g_file_get_path(root.get()));
        const bool native = g_file_has_uri_scheme(root.get(), "file");
        const QByteArray localPath = path ? QByteArray(path.get()) : QByteArray();
        if ((native && !isRemotePath(localPath)) || !g_mount_can_unmount(mount))
            continue;
        GCharPtr name(g_mount_get_name(mount));
        out.push_back({fromUtf8(name.get()), fromUtf8(uri.get()), DecodeName(localPath)});
    }
    g_list_free_full(mounts, g_object_unref);
    return out;
}

NetworkMountJob::NetworkMountJob() : m_gio(std::make_unique<Gio>()) {}

NetworkMountJob::~NetworkMountJob() = default;

NetworkMountJob* NetworkMountJob::Mount(const QString& uri)
{
    auto* job = new NetworkMountJob;
    job->m_gio->uri = uri.trimmed();
    return job;
}

NetworkMountJob* NetworkMountJob::Unmount(const QString& uri)
{
    auto* job = new NetworkMountJob;
    job->m_gio->uri = uri;
    job->m_gio->unmount = true;
    job->m_gio->mount.reset(findMount(uri));
    return job;
}

bool NetworkMountJob::Ok() const
{
    std::lock_guard lock(resultMutex());
    return m_ok;
}

QString NetworkMountJob::Error() const
{
    std::lock_guard lock(resultMutex());
    return m_error;
}

void NetworkMountJob::execute()
{
    Gio& gio = *m_gio;
    gio.job = this;
    if (gio.unmount && !gio.mount) {
        std::lock_guard lock(resultMutex());
        m_error = QString::fromUtf8(texts::NotMounted);
        return;
    }
    // GIO delivers its replies to the worker's own context, which only this loop turns.
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    {
        GObjectPtr<GCancellable> cancellable(g_cancellable_new());
        GObjectPtr<GMountOperation> operation(g_mount_operation_new());
        g_signal_connect(operation.get(), "ask-question", G_CALLBACK(onAskQuestion), &gio);
        if (gio.unmount) {
            g_mount_unmount_with_operation(gio.mount.get(), G_MOUNT_UNMOUNT_NONE, operation.get(), cancellable.get(),
                                           onUnmounted, &gio);
        } else {
            g_signal_connect(operation.get(), "ask-password", G_CALLBACK(onAskPassword), &gio);
            GObjectPtr<GFile> file(g_file_new_for_uri(gio.uri.toUtf8().constData()));
            g_file_mount_enclosing_volume(file.get(), G_MOUNT_MOUNT_NONE, operation.get(), cancellable.get(), onMounted,
                                          &gio);
        }
        // A tick wakes the loop to look at the cancel flag.
        GSource* tick = g_timeout_source_new(50);
        g_source_set_callback(tick, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr, nullptr);
        g_source_attach(tick, context);
        while (!gio.done) {
            if (isCancelled())
                g_cancellable_cancel(cancellable.get());
            g_main_context_iteration(context, TRUE);
        }
        g_source_destroy(tick);
        g_source_unref(tick);
        g_signal_handlers_disconnect_by_data(operation.get(), &gio);
    }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);

    QString text;
    GError* error = gio.error.get();
    // A cancelled question or password has been answered by the user already.
    if (!gio.ok && error && !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)
        && !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_FAILED_HANDLED))
        text = fromUtf8(error->message);
    // Without GVfs, GIO knows no network schemes at all.
    if (!gio.ok && error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED))
        text += QLatin1Char('\n') + QString::fromLatin1(texts::NeedGvfs);
    std::lock_guard lock(resultMutex());
    m_ok = gio.ok;
    m_error = text;
}

} // namespace corvane::platform
