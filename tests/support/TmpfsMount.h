#pragma once
// A small tmpfs mounted over a folder for a test's lifetime: a disk that fills up. Needs root,
// which the tests have.
#include <QByteArray>

namespace corvane::test {

class TmpfsMount
{
public:
    TmpfsMount(const QByteArray& dir, const char* size);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    bool ok() const { return m_ok; }

private:
    QByteArray m_at;
    bool m_ok;
};

} // namespace corvane::test
