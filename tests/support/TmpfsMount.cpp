#include "TmpfsMount.h"

#include <sys/mount.h>

namespace corvane::test {

TmpfsMount::TmpfsMount(const QByteArray& dir, const char* size)
    : m_at(dir), m_ok(::mount("tmpfs", dir.constData(), "tmpfs", 0, (QByteArray("size=") + size).constData()) == 0)
{
}

TmpfsMount::~TmpfsMount()
{
    if (m_ok)
        ::umount(m_at.constData());
}

} // namespace corvane::test
