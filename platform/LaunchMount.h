#pragma once
// Network locations mounted and unmounted through GIO (smb://, sftp://, nfs://).
#include "core/Job.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace corvane::platform {

// The schemes that Map Network Drive accepts.
inline const QStringList NetworkSchemes = {QStringLiteral("smb"), QStringLiteral("sftp"), QStringLiteral("nfs")};
// Whether the address is one of those schemes followed by "//" and a host.
bool IsNetworkAddress(const QString& address);

struct MountPasswordRequest {
    QString message;
    QString defaultUser;
    QString defaultDomain;
    bool needUser = false;
    bool needDomain = false;
    bool needPassword = false;
    bool anonymousAllowed = false;
};
struct MountPasswordAnswer {
    bool ok = false;
    bool anonymous = false;
    QString user;
    QString domain;
    QString password;
};

struct NetworkMountInfo {
    QString name;
    QString uri;
    // The local folder where the mount can be browsed; may be empty.
    QString path;
};
// The network mounts that can be unmounted now.
std::vector<NetworkMountInfo> NetworkMounts();

// Mounts or unmounts one network location on a worker of its own, so neither a slow server nor
// a stuck GVfs ever holds up a window. Questions and passwords go to the handlers, which run on
// the user-interface thread; cancelling answers any question still pending with "cancel".
class NetworkMountJob : public core::Job
{
    Q_OBJECT
public:
    // Both are called on the user-interface thread: GIO's list of mounts lives there.
    static NetworkMountJob* Mount(const QString& uri);
    // Unmounts the network mount with that root address.
    static NetworkMountJob* Unmount(const QString& uri);
    ~NetworkMountJob() override;

    // Called on the user-interface thread while the job runs; an answer that is not ok cancels.
    std::function<MountPasswordAnswer(const MountPasswordRequest&)> AskPassword;
    // The index of the chosen answer, or -1 to cancel.
    std::function<int(const QString& message, const QStringList& choices)> AskQuestion;

    // Final once finished. The error is empty when the user cancelled.
    bool Ok() const;
    QString Error() const;

    // What the GIO callbacks on the worker share with the job.
    struct Gio;

protected:
    void execute() override;

private:
    NetworkMountJob();

    std::unique_ptr<Gio> m_gio;
    bool m_ok = false;  // guarded by resultMutex()
    QString m_error;
};

} // namespace corvane::platform
