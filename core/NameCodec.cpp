#include "NameCodec.h"

namespace corvane::core {

namespace {

// Length of the valid UTF-8 sequence starting at p (p < end), or 0 when invalid.
int validSequence(const unsigned char* p, const unsigned char* end, char32_t& cp)
{
    unsigned char c = p[0];
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    int len;
    char32_t min;
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        cp = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        cp = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (end - p < len)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

template <typename OnInvalid>
QString decode(const QByteArray& bytes, OnInvalid onInvalid)
{
    QString out;
    out.reserve(bytes.size());
    auto p = reinterpret_cast<const unsigned char*>(bytes.constData());
    auto end = p + bytes.size();
    while (p < end) {
        if (*p < 0x80) {
            out.append(QChar(char16_t(*p)));
            ++p;
            continue;
        }
        char32_t cp;
        int len = validSequence(p, end, cp);
        if (len == 0) {
            out.append(onInvalid(*p));
            ++p;
            continue;
        }
        if (cp >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        p += len;
    }
    return out;
}

} // namespace

QString DecodeName(const QByteArray& bytes)
{
    return decode(bytes, [](unsigned char b) { return QChar(char16_t(0xDC00 + b)); });
}

QString ReadableName(const QByteArray& bytes)
{
    QString s = decode(bytes, [](unsigned char) { return QChar(QChar::ReplacementCharacter); });
    for (QChar& c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QChar(QChar::ReplacementCharacter);
    }
    return s;
}

QByteArray EncodeName(const QString& name)
{
    QByteArray out;
    out.reserve(name.size());
    const QChar* p = name.constData();
    const QChar* end = p + name.size();
    while (p < end) {
        char16_t u = p->unicode();
        if (u < 0x80) {
            out.append(char(u));
            ++p;
            continue;
        }
        char32_t cp = u;
        if (QChar::isHighSurrogate(u) && p + 1 < end && QChar::isLowSurrogate(p[1].unicode())) {
            cp = QChar::surrogateToUcs4(u, p[1].unicode());
            p += 2;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out.append(char(u - 0xDC00));
            ++p;
            continue;
        } else {
            // Any other lone surrogate has no byte form; U+FFFD keeps the name writable.
            if (QChar::isSurrogate(u))
                cp = 0xFFFD;
            ++p;
        }
        if (cp < 0x800) {
            out.append(char(0xC0 | (cp >> 6)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.append(char(0xE0 | (cp >> 12)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else {
            out.append(char(0xF0 | (cp >> 18)));
            out.append(char(0x80 | ((cp >> 12) & 0x3F)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

bool HasEscapedBytes(const QString& name)
{
    for (QChar c : name) {
        if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF)
            return true;
    }
    return false;
}

QByteArray ParentOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash > 0 ? path.left(slash) : QByteArray("/");
}

QByteArray BaseName(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

} // namespace corvane::core
