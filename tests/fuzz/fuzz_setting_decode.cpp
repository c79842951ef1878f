// Stored setting values are untrusted (anyone can edit the settings file): decoding the
// binary, float, scrambled and collection forms must never crash, and what decodes must
// encode again.
#include "settings/Extended80.h"
#include "settings/PSetting.h"
#include "settings/PSettingCodec.h"
#include "settings/PStreaming.h"

#include <QTimer>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace corvane::settings;

namespace {

// Items with integer, boolean and enumeration properties.
class TimerCollection : public TPCollection
{
public:
    int Count() const override { return int(m_items.size()); }
    QObject* Item(int i) const override { return m_items.at(std::size_t(i)).get(); }
    QObject* Add() override
    {
        m_items.push_back(std::make_unique<QTimer>());
        return m_items.back().get();
    }
    void Clear() override { m_items.clear(); }

private:
    std::vector<std::unique_ptr<QTimer>> m_items;
};

void require(bool ok)
{
    if (!ok)
        std::abort();
}

void exercise(TPSetting& s)
{
    try {
        s.AsString();
        s.AsInteger();
        s.AsBoolean();
        s.AsFloat();
        s.AsDateTime();
    } catch (const EPSettingException&) {
        // Date-times and string lists refuse some conversions; that is expected.
    }
    QStringList list;
    try {
        s.AsStrings(list);
    } catch (const EPSettingException&) {
    }
    const TPValueType type = s.ValueType();
    const QByteArray binary = EncodeBinary(s);
    const QByteArray scrambled = EncodeScrambled(s, 77);
    TPSetting again(s.Owner(), s.Name(), {}, {}, true);
    DecodeScrambled(again, scrambled);
    require(again.ValueType() == type);
    require(EncodeBinary(again) == binary);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Property writes of odd values make Qt warn; millions of them would drown the output.
    static const bool quiet = (qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}), true);
    (void)quiet;
    static TPSettings* settings = new TPSettings();
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    TPSetting plain(settings, QStringLiteral("Fuzz"));
    DecodeBinary(plain, bytes);
    exercise(plain);

    TPSetting secret(settings, QStringLiteral("Fuzz"), {}, {}, true);
    DecodeScrambled(secret, bytes);
    exercise(secret);
    // The same bytes as the plain stream, so the header check passes and the payload is reached.
    TPSetting direct(settings, QStringLiteral("Fuzz"), {}, {}, true);
    DecodeScrambled(direct, Scramble(bytes, "Fuzz", std::uint8_t(size)));
    exercise(direct);

    TimerCollection items;
    ReadCollection(items, bytes);
    const QByteArray written = WriteCollection(items);
    TimerCollection reread;
    require(ReadCollection(reread, written.mid(1)));
    require(WriteCollection(reread) == written);

    if (size >= 10) {
        Extended80 e;
        for (int i = 0; i < 10; ++i)
            e.bytes[std::size_t(i)] = data[i];
        const double d = e.toDouble();
        if (!std::isnan(d))
            require(Extended80::fromDouble(d).toDouble() == d);
    }

    const QStringList list = CommaTextToStrings(QString::fromUtf8(bytes));
    require(CommaTextToStrings(StringsToCommaText(list)) == list);
    return 0;
}
