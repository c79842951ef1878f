#include "RtfReader.h"

namespace corvane::preview {

bool IsRtf(QByteArrayView)
{
    return false;
}

void ReadRtf(QByteArrayView, QTextDocument&) {}

} // namespace corvane::preview
