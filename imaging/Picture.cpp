#include "Picture.h"

namespace corvane::imaging {

bool CanLoad(const QString&)
{
    return false;
}

Picture LoadPicture(const QString&, QSize, const std::atomic_bool*)
{
    return {};
}

int FitZoom(QSize, QSize)
{
    return 0;
}

QRect PrintRect(QSize, int, int, double)
{
    return {};
}

} // namespace corvane::imaging
