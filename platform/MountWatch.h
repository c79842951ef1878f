#pragma once
// Tells when the volumes shown to the user change: something was mounted or unmounted.
#include <QByteArrayList>
#include <QObject>

class QSocketNotifier;

namespace corvane::platform {

class TMountWatch : public QObject
{
    Q_OBJECT
public:
    // The one watch of the program, on the user-interface thread.
    static TMountWatch& instance();
    ~TMountWatch() override;

signals:
    void VolumesChanged();

private:
    TMountWatch();
    void mountTableChanged();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QByteArrayList m_shown;
};

} // namespace corvane::platform
