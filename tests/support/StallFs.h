#pragma once
// A small read-only FUSE volume served by the test process itself: a disk or a network share
// that stops answering when told to. Stall() makes every request block until Release();
// requests from the guarded thread (the one that made the volume, normally the user-interface
// thread) are still answered at once but counted, so a test that touches the volume from
// there fails instead of hanging. Needs /dev/fuse and root, which the tests have.
#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <memory>
#include <sys/types.h>
#include <vector>

namespace corvane::test {

class StallFs
{
public:
    struct Request {
        QByteArray op;    // getattr, opendir, readdir, open, read, statfs, access
        QByteArray path;  // inside the volume, "/" for its root
        pid_t thread;
        bool stalled;     // came while the volume was stalled
    };

    // Entries ending in "/" are folders, others files holding their own name; names are
    // relative to the root. The subtype names the file system in the mount table as
    // "fuse.<subtype>" (e.g. "sshfs" for a volume that counts as a network share).
    explicit StallFs(std::initializer_list<QByteArray> entries, const QByteArray& subtype = "corvane-stallfs");
    // Where to mount; the folder must exist and stay empty. By default a temporary folder.
    StallFs(const QByteArray& mountPoint, std::initializer_list<QByteArray> entries, const QByteArray& subtype);
    // Releases every request, unmounts (lazily when something still holds the volume) and
    // stops serving; also when the test failed half-way.
    ~StallFs();
    StallFs(const StallFs&) = delete;
    StallFs& operator=(const StallFs&) = delete;

    bool ok() const;
    QByteArray mountPoint() const;
    QString path(const QString& rel = {}) const;
    QByteArray pathBytes(const QByteArray& rel = {}) const;

    void Stall();
    void Release();
    // The thread whose requests never block (gettid()); 0 guards none.
    void SetGuardedThread(pid_t thread);
    // Requests of the guarded thread that came while stalled.
    int GuardedTouches() const;
    // Requests waiting for Release() now.
    int Blocked() const;
    // Waits until at least one request is blocked; false when none came in time.
    bool WaitForBlocked(int timeoutMs) const;

    std::vector<Request> Requests() const;
    // How many requests with this op reached this path.
    int CountOf(const QByteArray& op, const QByteArray& path) const;
    void ClearRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace corvane::test
