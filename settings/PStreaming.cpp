#include "PStreaming.h"

#include "Extended80.h"
#include "PSetting.h"

#include <QMetaProperty>
#include <QtEndian>
#include <bit>
#include <limits>
#include <optional>

namespace corvane::settings {

namespace {

// Value tags of the component stream.
enum : std::uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20,
};

// Nesting of lists and collections inside item properties that the reader follows.
constexpr int kMaxDepth = 16;

void putShortString(QByteArray& out, const QByteArray& s)
{
    out.append(char(std::uint8_t(s.size())));
    out.append(s);
}

template<typename T>
void putLE(QByteArray& out, T v)
{
    char b[sizeof(T)];
    qToLittleEndian(v, b);
    out.append(b, sizeof(T));
}

bool isAscii(const QString& s)
{
    for (const QChar c : s) {
        if (c.unicode() > 127)
            return false;
    }
    return true;
}

void writeValue(QByteArray& out, const QMetaProperty& p, const QVariant& v)
{
    if (p.isEnumType()) {
        const QMetaEnum e = p.enumerator();
        const int value = v.toInt();
        if (p.isFlagType()) {
            out.append(char(vaSet));
            for (int i = 0; i < e.keyCount(); ++i) {
                const int k = e.value(i);
                if (k != 0 && (k & (k - 1)) == 0 && (value & k))
                    putShortString(out, e.key(i));
            }
            putShortString(out, {});
        } else {
            out.append(char(vaIdent));
            putShortString(out, e.valueToKey(value));
        }
        return;
    }
    switch (p.metaType().id()) {
    case QMetaType::Bool:
        out.append(char(v.toBool() ? vaTrue : vaFalse));
        return;
    case QMetaType::Double:
    case QMetaType::Float: {
        out.append(char(vaExtended));
        const Extended80 e = Extended80::fromDouble(v.toDouble());
        out.append(reinterpret_cast<const char*>(e.bytes.data()), 10);
        return;
    }
    case QMetaType::QString: {
        const QString s = v.toString();
        if (isAscii(s) && s.size() <= 255) {
            out.append(char(vaString));
            putShortString(out, s.toLatin1());
        } else {
            const QByteArray u = s.toUtf8();
            out.append(char(vaUTF8String));
            putLE<std::int32_t>(out, std::int32_t(u.size()));
            out.append(u);
        }
        return;
    }
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        out.append(char(vaBinary));
        putLE<std::int32_t>(out, std::int32_t(b.size()));
        out.append(b);
        return;
    }
    default: {
        const qint64 i = v.toLongLong();
        if (i >= -128 && i <= 127) {
            out.append(char(vaInt8));
            out.append(char(std::int8_t(i)));
        } else if (i >= -32768 && i <= 32767) {
            out.append(char(vaInt16));
            putLE<std::int16_t>(out, std::int16_t(i));
        } else if (i >= std::numeric_limits<std::int32_t>::min() && i <= std::numeric_limits<std::int32_t>::max()) {
            out.append(char(vaInt32));
            putLE<std::int32_t>(out, std::int32_t(i));
        } else {
            out.append(char(vaInt64));
            putLE<qint64>(out, i);
        }
        return;
    }
    }
}

bool streamable(const QMetaProperty& p)
{
    if (!p.isStored() || !p.isWritable() || !p.isReadable())
        return false;
    if (p.isEnumType())
        return true;
    switch (p.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

class StreamReader
{
public:
    explicit StreamReader(const QByteArray& data)
        : m_data(data)
    {
    }

    std::optional<std::uint8_t> byte()
    {
        if (m_pos >= m_data.size())
            return std::nullopt;
        return std::uint8_t(m_data[m_pos++]);
    }
    std::optional<QByteArray> bytes(qint64 n)
    {
        if (n < 0 || n > m_data.size() - m_pos)
            return std::nullopt;
        QByteArray b = m_data.mid(m_pos, qsizetype(n));
        m_pos += qsizetype(n);
        return b;
    }
    template<typename T>
    std::optional<T> le()
    {
        auto b = bytes(sizeof(T));
        if (!b)
            return std::nullopt;
        return qFromLittleEndian<T>(b->constData());
    }
    std::optional<QByteArray> shortString()
    {
        auto n = byte();
        if (!n)
            return std::nullopt;
        return bytes(*n);
    }

    // One tagged value. Integers, floats and texts come back as variants, identifiers as
    // strings, sets as string lists; lists and collections are read past.
    bool value(QVariant& out, bool& isIdent, int depth)
    {
        isIdent = false;
        auto tag = byte();
        if (!tag)
            return false;
        switch (*tag) {
        case vaNull:
        case vaNil:
            out = QVariant();
            return true;
        case vaFalse:
        case vaTrue:
            out = QVariant(*tag == vaTrue);
            return true;
        case vaInt8:
            if (auto v = le<std::int8_t>()) {
                out = QVariant(qint64(*v));
                return true;
            }
            return false;
        case vaInt16:
            if (auto v = le<std::int16_t>()) {
                out = QVariant(qint64(*v));
                return true;
            }
            return false;
        case vaInt32:
            if (auto v = le<std::int32_t>()) {
                out = QVariant(qint64(*v));
                return true;
            }
            return false;
        case vaInt64:
            if (auto v = le<qint64>()) {
                out = QVariant(*v);
                return true;
            }
            return false;
        case vaSingle:
            if (auto v = le<quint32>()) {
                out = QVariant(double(std::bit_cast<float>(*v)));
                return true;
            }
            return false;
        case vaExtended:
        case vaDate:
            if (auto b = bytes(10)) {
                Extended80 e;
                for (int i = 0; i < 10; ++i)
                    e.bytes[std::size_t(i)] = std::uint8_t((*b)[i]);
                out = QVariant(e.toDouble());
                return true;
            }
            return false;
        case vaCurrency:
            if (auto v = le<qint64>()) {
                out = QVariant(double(*v) / 10000.0);
                return true;
            }
            return false;
        case vaIdent:
        case vaString:
            if (auto s = shortString()) {
                out = QVariant(QString::fromLatin1(*s));
                isIdent = *tag == vaIdent;
                return true;
            }
            return false;
        case vaLString:
        case vaUTF8String:
        case vaBinary: {
            auto n = le<std::int32_t>();
            if (!n)
                return false;
            auto b = bytes(*n);
            if (!b)
                return false;
            if (*tag == vaBinary)
                out = QVariant(*b);
            else
                out = QVariant(*tag == vaLString ? QString::fromLatin1(*b) : QString::fromUtf8(*b));
            return true;
        }
        case vaWString: {
            auto n = le<std::int32_t>();
            if (!n || *n < 0 || *n > std::numeric_limits<std::int32_t>::max() / 2)
                return false;
            auto b = bytes(qint64(*n) * 2);
            if (!b)
                return false;
            QString s(*n, Qt::Uninitialized);
            for (std::int32_t i = 0; i < *n; ++i)
                s[i] = QChar(qFromLittleEndian<quint16>(b->constData() + 2 * i));
            out = QVariant(s);
            return true;
        }
        case vaSet: {
            QStringList members;
            for (;;) {
                auto s = shortString();
                if (!s)
                    return false;
                if (s->isEmpty())
                    break;
                members << QString::fromLatin1(*s);
            }
            out = QVariant(members);
            return true;
        }
        case vaList: {
            if (depth >= kMaxDepth)
                return false;
            for (;;) {
                auto peek = peekByte();
                if (!peek)
                    return false;
                if (*peek == vaNull) {
                    ++m_pos;
                    break;
                }
                QVariant ignored;
                bool ident = false;
                if (!value(ignored, ident, depth + 1))
                    return false;
            }
            out = QVariant();
            return true;
        }
        case vaCollection: {
            if (depth >= kMaxDepth)
                return false;
            out = QVariant();
            return items(nullptr, depth + 1);
        }
        default:
            return false;
        }
    }

    // Items up to the final end marker; into the collection when there is one.
    bool items(TPCollection* c, int depth)
    {
        for (;;) {
            auto tag = byte();
            if (!tag)
                return false;
            if (*tag == vaNull)
                return true;
            // An item may carry its index as an integer before the list marker.
            if (*tag == vaInt8 || *tag == vaInt16 || *tag == vaInt32) {
                const int skip = *tag == vaInt8 ? 1 : *tag == vaInt16 ? 2 : 4;
                if (!bytes(skip))
                    return false;
                tag = byte();
                if (!tag)
                    return false;
            }
            if (*tag != vaList)
                return false;
            QObject* item = c ? c->Add() : nullptr;
            if (!properties(item, depth))
                return false;
        }
    }

private:
    std::optional<std::uint8_t> peekByte() const
    {
        if (m_pos >= m_data.size())
            return std::nullopt;
        return std::uint8_t(m_data[m_pos]);
    }

    bool properties(QObject* item, int depth)
    {
        for (;;) {
            auto name = shortString();
            if (!name)
                return false;
            if (name->isEmpty())
                return true;
            QVariant v;
            bool ident = false;
            if (!value(v, ident, depth))
                return false;
            if (item)
                apply(item, QString::fromLatin1(*name), v);
        }
    }

    static void apply(QObject* item, const QString& name, const QVariant& v)
    {
        const QMetaObject* mo = item->metaObject();
        for (int i = QObject::staticMetaObject.propertyCount(); i < mo->propertyCount(); ++i) {
            const QMetaProperty p = mo->property(i);
            if (QString::fromLatin1(p.name()).compare(name, Qt::CaseInsensitive) != 0 || !streamable(p))
                continue;
            if (p.isEnumType()) {
                const QMetaEnum e = p.enumerator();
                int value = 0;
                bool ok = true;
                if (p.isFlagType()) {
                    for (const QString& m : v.toStringList()) {
                        bool found = false;
                        const int k = e.keyToValue(m.toLatin1().constData(), &found);
                        if (found)
                            value |= k;
                    }
                } else {
                    value = e.keyToValue(v.toString().toLatin1().constData(), &ok);
                }
                if (ok)
                    p.write(item, value);
            } else {
                QVariant c = v;
                if (c.convert(p.metaType()))
                    p.write(item, c);
            }
            return;
        }
    }

    const QByteArray& m_data;
    qsizetype m_pos = 0;
};

} // namespace

QByteArray WriteCollection(const TPCollection& Collection)
{
    QByteArray out;
    out.append(char(vaCollection));
    for (int i = 0; i < Collection.Count(); ++i) {
        const QObject* item = Collection.Item(i);
        out.append(char(vaList));
        if (item) {
            const QMetaObject* mo = item->metaObject();
            for (int p = QObject::staticMetaObject.propertyCount(); p < mo->propertyCount(); ++p) {
                const QMetaProperty prop = mo->property(p);
                const QByteArray name = prop.name();
                if (!streamable(prop) || name.size() > 255)
                    continue;
                putShortString(out, name);
                writeValue(out, prop, prop.read(item));
            }
        }
        out.append(char(vaNull));
    }
    out.append(char(vaNull));
    return out;
}

bool ReadCollection(TPCollection& Collection, const QByteArray& Data)
{
    Collection.Clear();
    StreamReader r(Data);
    return r.items(&Collection, 0);
}

} // namespace corvane::settings
