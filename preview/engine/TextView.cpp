#include "TextView.h"

#include "CodePage.h"

#include <QStringDecoder>

namespace corvane::preview {

QString FilteredText(QByteArrayView bytes)
{
    QString text(bytes.size(), QChar(u' '));
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 32 && b <= 126) || b == '\n' || b == '\r')
            *out++ = QChar(char16_t(b));
    }
    return text;
}

QString DecodePlainText(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.sliced(3));
    // Notepad and most Windows programs mark UTF-16 with its byte-order mark.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return utf16.decode(bytes.sliced(2));
    }
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    QString text;
    AppendWindows1252(bytes, text);
    return text;
}

} // namespace corvane::preview
