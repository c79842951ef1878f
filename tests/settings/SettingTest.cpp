#include "settings/Extended80.h"
#include "settings/PSetting.h"
#include "settings/PSettingCodec.h"
#include "settings/PSettingConsts.h"
#include "tests/support/TempDir.h"

#include <QDateTime>
#include <QLocale>
#include <QtEndian>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <variant>

using namespace corvane::settings;
using namespace corvane::platform;
using corvane::test::TempDir;

namespace {

QByteArray hex(const char* h)
{
    return QByteArray::fromHex(h);
}

class SettingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setCurrentUserHive(Hive::open(m_dir.filePath(QStringLiteral("registry.sqlite3"))));
        m_owner.setObjectName(QStringLiteral("frmMain"));
        m_settings = new TPSettings(&m_owner);
        m_settings->SetSoftwareName(QStringLiteral("Corvane"));
    }
    void TearDown() override { setCurrentUserHive(Hive::inMemory()); }

    RegKey formKey() const
    {
        return rootKey(RootKey::CurrentUser).openSubKey(QStringLiteral("Software\\Corvane\\frmMain"), false);
    }

    TempDir m_dir;
    QObject m_owner;
    TPSettings* m_settings = nullptr;
};

// The message of an EPSettingException that a getter must throw.
struct Err
{
    explicit Err(const char* m)
        : message(m)
    {
    }
    const char* message;
};
template<typename T>
using Expect = std::variant<T, Err>;

struct ConversionCase
{
    const char* label;
    std::function<void(TPSetting&)> set;
    Expect<bool> asBoolean;
    Expect<int> asInteger;
    Expect<double> asFloat;
    Expect<QString> asString;
};

template<typename T, typename F>
void check(const char* label, const char* getter, const Expect<T>& want, F&& get)
{
    if (const auto* err = std::get_if<Err>(&want)) {
        try {
            get();
            ADD_FAILURE() << label << ": " << getter << " did not throw";
        } catch (const EPSettingException& e) {
            EXPECT_EQ(e.Message(), QString::fromLatin1(err->message)) << label << ": " << getter;
        }
    } else {
        EXPECT_EQ(get(), std::get<T>(want)) << label << ": " << getter;
    }
}

TEST_F(SettingTest, GettersConvertByTheStoredType)
{
    const Err dtBool {"TPSetting.AsBoolean cannot convert from TDateTime type"};
    const Err dtInt {"TPSetting.AsInteger cannot convert from TDateTime type"};
    const Err slBool {"TPSetting.AsBoolean cannot convert from TStrings type"};
    const Err slInt {"TPSetting.AsInteger cannot convert from TStrings type"};
    const Err slFloat {"TPSetting.AsFloat cannot convert from TStrings type"};
    const QString noon2000 = QLocale().toString(QDateTime(QDate(2000, 1, 1), QTime(12, 0)), QLocale::ShortFormat);
    const std::vector<ConversionCase> cases = {
        {"never set", [](TPSetting&) {}, false, 0, 0.0, QString()},
        {"text 12.7", [](TPSetting& s) { s.SetAsString("12.7"); }, false, 12, 12.7, QString("12.7")},
        {"text -3.9", [](TPSetting& s) { s.SetAsString("-3.9"); }, false, -3, -3.9, "-3.9"},
        {"text True", [](TPSetting& s) { s.SetAsString("True"); }, true, 0, 0.0, "True"},
        {"text true", [](TPSetting& s) { s.SetAsString("true"); }, false, 0, 0.0, "true"},
        {"text abc", [](TPSetting& s) { s.SetAsString("abc"); }, false, 0, 0.0, "abc"},
        {"text 1e12", [](TPSetting& s) { s.SetAsString("1e12"); }, false, std::numeric_limits<int>::max(), 1e12, "1e12"},
        {"integer 2", [](TPSetting& s) { s.SetAsInteger(2); }, true, 2, 2.0, "2"},
        {"integer 0", [](TPSetting& s) { s.SetAsInteger(0); }, false, 0, 0.0, "0"},
        {"integer -7", [](TPSetting& s) { s.SetAsInteger(-7); }, true, -7, -7.0, "-7"},
        {"float 2.5", [](TPSetting& s) { s.SetAsFloat(2.5); }, true, 2, 2.5, "2.5"},
        {"float -2.5", [](TPSetting& s) { s.SetAsFloat(-2.5); }, true, -2, -2.5, "-2.5"},
        {"float 0", [](TPSetting& s) { s.SetAsFloat(0); }, false, 0, 0.0, "0"},
        {"boolean true", [](TPSetting& s) { s.SetAsBoolean(true); }, true, 1, 1.0, "True"},
        {"boolean false", [](TPSetting& s) { s.SetAsBoolean(false); }, false, 0, 0.0, "False"},
        {"date-time", [](TPSetting& s) { s.SetAsDateTime(36526.5); }, dtBool, dtInt, 36526.5, noon2000},
        {"string list", [](TPSetting& s) { s.SetAsStrings({"a", "b c"}); }, slBool, slInt, slFloat, "a,\"b c\""},
        {"variant 7", [](TPSetting& s) { s.SetAsVariant(QVariant(7)); }, false, 7, 7.0, "7"},
        {"variant True", [](TPSetting& s) { s.SetAsVariant(QVariant(true)); }, true, 0, 0.0, "True"},
    };
    for (const ConversionCase& c : cases) {
        TPSetting s(m_settings, QStringLiteral("X"));
        c.set(s);
        check(c.label, "AsBoolean", c.asBoolean, [&] { return s.AsBoolean(); });
        check(c.label, "AsInteger", c.asInteger, [&] { return s.AsInteger(); });
        check(c.label, "AsFloat", c.asFloat, [&] { return s.AsFloat(); });
        check(c.label, "AsString", c.asString, [&] { return s.AsString(); });
    }
}

TEST_F(SettingTest, VariantsAndStringLists)
{
    TPSetting s(m_settings, QStringLiteral("X"));
    EXPECT_EQ(s.AsVariant(), QVariant(QString()));
    QStringList list {"kept"};
    s.AsStrings(list);
    EXPECT_EQ(list, QStringList {"kept"});

    s.SetAsInteger(5);
    EXPECT_EQ(s.AsVariant(), QVariant(5));
    s.AsStrings(list);
    EXPECT_EQ(list, (QStringList {"kept", "5"}));

    s.SetAsStrings({"one", "", "x,y", "say \"hi\""});
    s.AsStrings(list);
    EXPECT_EQ(list, (QStringList {"one", "", "x,y", "say \"hi\""}));
    EXPECT_EQ(s.AsVariant(), QVariant(QStringLiteral("one,\"\",\"x,y\",\"say \"\"hi\"\"\"")));
}

TEST_F(SettingTest, VariantArraysAreRefused)
{
    TPSetting s(m_settings, QStringLiteral("X"));
    s.SetAsInteger(3);
    try {
        s.SetAsVariant(QVariantList {1, 2});
        ADD_FAILURE() << "no exception";
    } catch (const EPSettingException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("TPSetting.AsVariant cannot accept variant arrays"));
    }
    EXPECT_EQ(s.ValueType(), pvtInteger);
    EXPECT_EQ(s.AsInteger(), 3);
}

TEST_F(SettingTest, CommaText)
{
    const std::vector<std::pair<QStringList, QString>> both = {
        {{}, ""},
        {{""}, "\"\""},
        {{"a", "b"}, "a,b"},
        {{"a b"}, "\"a b\""},
        {{"x\"y"}, "\"x\"\"y\""},
        {{"a", "", "b"}, "a,\"\",b"},
        {{"a", ""}, "a,\"\""},
        {{"tab\there"}, "\"tab\there\""},
    };
    for (const auto& [list, text] : both) {
        EXPECT_EQ(StringsToCommaText(list), text);
        EXPECT_EQ(CommaTextToStrings(text), list) << text.toStdString();
    }
    // Unquoted items also end at blanks; an unterminated quote takes the rest.
    EXPECT_EQ(CommaTextToStrings(" a b , c,"), (QStringList {"a", "b", "c"}));
    EXPECT_EQ(CommaTextToStrings("a,,b"), (QStringList {"a", "", "b"}));
    EXPECT_EQ(CommaTextToStrings("\"open"), QStringList {"open"});
}

TEST_F(SettingTest, SettingByNameIsCaseSensitive)
{
    m_settings->AddSetting(QStringLiteral("NumChildren"));
    m_settings->AddSetting(QStringLiteral("NumChildren"));
    EXPECT_EQ(m_settings->Count(), 1);
    EXPECT_EQ(m_settings->SettingByName(QStringLiteral("NumChildren")).AsString(), QString());
    try {
        m_settings->SettingByName(QStringLiteral("numchildren"));
        ADD_FAILURE() << "no exception";
    } catch (const EPSettingsException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("No such setting: \"numchildren\""));
    }
}

TEST_F(SettingTest, EveryValueTypeIsStoredByteForByte)
{
    m_settings->AddSetting("Text").SetAsString(QStringLiteral("h\u00e9"));
    m_settings->AddSetting("Int").SetAsInteger(-5);
    m_settings->AddSetting("Float").SetAsFloat(1.5);
    m_settings->AddSetting("When").SetAsDateTime(2.0);
    m_settings->AddSetting("Flag").SetAsBoolean(true);
    m_settings->AddSetting("Var").SetAsVariant(QVariant(QStringLiteral("7")));
    m_settings->AddSetting("List").SetAsStrings({"a", "b c"});
    m_settings->AddSetting("Unused");
    m_settings->SaveToRegistry();

    const RegKey key = formKey();
    ASSERT_TRUE(key.isOpen());
    EXPECT_EQ(key.valueNames(), (QStringList {"Text", "Int", "Float", "When", "Flag", "Var", "List"}));
    const auto text = key.value("Text");
    EXPECT_EQ(text->type, RegType::Sz);
    EXPECT_EQ(text->toString(), QStringLiteral("h\u00e9"));
    const auto integer = key.value("Int");
    EXPECT_EQ(integer->type, RegType::Dword);
    EXPECT_EQ(integer->data, hex("fbffffff"));
    const std::vector<std::pair<const char*, QByteArray>> binaries = {
        {"Float", hex("03000000" "00000000000000c0ff3f")},
        {"When", hex("05000000" "00000000000000800040")},
        {"Flag", hex("04000000" "01")},
        {"Var", hex("06000000" "01000000" "37")},
        {"List", hex("07000000" "07000000") + QByteArray("a,\"b c\"")},
    };
    for (const auto& [name, bytes] : binaries) {
        const auto v = key.value(name);
        ASSERT_TRUE(v) << name;
        EXPECT_EQ(v->type, RegType::Binary) << name;
        EXPECT_EQ(v->data.toHex(), bytes.toHex()) << name;
    }

    QObject owner;
    owner.setObjectName(QStringLiteral("frmMain"));
    TPSettings restored(&owner);
    restored.SetSoftwareName(QStringLiteral("Corvane"));
    for (const char* n : {"Text", "Int", "Float", "When", "Flag", "Var", "List", "Unused"})
        restored.AddSetting(n);
    restored.RestoreFromRegistry();
    EXPECT_EQ(restored.SettingByName("Text").AsString(), QStringLiteral("h\u00e9"));
    EXPECT_EQ(restored.SettingByName("Int").AsInteger(), -5);
    EXPECT_EQ(restored.SettingByName("Float").ValueType(), pvtFloat);
    EXPECT_EQ(restored.SettingByName("Float").AsFloat(), 1.5);
    EXPECT_EQ(restored.SettingByName("When").ValueType(), pvtDateTime);
    EXPECT_EQ(restored.SettingByName("When").AsDateTime(), 2.0);
    EXPECT_TRUE(restored.SettingByName("Flag").AsBoolean());
    EXPECT_EQ(restored.SettingByName("Var").ValueType(), pvtVariant);
    EXPECT_EQ(restored.SettingByName("Var").AsInteger(), 7);
    EXPECT_EQ(restored.SettingByName("List").ValueType(), pvtStrings);
    QStringList list;
    restored.SettingByName("List").AsStrings(list);
    EXPECT_EQ(list, (QStringList {"a", "b c"}));
    EXPECT_EQ(restored.SettingByName("Unused").ValueType(), pvtNone);
}

TEST_F(SettingTest, ATextValueStaysTextWhenReadAsANumber)
{
    formKey().close();
    rootKey(RootKey::CurrentUser)
        .openSubKey(QStringLiteral("Software\\Corvane\\frmMain"), true)
        .setValue(QStringLiteral("MaxPreviewSize"), RegValue::fromString(QStringLiteral("250")));
    TPSetting& s = m_settings->AddSetting(QStringLiteral("MaxPreviewSize"));
    m_settings->RestoreFromRegistry();
    EXPECT_EQ(s.AsInteger(), 250);
    EXPECT_EQ(s.ValueType(), pvtString);
}

TEST_F(SettingTest, MalformedBinaryValuesLeaveTheSettingAlone)
{
    const std::vector<std::pair<const char*, QByteArray>> bad = {
        {"empty", {}},
        {"short code", hex("0300")},
        {"short float", hex("03000000" "0000")},
        {"negative length", hex("07000000" "ffffffff")},
        {"length past the end", hex("06000000" "10000000" "41")},
        {"code 1", hex("01000000" "41")},
        {"code 2", hex("02000000" "01000000")},
        {"unknown code", hex("2a000000")},
        {"hidden property without an object", hex("08000000" "00")},
    };
    for (const auto& [label, data] : bad) {
        TPSetting s(m_settings, QStringLiteral("X"));
        s.SetAsInteger(42);
        DecodeBinary(s, data);
        EXPECT_EQ(s.ValueType(), pvtInteger) << label;
        EXPECT_EQ(s.AsInteger(), 42) << label;
    }
}

TEST_F(SettingTest, ScrambledForm)
{
    // s := (plain + s) mod 256, stored := s xor key, the seed first.
    EXPECT_EQ(Scramble(hex("010203"), "AB", 0x10).toHex(), hex("10505157").toHex());
    EXPECT_EQ(Unscramble(hex("10505157"), "AB").toHex(), QByteArray("010203"));

    TPSetting& secret = m_settings->AddSetting(QStringLiteral("Secret"), {}, {}, true);
    secret.SetAsInteger(258);
    EXPECT_EQ(secret.UniqueName(), QStringLiteral("Secret"));
    EXPECT_EQ(PlainStream(secret).toHex(), hex("05000000" "5450534f4b" "02000000" "02010000").toHex());
    const QByteArray stored = EncodeScrambled(secret, 0x9C);
    // One byte longer than the plain stream: 14 more than the 4-byte payload.
    EXPECT_EQ(stored.size(), 14 + 4);
    EXPECT_EQ(std::uint8_t(stored[0]), 0x9C);

    m_settings->SaveToRegistry();
    const auto v = formKey().value(QStringLiteral("Secret"));
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, RegType::Binary);
    EXPECT_EQ(Unscramble(v->data, "Secret"), PlainStream(secret));

    for (const auto& set : std::vector<std::function<void(TPSetting&)>> {
             [](TPSetting& s) { s.SetAsString(QStringLiteral("pass phrase")); },
             [](TPSetting& s) { s.SetAsFloat(-0.125); },
             [](TPSetting& s) { s.SetAsBoolean(true); },
             [](TPSetting& s) { s.SetAsStrings({"x y", "z"}); },
         }) {
        TPSetting a(m_settings, QStringLiteral("Secret"), {}, {}, true);
        set(a);
        TPSetting b(m_settings, QStringLiteral("Secret"), {}, {}, true);
        DecodeScrambled(b, EncodeScrambled(a, 200));
        EXPECT_EQ(b.ValueType(), a.ValueType());
        EXPECT_EQ(b.AsVariant(), a.AsVariant());
    }
}

TEST_F(SettingTest, AScrambledValueWithoutItsHeaderRestoresAsNone)
{
    TPSetting original(m_settings, QStringLiteral("Secret"), {}, {}, true);
    original.SetAsString(QStringLiteral("hidden"));
    const QByteArray stored = EncodeScrambled(original, 1);

    // Read under another name, the key no longer matches and the header comes out wrong.
    TPSetting renamed(m_settings, QStringLiteral("Secret2"), {}, {}, true);
    renamed.SetAsInteger(5);
    DecodeScrambled(renamed, stored);
    EXPECT_EQ(renamed.ValueType(), pvtNone);

    QByteArray plain = PlainStream(original);
    plain.replace(4, 5, "TPSNO");
    TPSetting wrongHeader(m_settings, QStringLiteral("Secret"), {}, {}, true);
    wrongHeader.SetAsInteger(5);
    DecodeScrambled(wrongHeader, Scramble(plain, "Secret", 1));
    EXPECT_EQ(wrongHeader.ValueType(), pvtNone);
}

TEST_F(SettingTest, ASaveThatCannotWriteRaisesTheRegistryError)
{
    m_settings->SetRegistryRootKey(prkLocalMachine);
    m_settings->AddSetting(QStringLiteral("First")).SetAsInteger(1);
    m_settings->AddSetting(QStringLiteral("Second")).SetAsInteger(2);
    try {
        m_settings->SaveToRegistry();
        ADD_FAILURE() << "no exception";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Failed to set data for 'First'"));
    }
}

TEST_F(SettingTest, RegistryAccessorPaths)
{
    TPRegistry reg;
    EXPECT_EQ(reg.Access(), 0xF003Fu);
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Software\\Corvane"), true));
    EXPECT_EQ(reg.CurrentPath(), QStringLiteral("Software\\Corvane"));
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("frmMain"), true));
    EXPECT_EQ(reg.CurrentPath(), QStringLiteral("Software\\Corvane\\frmMain"));
    EXPECT_FALSE(reg.OpenKey(QStringLiteral("Missing"), false));
    EXPECT_EQ(reg.CurrentPath(), QStringLiteral("Software\\Corvane\\frmMain"));
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Software"), false));
    EXPECT_EQ(reg.CurrentPath(), QStringLiteral("Software"));
    EXPECT_EQ(TPRegistry(prkLocalMachine).Access(), 0xF001Fu);
}

// Known layouts of the 80-bit format.
TEST(Extended80Test, KnownValues)
{
    const std::vector<std::pair<double, const char*>> known = {
        {0.0, "00000000000000000000"},
        {-0.0, "00000000000000000080"},
        {1.0, "0000000000000080ff3f"},
        {-2.0, "000000000000008000c0"},
        {0.1, "00d0ccccccccccccfb3f"},
        {std::numeric_limits<double>::infinity(), "0000000000000080ff7f"},
        {std::numeric_limits<double>::denorm_min(), "0000000000000080cd3b"},
    };
    for (auto [d, h] : known) {
        const QByteArray want = hex(h);
        const Extended80 e = Extended80::fromDouble(d);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(e.bytes.data()), 10).toHex(), want.toHex()) << d;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(e.toDouble()), std::bit_cast<std::uint64_t>(d)) << d;
    }
    EXPECT_TRUE(std::isnan(Extended80::fromDouble(std::nan("")).toDouble()));
}

TEST(Extended80Test, ConversionToDoubleRoundsAndRefusesInvalidEncodings)
{
    // 1 + 2^-53 exactly between two doubles: ties to even gives 1.
    EXPECT_EQ(Extended80::fromParts(0x3FFF, 0x8000000000000400ull).toDouble(), 1.0);
    // A little more than half rounds up.
    EXPECT_EQ(Extended80::fromParts(0x3FFF, 0x8000000000000401ull).toDouble(), 1.0 + std::ldexp(1.0, -52));
    // All ones carries into the next power of two.
    EXPECT_EQ(Extended80::fromParts(0x3FFF, 0xFFFFFFFFFFFFFFFFull).toDouble(), 2.0);
    EXPECT_TRUE(std::isinf(Extended80::fromParts(0x7FFE, 0x8000000000000000ull).toDouble()));
    EXPECT_EQ(Extended80::fromParts(0x0001, 0x8000000000000000ull).toDouble(), 0.0);
    EXPECT_EQ(Extended80::fromParts(0x3FFF - 1074, 0x8000000000000000ull).toDouble(),
              std::numeric_limits<double>::denorm_min());
    EXPECT_TRUE(std::isnan(Extended80::fromParts(0x3FFF, 0x4000000000000000ull).toDouble())); // unnormal
    EXPECT_TRUE(std::isnan(Extended80::fromParts(0x7FFF, 0x0000000000000000ull).toDouble())); // pseudo-infinity
}

TEST(Extended80Test, AgreesWithTheX87WhereLongDoubleIsIt)
{
    if (std::numeric_limits<long double>::digits != 64)
        GTEST_SKIP() << "long double is not the x87 format here";
    std::mt19937_64 rng(12345);
    for (int i = 0; i < 20000; ++i) {
        const double d = std::bit_cast<double>(rng());
        if (std::isnan(d))
            continue;
        const long double ld = d;
        std::uint8_t want[10];
        std::memcpy(want, &ld, 10);
        const Extended80 e = Extended80::fromDouble(d);
        ASSERT_EQ(std::memcmp(e.bytes.data(), want, 10), 0) << d;
        ASSERT_EQ(e.toDouble(), d);

        // Rounding of arbitrary extended values against the hardware's.
        Extended80 any;
        const std::uint64_t m = rng() | (std::uint64_t(1) << 63);
        const std::uint16_t se = std::uint16_t((rng() % 2200) + 16383 - 1100) | (i % 2 ? 0x8000 : 0);
        any = Extended80::fromParts(se, m);
        long double x;
        std::memcpy(&x, any.bytes.data(), 10);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(any.toDouble()), std::bit_cast<std::uint64_t>(double(x)));
    }
}

} // namespace
