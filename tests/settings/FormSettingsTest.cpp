#include "settings/PFormSettings.h"
#include "settings/PPropertyPath.h"
#include "settings/PSettingCodec.h"
#include "tests/support/TempDir.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

using namespace corvane::settings;
using namespace corvane::platform;
using corvane::test::TempDir;

namespace {

class TestItem : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(int Width MEMBER Width)
    Q_PROPERTY(bool Visible MEMBER Visible)
public:
    QString Caption;
    int Width = 0;
    bool Visible = false;
};

class TestCollection : public TPCollection
{
    Q_OBJECT
public:
    int Count() const override { return int(m_items.size()); }
    QObject* Item(int i) const override { return m_items.at(std::size_t(i)).get(); }
    QObject* Add() override
    {
        m_items.push_back(std::make_unique<TestItem>());
        return m_items.back().get();
    }
    void Clear() override { m_items.clear(); }
    TestItem& at(int i) { return *m_items.at(std::size_t(i)); }

private:
    std::vector<std::unique_ptr<TestItem>> m_items;
};

class TestForm : public QWidget, public IPHiddenProps
{
    Q_OBJECT
    Q_PROPERTY(int Level MEMBER Level)
    Q_PROPERTY(QStringList History MEMBER History)
    Q_PROPERTY(double Zoom MEMBER Zoom)
    Q_PROPERTY(QObject* Default MEMBER Default)
    Q_PROPERTY(corvane::settings::TPCollection* Columns READ Columns)
public:
    explicit TestForm(const QString& name)
    {
        setObjectName(name);
        resize(400, 300);
    }
    TPCollection* Columns() { return &m_columns; }
    TestCollection& columns() { return m_columns; }
    int Level = 0;
    QStringList History;
    double Zoom = 1.0;
    QObject* Default = nullptr;
    QByteArray Layout; // streamed privately as "Layout"

    void DefineProperties(TPHiddenPropsUse& Filer) override
    {
        Filer.DefineProperty(QStringLiteral("Layout"), [this](const QByteArray& d) { Layout = d; },
                             [this] { return Layout; });
        // Without a writer the announcement does not count.
        Filer.DefineProperty(QStringLiteral("ReadOnly"), [](const QByteArray&) {}, nullptr);
    }

private:
    TestCollection m_columns;
};

const char* const kFontProps[] = {"Charset", "Color", "Height", "Name", "Pitch", "Size", "Style"};

class FormSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { setCurrentUserHive(Hive::open(m_dir.filePath(QStringLiteral("registry.sqlite3")))); }
    void TearDown() override { setCurrentUserHive(Hive::inMemory()); }

    // A form with the main window's font bindings, as it comes from its description.
    struct Form
    {
        std::unique_ptr<TestForm> widget;
        TPFormSettings* settings;
    };
    Form makeForm(const QFont& font = QFont())
    {
        Form f {std::make_unique<TestForm>(QStringLiteral("frmMain")), nullptr};
        f.widget->setFont(font);
        f.settings = new TPFormSettings(f.widget.get());
        f.settings->SetSoftwareName(QStringLiteral("Corvane"));
        for (const char* p : kFontProps)
            f.settings->AddSetting({}, QStringLiteral("frmMain.Font.") + QLatin1String(p));
        f.settings->AddSetting(QStringLiteral("NumChildren"));
        return f;
    }

    RegKey key(const QString& sub = {}) const
    {
        return rootKey(RootKey::CurrentUser)
            .openSubKey(QStringLiteral("Software\\Corvane\\frmMain") + (sub.isEmpty() ? QString() : "\\" + sub), false);
    }

    TempDir m_dir;
};

TEST(PlacementRulesTest, StoredValuesAreFittedToTheScreen)
{
    const QSize screen(1024, 768);
    const QRect current(30, 40, 400, 300);
    struct Case
    {
        const char* label;
        TPPlacement stored;
        bool centre;
        QRect want;
    };
    const std::vector<Case> cases = {
        {"same screen, far right", {5000, 10, 300, 200, "1024x768"}, false, {1004, 10, 300, 200}},
        {"same screen, far down", {10, 5000, 300, 200, "1024x768"}, false, {10, 748, 300, 200}},
        {"wider than a smaller screen", {100, 50, 1280, 900, "1280x1024"}, false, {0, 0, 1280, 900}},
        {"other screen, fits", {100, 50, 300, 200, "800x600"}, false, {100, 50, 300, 200}},
        {"negative position", {-30, -5, 300, 200, "1024x768"}, false, {0, 0, 300, 200}},
        {"only a width", {-1, -1, 500, -1, "1024x768"}, false, {30, 40, 500, 300}},
        {"first run, centred", {}, true, {312, 234, 400, 300}},
        {"first run, not centred", {}, false, current},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ApplyPlacementRules(c.stored, current, screen, c.centre), c.want) << c.label;

    // Nothing stored and hanging off the bottom right: pulled back onto the screen.
    EXPECT_EQ(ApplyPlacementRules({}, QRect(900, 700, 400, 300), screen, false), QRect(624, 468, 400, 300));
    // Too big to centre: kept, pulled to the corner.
    EXPECT_EQ(ApplyPlacementRules({}, QRect(10, 10, 1100, 300), screen, true), QRect(0, 10, 1100, 300));
}

TEST_F(FormSettingsTest, OnlyAFormCanCarryFormSettings)
{
    QWidget window;
    auto* button = new QPushButton(&window);
    try {
        TPFormSettings s(button);
        ADD_FAILURE() << "no exception";
    } catch (const EPFormSettingsException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Parent must be a TCustomForm descendent"));
    }
}

TEST_F(FormSettingsTest, FontAndPlacementAreSavedOnCloseAndRestored)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(11);
    font.setBold(true);
    font.setItalic(true);
    {
        Form f = makeForm(font);
        f.settings->Loaded();
        f.settings->SettingByName(QStringLiteral("NumChildren")).SetAsInteger(2);
        f.widget->show();
        f.widget->close();
    }

    const RegKey fontKey = key(QStringLiteral("frmMain\\Font"));
    ASSERT_TRUE(fontKey.isOpen());
    EXPECT_EQ(fontKey.valueNames(), (QStringList {"Charset", "Color", "Height", "Name", "Pitch", "Size", "Style"}));
    EXPECT_EQ(fontKey.value("Style")->toString(), QStringLiteral("fsBold,fsItalic"));
    EXPECT_EQ(fontKey.value("Name")->toString(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(fontKey.value("Pitch")->toString(), QStringLiteral("fpDefault"));
    EXPECT_EQ(fontKey.value("Size")->type, RegType::Dword);
    EXPECT_EQ(fontKey.value("Size")->toDword(), 11u);
    EXPECT_EQ(std::int32_t(fontKey.value("Height")->toDword()), -18); // 11 points at 120 pixels per inch
    EXPECT_EQ(fontKey.value("Charset")->toDword(), 1u);
    EXPECT_EQ(fontKey.value("Color")->toDword(), 0x80000008u);

    const RegKey form = key();
    EXPECT_EQ(form.value("NumChildren")->toDword(), 2u);
    for (const char* n : {"Left", "Top", "Width", "Height", "State"})
        EXPECT_EQ(form.value(n)->type, RegType::Dword) << n;
    EXPECT_EQ(form.value("Width")->toDword(), 400u);
    EXPECT_EQ(form.value("State")->toDword(), 0u);
    EXPECT_EQ(form.value("MainForm")->data.size(), 5);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(form.value("ScreenRes")->toString(), QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height()));
    EXPECT_EQ(form.value("MRUList")->data, QByteArray::fromHex("0700000000000000"));

    Form g = makeForm(QFont(QStringLiteral("Serif"), 8));
    g.settings->Loaded();
    const QFont restored = g.widget->font();
    EXPECT_EQ(restored.family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(restored.pointSize(), 11);
    EXPECT_TRUE(restored.bold());
    EXPECT_TRUE(restored.italic());
    EXPECT_FALSE(restored.underline());
    EXPECT_EQ(g.settings->SettingByName(QStringLiteral("NumChildren")).AsInteger(), 2);
    EXPECT_EQ(g.widget->width(), 400);
}

TEST_F(FormSettingsTest, AStyleNamingNoMemberIsIgnored)
{
    rootKey(RootKey::CurrentUser)
        .openSubKey(QStringLiteral("Software\\Corvane\\frmMain\\frmMain\\Font"), true)
        .setValue(QStringLiteral("Style"), RegValue::fromString(QStringLiteral("fsBold,fsHuge")));
    Form f = makeForm();
    f.settings->Loaded();
    EXPECT_TRUE(f.widget->font().bold());
    EXPECT_FALSE(f.widget->font().italic());
}

TEST_F(FormSettingsTest, ClosingSavesOnceAndShowingAgainRearms)
{
    Form f = makeForm();
    int saves = 0;
    f.settings->OnPreSave = [&](QObject* sender) {
        EXPECT_EQ(sender, f.settings);
        ++saves;
    };
    f.widget->show();
    EXPECT_TRUE(f.settings->IsLoaded());
    f.widget->close(); // close, then hide
    EXPECT_EQ(saves, 1);
    f.widget->show();
    f.widget->hide();
    EXPECT_EQ(saves, 2);
    f.widget->hide();
    EXPECT_EQ(saves, 2);
}

TEST_F(FormSettingsTest, RestoreEventsAndVeto)
{
    rootKey(RootKey::CurrentUser)
        .openSubKey(QStringLiteral("Software\\Corvane\\frmMain"), true)
        .setValue(QStringLiteral("NumChildren"), RegValue::fromDword(3));
    Form f = makeForm();
    QStringList order;
    f.settings->OnPreRestore = [&](QObject*) { order << "pre"; };
    f.settings->OnAutoRestore = [&](QObject*, bool& cont) {
        order << "auto";
        cont = false;
    };
    f.settings->OnPostRestore = [&](QObject*) { order << "post"; };
    f.settings->Loaded();
    EXPECT_EQ(order, (QStringList {"pre", "auto", "post"}));
    EXPECT_EQ(f.settings->SettingByName(QStringLiteral("NumChildren")).AsString(), QString());

    Form g = makeForm();
    g.settings->Loaded();
    EXPECT_EQ(g.settings->SettingByName(QStringLiteral("NumChildren")).AsInteger(), 3);
}

TEST_F(FormSettingsTest, AnUnchangedBoundValueIsDeletedWithItsEmptiedKey)
{
    QFont designed(QStringLiteral("DejaVu Sans"), 10);
    {
        Form f = makeForm(designed);
        f.settings->Loaded();
        f.widget->setFont(QFont(QStringLiteral("DejaVu Sans"), 14));
        f.settings->AutoSave();
    }
    ASSERT_EQ(key(QStringLiteral("frmMain\\Font")).value("Size")->toDword(), 14u);

    Form g = makeForm(designed);
    g.settings->SetSaveAll(false);
    g.settings->Loaded();
    EXPECT_EQ(g.widget->font().pointSize(), 14);
    g.widget->setFont(designed);
    g.settings->AutoSave();

    EXPECT_FALSE(key(QStringLiteral("frmMain\\Font")).isOpen());
    EXPECT_TRUE(key(QStringLiteral("frmMain")).isOpen());
    // Named and placement values are always written.
    EXPECT_TRUE(key().value(QStringLiteral("Width")).has_value());
}

TEST_F(FormSettingsTest, ABoundIntegerIgnoresAStoredBoolean)
{
    rootKey(RootKey::CurrentUser)
        .openSubKey(QStringLiteral("Software\\Corvane\\frmMain\\frmMain"), true)
        .setValue(QStringLiteral("Level"), RegValue::fromBinary(QByteArray::fromHex("0400000001")));
    TestForm form(QStringLiteral("frmMain"));
    form.Level = 7;
    auto* s = new TPFormSettings(&form);
    s->SetSoftwareName(QStringLiteral("Corvane"));
    TPSetting& level = s->AddSetting({}, QStringLiteral("frmMain.Level"));
    s->Loaded();
    EXPECT_EQ(form.Level, 7);
    EXPECT_EQ(level.AsInteger(), 7);

    level.SetAsString(QStringLiteral("12.9"));
    EXPECT_EQ(form.Level, 12);
    level.SetAsString(QStringLiteral("many"));
    EXPECT_EQ(form.Level, 12);
}

TEST_F(FormSettingsTest, CollectionsAreStreamedAndRefuseTheAccessors)
{
    TestForm form(QStringLiteral("frmMain"));
    auto& item = static_cast<TestItem&>(*form.columns().Add());
    item.Caption = QStringLiteral("Name");
    item.Width = 300;
    item.Visible = true;
    auto* s = new TPFormSettings(&form);
    s->SetSoftwareName(QStringLiteral("Corvane"));
    TPSetting& cols = s->AddSetting({}, QStringLiteral("frmMain.Columns"));

    EXPECT_THROW(cols.AsString(), EPSettingException);
    try {
        cols.SetAsInteger(1);
        ADD_FAILURE() << "no exception";
    } catch (const EPSettingException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot use SetAs functions with collections or hidden properties"));
    }
    try {
        cols.AsBoolean();
        ADD_FAILURE() << "no exception";
    } catch (const EPSettingException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot use GetAs functions with collections or hidden properties"));
    }

    s->SaveToRegistry();
    const auto stored = key(QStringLiteral("frmMain")).value(QStringLiteral("Columns"));
    ASSERT_TRUE(stored);
    const QByteArray want = QByteArray::fromHex("09000000" "0e" "01")
        + QByteArray("\x07" "Caption" "\x06" "\x04" "Name", 14) + QByteArray("\x05" "Width" "\x03" "\x2c\x01", 9)
        + QByteArray("\x07" "Visible" "\x09", 9) + QByteArray::fromHex("00" "00");
    EXPECT_EQ(stored->data.toHex(), want.toHex());

    form.columns().Clear();
    form.columns().Add();
    form.columns().Add();
    s->RestoreFromRegistry();
    ASSERT_EQ(form.columns().Count(), 1);
    EXPECT_EQ(form.columns().at(0).Caption, QStringLiteral("Name"));
    EXPECT_EQ(form.columns().at(0).Width, 300);
    EXPECT_TRUE(form.columns().at(0).Visible);
}

TEST_F(FormSettingsTest, AStoredPositionBeyondTheSameScreenStopsShortOfItsEdge)
{
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const RegKey k = rootKey(RootKey::CurrentUser).openSubKey(QStringLiteral("Software\\Corvane\\frmMain"), true);
    k.setValue(QStringLiteral("Left"), RegValue::fromDword(5000));
    k.setValue(QStringLiteral("Top"), RegValue::fromDword(10));
    k.setValue(QStringLiteral("Width"), RegValue::fromDword(300));
    k.setValue(QStringLiteral("Height"), RegValue::fromDword(200));
    k.setValue(QStringLiteral("State"), RegValue::fromDword(2));
    k.setValue(QStringLiteral("ScreenRes"),
               RegValue::fromString(QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height())));
    Form f = makeForm();
    f.settings->Loaded();
    EXPECT_EQ(f.widget->pos(), QPoint(screen.width() - 20, 10));
    EXPECT_EQ(f.widget->size(), QSize(300, 200));
    EXPECT_TRUE(f.widget->windowState() & Qt::WindowMaximized);
}

TEST_F(FormSettingsTest, RecentlyUsedListIsKeptAndCut)
{
    {
        Form f = makeForm();
        f.settings->Loaded();
        for (const char* file : {"/a", "/b", "/c", "/d", "/e", "/b"})
            f.settings->MRUAdd(QString::fromLatin1(file));
        EXPECT_EQ(f.settings->MRUList(), (QStringList {"/b", "/e", "/d", "/c"}));
        f.settings->AutoSave();
    }
    Form g = makeForm();
    g.settings->Loaded();
    EXPECT_EQ(g.settings->MRUList(), (QStringList {"/b", "/e", "/d", "/c"}));
    g.settings->SetMRULength(2);
    EXPECT_EQ(g.settings->MRUCount(), 2);
    g.settings->SetMRULength(12);
    EXPECT_EQ(g.settings->MRULength(), 2);
}

TEST_F(FormSettingsTest, PathsReachPropertiesOfTheFormAndItsComponents)
{
    TestForm form(QStringLiteral("frmMain"));
    auto* ok = new QPushButton(QStringLiteral("OK"), &form);
    ok->setObjectName(QStringLiteral("cmdOK"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), &form);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    form.History = QStringList {"/tmp", "/home a"};
    form.Zoom = 1.25;
    form.Default = ok;
    form.setLayoutDirection(Qt::RightToLeft);

    struct Case
    {
        const char* path;
        TPValueType type;
        QString text; // the value as text
    };
    const std::vector<Case> cases = {
        {"frmMain.Level", pvtInteger, "0"},
        {"frmMain.Zoom", pvtFloat, "1.25"},
        {"frmMain.History", pvtStrings, "/tmp,\"/home a\""},
        {"frmMain.layoutDirection", pvtString, "RightToLeft"},
        {"frmMain.Enabled", pvtString, "True"},
        {"frmMain.Default", pvtString, "cmdOK"},
        {"frmMain.cmdOK.text", pvtString, "OK"},
        {"cmdCancel.Text", pvtString, "Cancel"},
        {"frmMain.Font.Style", pvtString, ""},
        {"frmMain.Nothing", pvtNone, ""},
        {"frmMain.cmdOK.Nothing", pvtNone, ""},
        {"frmMain.ReadOnly", pvtNone, ""},
    };
    for (const Case& c : cases) {
        const TPValue v = ReadPropertyPath(&form, QString::fromLatin1(c.path));
        EXPECT_EQ(v.Type, c.type) << c.path;
        TPSettings owner;
        TPSetting s(&owner, QStringLiteral("X"));
        if (v.Type == pvtFloat)
            s.SetAsExtended(v.Float);
        else if (v.Type == pvtInteger)
            s.SetAsInteger(v.Integer);
        else if (v.Type != pvtNone)
            s.SetAsString(v.Text);
        EXPECT_EQ(s.AsString(), c.text) << c.path;
    }

    auto* settings = new TPFormSettings(&form);
    const auto write = [&](const char* path, const QString& value) {
        TPSetting& s = settings->AddSetting({}, QString::fromLatin1(path));
        s.SetAsString(value);
    };
    write("frmMain.layoutDirection", QStringLiteral("LeftToRight"));
    write("frmMain.Enabled", QStringLiteral("False"));
    write("frmMain.Default", QStringLiteral("cmdCancel"));
    write("frmMain.cmdOK.text", QStringLiteral("Go"));
    write("frmMain.Zoom", QStringLiteral("2.5"));
    write("frmMain.Nothing", QStringLiteral("ignored"));
    EXPECT_EQ(form.layoutDirection(), Qt::LeftToRight);
    EXPECT_FALSE(form.isEnabled());
    EXPECT_EQ(form.Default, cancel);
    EXPECT_EQ(ok->text(), QStringLiteral("Go"));
    EXPECT_EQ(form.Zoom, 2.5);
    TPSetting& history = settings->AddSetting({}, QStringLiteral("frmMain.History"));
    history.SetAsStrings({"/x"});
    EXPECT_EQ(form.History, QStringList {"/x"});
}

TEST_F(FormSettingsTest, HiddenPropertiesGoThroughTheFormsOwnRoutines)
{
    {
        TestForm form(QStringLiteral("frmMain"));
        form.Layout = QByteArray("\x01\x02layout", 8);
        auto* s = new TPFormSettings(&form);
        s->SetSoftwareName(QStringLiteral("Corvane"));
        TPSetting& layout = s->AddSetting({}, QStringLiteral("frmMain.Layout"));
        s->Loaded();
        EXPECT_EQ(layout.ValueType(), pvtHiddenProp);
        s->AutoSave();
    }
    EXPECT_EQ(key(QStringLiteral("frmMain")).value(QStringLiteral("Layout"))->data,
              QByteArray::fromHex("08000000") + QByteArray("\x01\x02layout", 8));

    TestForm form(QStringLiteral("frmMain"));
    auto* s = new TPFormSettings(&form);
    s->SetSoftwareName(QStringLiteral("Corvane"));
    s->AddSetting({}, QStringLiteral("frmMain.Layout"));
    s->Loaded();
    EXPECT_EQ(form.Layout, QByteArray("\x01\x02layout", 8));
}

TEST_F(FormSettingsTest, AMinimisedMainWindowStartsMinimisedAgain)
{
    {
        Form f = makeForm();
        TPFormSettings::SetMainForm(f.widget.get());
        f.widget->show();
        f.widget->setWindowState(Qt::WindowMinimized);
        f.settings->AutoSave();
    }
    EXPECT_EQ(key().value(QStringLiteral("State"))->toDword(), 1u);
    EXPECT_EQ(key().value(QStringLiteral("MainForm"))->data, QByteArray::fromHex("0400000001"));

    Form g = makeForm();
    TPFormSettings::SetMainForm(g.widget.get());
    g.settings->Loaded();
    EXPECT_TRUE(g.widget->windowState() & Qt::WindowMinimized);
    TPFormSettings::SetMainForm(nullptr);
}

TEST_F(FormSettingsTest, UserLocationHandsEverySettingToTheEvents)
{
    Form f = makeForm();
    f.settings->SetSaveLocation(pslUser);
    QStringList saved;
    f.settings->OnUserSave = [&](QObject*, TPSetting& s) { saved << (s.Name().isEmpty() ? s.ValueName() : s.Name()); };
    f.settings->Loaded();
    f.settings->AutoSave();
    EXPECT_EQ(saved, (QStringList {"Charset", "Color", "Height", "Name", "Pitch", "Size", "Style", "NumChildren",
                                   "Left", "Top", "Width", "Height", "MainForm", "State", "ScreenRes", "MRUList"}));
    EXPECT_FALSE(key().isOpen());
}

} // namespace

#include "FormSettingsTest.moc"
