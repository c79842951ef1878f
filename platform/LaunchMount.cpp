#include "LaunchMount.h"

#include "LaunchTexts.h"
#include "NameCodec.h"
#include "Volumes.h"

#include <QAbstractEventDispatcher>
#include <QTimer>
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

// Shared with the GIO callbacks, which may arrive after the job object is gone.
struct NetworkMountJob::State {
    NetworkMountJob* job = nullptr;
    GObjectPtr<GCancellable> cancellable;
    GObjectPtr<GMountOperation> operation;
    bool running = false;

    void finish(bool ok, GError* error)
    {
        running = false;
        if (!job)
            return;
        QString text;
        // A cancelled question or password has been answered by the user already.
        if (!ok && error && !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)
            && !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_FAILED_HANDLED))
            text = fromUtf8(error->message);
        // Without GVfs, GIO knows no network schemes at all.
        if (!ok && error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED))
            text += QLatin1Char('\n') + QString::fromLatin1(texts::NeedGvfs);
        emit job->Finished(ok, text);
    }
};

namespace {

// The heap copy of the shared state that a pending GIO call carries as its user data.
using StateRef = std::shared_ptr<NetworkMountJob::State>;

void onAskPassword(GMountOperation* op, gchar* message, gchar* defaultUser, gchar* defaultDomain, GAskPasswordFlags flags,
                   gpointer data)
{
    auto* state = static_cast<NetworkMountJob::State*>(data);
    MountPasswordRequest request;
    request.message = fromUtf8(message);
    request.defaultUser = fromUtf8(defaultUser);
    request.defaultDomain = fromUtf8(defaultDomain);
    request.needUser = flags & G_ASK_PASSWORD_NEED_USERNAME;
    request.needDomain = flags & G_ASK_PASSWORD_NEED_DOMAIN;
    request.needPassword = flags & G_ASK_PASSWORD_NEED_PASSWORD;
    request.anonymousAllowed = flags & G_ASK_PASSWORD_ANONYMOUS_SUPPORTED;
    MountPasswordAnswer answer;
    if (state->job && state->job->AskPassword)
        answer = state->job->AskPassword(request);
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
    auto* state = static_cast<NetworkMountJob::State*>(data);
    QStringList list;
    for (GStrv c = choices; c && *c; ++c)
        list << fromUtf8(*c);
    int choice = -1;
    if (state->job && state->job->AskQuestion)
        choice = state->job->AskQuestion(fromUtf8(message), list);
    if (choice < 0 || choice >= list.size()) {
        g_mount_operation_reply(op, G_MOUNT_OPERATION_ABORTED);
        return;
    }
    g_mount_operation_set_choice(op, choice);
    g_mount_operation_reply(op, G_MOUNT_OPERATION_HANDLED);
}

void onMounted(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<StateRef> ref(static_cast<StateRef*>(data));
    GError* raw = nullptr;
    const gboolean ok = g_file_mount_enclosing_volume_finish(G_FILE(source), result, &raw);
    GErrorPtr e(raw);
    // Already mounted is what the user wanted.
    const bool done = ok || (e && g_error_matches(e.get(), G_IO_ERROR, G_IO_ERROR_ALREADY_MOUNTED));
    (*ref)->finish(done, e.get());
}

void onUnmounted(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<StateRef> ref(static_cast<StateRef*>(data));
    GError* raw = nullptr;
    const gboolean ok = g_mount_unmount_with_operation_finish(G_MOUNT(source), result, &raw);
    GErrorPtr e(raw);
    (*ref)->finish(ok, e.get());
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

NetworkMountJob::NetworkMountJob(QObject* parent)
    : QObject(parent), m_state(std::make_shared<State>())
{
    m_state->job = this;
}

NetworkMountJob::~NetworkMountJob()
{
    m_state->job = nullptr;
    if (m_state->cancellable)
        g_cancellable_cancel(m_state->cancellable.get());
}

bool NetworkMountJob::Running() const
{
    return m_state->running;
}

void NetworkMountJob::Cancel()
{
    if (m_state->cancellable)
        g_cancellable_cancel(m_state->cancellable.get());
}

void NetworkMountJob::startPolling()
{
    // Without GLib's event loop under Qt, GIO's replies need the default context turned.
    QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance();
    if (d && d->inherits("QEventDispatcherGlib"))
        return;
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, timer] {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        if (!m_state->running)
            timer->deleteLater();
    });
    timer->start(20);
}

void NetworkMountJob::Mount(const QString& uri)
{
    if (m_state->running)
        return;
    m_state->cancellable.reset(g_cancellable_new());
    m_state->operation.reset(g_mount_operation_new());
    g_signal_connect(m_state->operation.get(), "ask-password", G_CALLBACK(onAskPassword), m_state.get());
    g_signal_connect(m_state->operation.get(), "ask-question", G_CALLBACK(onAskQuestion), m_state.get());
    m_state->running = true;
    GObjectPtr<GFile> file(g_file_new_for_uri(uri.trimmed().toUtf8().constData()));
    g_file_mount_enclosing_volume(file.get(), G_MOUNT_MOUNT_NONE, m_state->operation.get(), m_state->cancellable.get(),
                                  onMounted, new StateRef(m_state));
    startPolling();
}

void NetworkMountJob::Unmount(const QString& uri)
{
    if (m_state->running)
        return;
    GObjectPtr<GMount> mount(findMount(uri));
    if (!mount) {
        GError* e = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_MOUNTED, "%s", texts::NotMounted);
        GErrorPtr owned(e);
        m_state->finish(false, e);
        return;
    }
    m_state->cancellable.reset(g_cancellable_new());
    m_state->operation.reset(g_mount_operation_new());
    g_signal_connect(m_state->operation.get(), "ask-question", G_CALLBACK(onAskQuestion), m_state.get());
    m_state->running = true;
    g_mount_unmount_with_operation(mount.get(), G_MOUNT_UNMOUNT_NONE, m_state->operation.get(), m_state->cancellable.get(),
                                   onUnmounted, new StateRef(m_state));
    startPolling();
}

} // namespace corvane::platform
