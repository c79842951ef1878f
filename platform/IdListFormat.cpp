#include "IdListFormat.h"

namespace corvane::platform {

namespace {

quint16 readSize(const char* p)
{
    return quint16(quint8(p[0]) | (quint16(quint8(p[1])) << 8));
}

// Length of the whole items at the start of the bytes (without terminator).
qsizetype bodyLength(QByteArrayView bytes, bool* wellFormed)
{
    qsizetype pos = 0;
    while (pos + 2 <= bytes.size()) {
        quint16 cb = readSize(bytes.data() + pos);
        if (cb == 0) {
            if (wellFormed)
                *wellFormed = true;
            return pos;
        }
        if (cb < 2 || pos + cb > bytes.size())
            break;
        pos += cb;
    }
    if (wellFormed)
        *wellFormed = false;
    return pos;
}

} // namespace

qsizetype IdListByteSize(const PItemIDList& list)
{
    if (list.isNull())
        return 0;
    return bodyLength(list.bytes(), nullptr) + 2;
}

bool IsWellFormedIdList(QByteArrayView bytes)
{
    bool ok = false;
    bodyLength(bytes, &ok);
    return ok;
}

QByteArrayView IdListBody(const PItemIDList& list)
{
    if (list.isNull())
        return {};
    return QByteArrayView(list.constData(), bodyLength(list.bytes(), nullptr));
}

std::vector<QByteArrayView> IdListItems(const PItemIDList& list)
{
    std::vector<QByteArrayView> items;
    QByteArrayView body = IdListBody(list);
    qsizetype pos = 0;
    while (pos < body.size()) {
        quint16 cb = readSize(body.data() + pos);
        items.emplace_back(body.data() + pos + 2, cb - 2);
        pos += cb;
    }
    return items;
}

PItemIDList MakeIdItem(QByteArrayView payload)
{
    // Payloads longer than an item can hold are cut; names never come near 65533 bytes.
    qsizetype n = qMin<qsizetype>(payload.size(), 0xFFFF - 2);
    PItemIDList out(n + 4, Qt::Uninitialized);
    char* p = out.data();
    quint16 cb = quint16(n + 2);
    p[0] = char(cb & 0xFF);
    p[1] = char(cb >> 8);
    memcpy(p + 2, payload.data(), size_t(n));
    p[n + 2] = 0;
    p[n + 3] = 0;
    return out;
}

PItemIDList EmptyIdList()
{
    return PItemIDList(QByteArray(2, '\0'));
}

PItemIDList ConcatIdLists(const PItemIDList& first, const PItemIDList& second)
{
    QByteArrayView a = IdListBody(first), b = IdListBody(second);
    PItemIDList out;
    out.reserve(a.size() + b.size() + 2);
    out.append(a.data(), a.size());
    out.append(b.data(), b.size());
    out.append(2, '\0');
    return out;
}

} // namespace corvane::platform
