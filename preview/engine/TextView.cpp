#include "TextView.h"

namespace corvane::preview {

QString FilteredText(QByteArrayView)
{
    return {};
}

QString DecodePlainText(QByteArrayView)
{
    return {};
}

} // namespace corvane::preview
