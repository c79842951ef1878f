#pragma once
// Network locations mounted and unmounted through GIO (smb://, sftp://, nfs://). The jobs run
// in the background; questions and passwords go to the caller's handlers on the UI thread.
#include <QObject>
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

class NetworkMountJob : public QObject
{
    Q_OBJECT
public:
    explicit NetworkMountJob(QObject* parent = nullptr);
    ~NetworkMountJob() override;

    // Called while a job runs; an answer that is not ok cancels the job.
    std::function<MountPasswordAnswer(const MountPasswordRequest&)> AskPassword;
    // The index of the chosen answer, or -1 to cancel.
    std::function<int(const QString& message, const QStringList& choices)> AskQuestion;

    void Mount(const QString& uri);
    // Unmounts the network mount with that root address.
    void Unmount(const QString& uri);
    void Cancel();
    bool Running() const;

    // What the pending GIO calls share with the job; they may outlive it.
    struct State;

signals:
    // The error is empty when the user cancelled.
    void Finished(bool ok, const QString& error);

private:
    std::shared_ptr<State> m_state;
    void startPolling();
};

} // namespace corvane::platform
