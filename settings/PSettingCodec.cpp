#include "PSettingCodec.h"

#include "PSettingConsts.h"
#include "PStreaming.h"

#include <QtEndian>
#include <optional>

namespace corvane::settings {

namespace {

void putU32(QByteArray& out, std::uint32_t v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void putText(QByteArray& out, const QString& text)
{
    const QByteArray u = text.toUtf8();
    putU32(out, std::uint32_t(u.size()));
    out.append(u);
}

void putFloat(QByteArray& out, const Extended80& e)
{
    out.append(reinterpret_cast<const char*>(e.bytes.data()), qsizetype(e.bytes.size()));
}

class ByteReader
{
public:
    explicit ByteReader(const QByteArray& data)
        : m_data(data)
    {
    }
    qsizetype remaining() const { return m_data.size() - m_pos; }
    std::optional<QByteArray> bytes(qsizetype n)
    {
        if (n < 0 || n > remaining())
            return std::nullopt;
        QByteArray b = m_data.mid(m_pos, n);
        m_pos += n;
        return b;
    }
    std::optional<std::uint32_t> u32()
    {
        auto b = bytes(4);
        if (!b)
            return std::nullopt;
        return qFromLittleEndian<std::uint32_t>(b->constData());
    }
    // A 32-bit length, then that many bytes; a negative length or a short read fails.
    std::optional<QString> text()
    {
        auto len = u32();
        if (!len || std::int32_t(*len) < 0)
            return std::nullopt;
        auto b = bytes(qsizetype(std::int32_t(*len)));
        if (!b)
            return std::nullopt;
        return QString::fromUtf8(*b);
    }
    std::optional<Extended80> float80()
    {
        auto b = bytes(10);
        if (!b)
            return std::nullopt;
        Extended80 e;
        for (int i = 0; i < 10; ++i)
            e.bytes[std::size_t(i)] = std::uint8_t((*b)[i]);
        return e;
    }
    QByteArray rest()
    {
        QByteArray b = m_data.mid(m_pos);
        m_pos = m_data.size();
        return b;
    }

private:
    const QByteArray& m_data;
    qsizetype m_pos = 0;
};

const TPHiddenPropsUse::Entry* hiddenEntry(const TPSetting& s, TPHiddenPropsUse& use)
{
    auto* owner = dynamic_cast<IPHiddenProps*>(s.Value().Object.data());
    if (!owner)
        return nullptr;
    owner->DefineProperties(use);
    return use.Find(s.ValueName());
}

QByteArray hiddenBytes(const TPSetting& s)
{
    TPHiddenPropsUse use;
    const auto* e = hiddenEntry(s, use);
    return e ? e->Write() : QByteArray();
}

QByteArray collectionBytes(const TPSetting& s)
{
    const auto* c = qobject_cast<const TPCollection*>(s.Value().Object.data());
    // An empty collection when the object has gone: marker and end marker.
    return c ? WriteCollection(*c) : QByteArray("\x0e\x00", 2);
}

// The streamed bytes of a hidden property or collection go to the object the binding names.
void readObjectBytes(TPSetting& s, TPValueType code, ByteReader& r)
{
    s.ReadFromProperty();
    if (s.ValueType() != code)
        return;
    if (code == pvtHiddenProp) {
        TPHiddenPropsUse use;
        if (const auto* e = hiddenEntry(s, use))
            e->Read(r.rest());
        return;
    }
    if (!r.bytes(1))
        return;
    if (auto* c = qobject_cast<TPCollection*>(s.Value().Object.data()))
        ReadCollection(*c, r.rest());
}

} // namespace

QByteArray EncodeBinary(const TPSetting& Setting)
{
    const TPValue& v = Setting.Value();
    QByteArray out;
    putU32(out, v.Type);
    switch (v.Type) {
    case pvtFloat:
    case pvtDateTime:
        putFloat(out, v.Float);
        break;
    case pvtBoolean:
        out.append(char(v.Boolean ? 1 : 0));
        break;
    case pvtVariant:
    case pvtStrings:
        putText(out, v.Text);
        break;
    case pvtHiddenProp:
        out.append(hiddenBytes(Setting));
        break;
    case pvtCollection:
        out.append(collectionBytes(Setting));
        break;
    default:
        break;
    }
    return out;
}

QByteArray PlainStream(const TPSetting& Setting)
{
    const TPValue& v = Setting.Value();
    QByteArray out;
    putText(out, QString::fromLatin1(consts::SScrambleHeader));
    putU32(out, v.Type);
    switch (v.Type) {
    case pvtString:
    case pvtVariant:
    case pvtStrings:
        putText(out, v.Text);
        break;
    case pvtInteger:
        putU32(out, std::uint32_t(v.Integer));
        break;
    case pvtFloat:
    case pvtDateTime:
        putFloat(out, v.Float);
        break;
    case pvtBoolean:
        out.append(char(v.Boolean ? 1 : 0));
        break;
    case pvtHiddenProp:
        out.append(hiddenBytes(Setting));
        break;
    case pvtCollection:
        out.append(collectionBytes(Setting));
        break;
    case pvtNone:
        break;
    }
    return out;
}

QByteArray Scramble(const QByteArray& Plain, const QByteArray& Key, std::uint8_t Seed)
{
    QByteArray out(Plain.size() + 1, '\0');
    out[0] = char(Seed);
    std::uint8_t s = Seed;
    for (qsizetype j = 0; j < Plain.size(); ++j) {
        s = std::uint8_t(std::uint8_t(Plain[j]) + s);
        const std::uint8_t k = Key.isEmpty() ? 0 : std::uint8_t(Key[j % Key.size()]);
        out[j + 1] = char(s ^ k);
    }
    return out;
}

QByteArray Unscramble(const QByteArray& Stored, const QByteArray& Key)
{
    if (Stored.isEmpty())
        return {};
    QByteArray plain(Stored.size() - 1, '\0');
    std::uint8_t s = std::uint8_t(Stored[0]);
    for (qsizetype j = 0; j + 1 < Stored.size(); ++j) {
        const std::uint8_t k = Key.isEmpty() ? 0 : std::uint8_t(Key[j % Key.size()]);
        const std::uint8_t x = std::uint8_t(Stored[j + 1]) ^ k;
        plain[j] = char(std::uint8_t(x - s));
        s = x;
    }
    return plain;
}

QByteArray EncodeScrambled(const TPSetting& Setting, std::uint8_t Seed)
{
    return Scramble(PlainStream(Setting), Setting.UniqueName().toLatin1(), Seed);
}

void DecodeBinary(TPSetting& Setting, const QByteArray& Data)
{
    try {
        ByteReader r(Data);
        const auto code = r.u32();
        if (!code)
            return;
        switch (*code) {
        case pvtFloat:
        case pvtDateTime:
            if (auto e = r.float80())
                Setting.SetAsExtended(*e, TPValueType(*code));
            break;
        case pvtBoolean:
            if (auto b = r.bytes(1))
                Setting.SetAsBoolean((*b)[0] != 0);
            break;
        case pvtVariant:
            if (auto t = r.text())
                Setting.SetAsVariant(QVariant(*t));
            break;
        case pvtStrings:
            if (auto t = r.text())
                Setting.SetAsCommaText(*t);
            break;
        case pvtHiddenProp:
        case pvtCollection:
            readObjectBytes(Setting, TPValueType(*code), r);
            break;
        default:
            break;
        }
    } catch (const std::exception&) {
        // Stored values are untrusted; what cannot be restored is left as it is.
    }
}

void DecodeScrambled(TPSetting& Setting, const QByteArray& Stored)
{
    const QByteArray plain = Unscramble(Stored, Setting.UniqueName().toLatin1());
    Setting.Clear();
    try {
        ByteReader r(plain);
        const auto header = r.text();
        if (!header || *header != QLatin1String(consts::SScrambleHeader))
            return;
        const auto code = r.u32();
        if (!code)
            return;
        switch (*code) {
        case pvtString:
            if (auto t = r.text())
                Setting.SetAsString(*t);
            break;
        case pvtInteger:
            if (auto v = r.u32())
                Setting.SetAsInteger(std::int32_t(*v));
            break;
        case pvtFloat:
        case pvtDateTime:
            if (auto e = r.float80())
                Setting.SetAsExtended(*e, TPValueType(*code));
            break;
        case pvtBoolean:
            if (auto b = r.bytes(1))
                Setting.SetAsBoolean((*b)[0] != 0);
            break;
        case pvtVariant:
            if (auto t = r.text())
                Setting.SetAsVariant(QVariant(*t));
            break;
        case pvtStrings:
            if (auto t = r.text())
                Setting.SetAsCommaText(*t);
            break;
        case pvtHiddenProp:
        case pvtCollection:
            readObjectBytes(Setting, TPValueType(*code), r);
            break;
        default:
            break;
        }
    } catch (const std::exception&) {
        // As above: the setting stays as far as it got.
    }
}

} // namespace corvane::settings
