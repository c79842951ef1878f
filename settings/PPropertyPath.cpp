#include "PPropertyPath.h"

#include "PSettingConsts.h"

#include <QApplication>
#include <QChar>
#include <QFont>
#include <QLocale>
#include <QMetaProperty>
#include <QPalette>
#include <QWidget>
#include <cmath>
#include <memory>
#include <vector>

namespace corvane::settings {

namespace {

enum class Kind { None, Integer, Character, Boolean, Enumeration, Float, String, Set, Object, StringList, Variant };

Kind kindOf(const QMetaProperty& p)
{
    if (p.isFlagType())
        return Kind::Set;
    if (p.isEnumType())
        return Kind::Enumeration;
    const QMetaType t = p.metaType();
    if (t.flags() & QMetaType::PointerToQObject)
        return Kind::Object;
    switch (t.id()) {
    case QMetaType::Bool:
        return Kind::Boolean;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return Kind::Integer;
    case QMetaType::QChar:
        return Kind::Character;
    case QMetaType::Double:
    case QMetaType::Float:
        return Kind::Float;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return Kind::String;
    case QMetaType::QStringList:
        return Kind::StringList;
    case QMetaType::QVariant:
        return Kind::Variant;
    default:
        return Kind::None;
    }
}

qint64 enumValue(const QVariant& v)
{
    bool ok = false;
    const qint64 x = v.toLongLong(&ok);
    if (ok)
        return x;
    switch (v.metaType().sizeOf()) {
    case 1:
        return *static_cast<const qint8*>(v.constData());
    case 2:
        return *static_cast<const qint16*>(v.constData());
    case 8:
        return *static_cast<const qint64*>(v.constData());
    default:
        return *static_cast<const qint32*>(v.constData());
    }
}

int findProperty(const QObject* obj, const QString& name)
{
    const QMetaObject* mo = obj->metaObject();
    const int exact = mo->indexOfProperty(name.toLatin1().constData());
    if (exact >= 0)
        return exact;
    for (int i = 0; i < mo->propertyCount(); ++i) {
        if (QString::fromLatin1(mo->property(i).name()).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QObject* findComponent(QObject* form, const QString& name)
{
    if (name.isEmpty())
        return nullptr;
    if (QObject* c = form->findChild<QObject*>(name))
        return c;
    const QList<QObject*> all = form->findChildren<QObject*>();
    for (QObject* c : all) {
        if (!c->objectName().isEmpty() && c->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return nullptr;
}

bool isNumeric(TPSetting& s)
{
    switch (s.ValueType()) {
    case pvtInteger:
    case pvtFloat:
        return true;
    case pvtString:
    case pvtVariant: {
        QLocale loc;
        loc.setNumberOptions(loc.numberOptions() | QLocale::RejectGroupSeparator);
        bool ok = false;
        const double d = loc.toDouble(s.Value().Text.trimmed(), &ok);
        return ok && std::isfinite(d);
    }
    default:
        return false;
    }
}

// The members of a set are the flag's single-bit keys, bit 0 to 31.
QStringList setMembers(const QMetaEnum& e, qint64 value)
{
    QStringList names;
    for (int bit = 0; bit < 32; ++bit) {
        const int mask = int(1u << bit);
        if (!(value & mask))
            continue;
        if (const char* key = e.valueToKey(mask))
            names << QString::fromLatin1(key);
    }
    return names;
}

// Where a path leads: an object and one of its properties, or a hidden property.
struct Target
{
    QObject* object = nullptr;
    QMetaProperty property;
    bool hidden = false;
    bool more = false; // elements follow the property
};

class Walker
{
public:
    explicit Walker(QObject* form)
        : m_form(form)
    {
    }

    // Follows the path; `reading` allows hidden properties at the end.
    std::optional<Target> walk(const QString& path, bool reading)
    {
        QStringList elements = path.split(QLatin1Char('.'));
        if (!elements.isEmpty() && elements.front().compare(m_form->objectName(), Qt::CaseInsensitive) == 0)
            elements.removeFirst();
        QObject* cur = m_form;
        for (qsizetype i = 0; i < elements.size(); ++i) {
            const QString& name = elements[i];
            const bool more = i + 1 < elements.size();
            auto* widget = qobject_cast<QWidget*>(cur);
            if (widget && name.compare(QLatin1String("Font"), Qt::CaseInsensitive) == 0) {
                if (!more)
                    return std::nullopt;
                m_hold.push_back(std::make_unique<TPFontAdapter>(widget));
                cur = m_hold.back().get();
                continue;
            }
            const int idx = findProperty(cur, name);
            if (idx >= 0) {
                const QMetaProperty p = cur->metaObject()->property(idx);
                if (kindOf(p) == Kind::Object && more) {
                    QObject* next = p.read(cur).value<QObject*>();
                    if (!next)
                        return std::nullopt;
                    cur = next;
                    continue;
                }
                return Target {cur, p, false, more};
            }
            if (QObject* component = findComponent(m_form, name)) {
                cur = component;
                continue;
            }
            if (reading) {
                if (auto* hp = dynamic_cast<IPHiddenProps*>(cur)) {
                    TPHiddenPropsUse use;
                    hp->DefineProperties(use);
                    if (use.Find(name))
                        return Target {cur, QMetaProperty(), true, more};
                }
            }
            return std::nullopt;
        }
        return std::nullopt;
    }

private:
    QObject* m_form;
    std::vector<std::unique_ptr<QObject>> m_hold;
};

} // namespace

TPValue ReadPropertyPath(QObject* Form, const QString& Path)
{
    TPValue v;
    if (!Form)
        return v;
    Walker w(Form);
    const std::optional<Target> t = w.walk(Path, true);
    if (!t)
        return v;
    if (t->hidden) {
        v.Type = pvtHiddenProp;
        v.Object = t->object;
        return v;
    }
    const QMetaProperty& p = t->property;
    const QVariant value = p.read(t->object);
    switch (kindOf(p)) {
    case Kind::Integer:
        v.Type = pvtInteger;
        v.Integer = std::int32_t(value.toLongLong());
        break;
    case Kind::Character:
        v.Type = pvtInteger;
        v.Integer = value.value<QChar>().unicode();
        break;
    case Kind::Boolean:
        v.Type = pvtString;
        v.Text = value.toBool() ? consts::STrue() : consts::SFalse();
        break;
    case Kind::Enumeration:
        v.Type = pvtString;
        v.Text = QString::fromLatin1(p.enumerator().valueToKey(int(enumValue(value))));
        break;
    case Kind::Float:
        v.Type = pvtFloat;
        v.Float = Extended80::fromDouble(value.toDouble());
        break;
    case Kind::String:
        v.Type = pvtString;
        v.Text = value.metaType().id() == QMetaType::QByteArray ? QString::fromUtf8(value.toByteArray())
                                                                : value.toString();
        break;
    case Kind::Set:
        v.Type = pvtString;
        v.Text = setMembers(p.enumerator(), enumValue(value)).join(QLatin1Char(','));
        break;
    case Kind::StringList:
        v.Type = pvtStrings;
        v.Text = StringsToCommaText(value.toStringList());
        break;
    case Kind::Object:
        if (QObject* obj = value.value<QObject*>()) {
            if (qobject_cast<TPCollection*>(obj)) {
                v.Type = pvtCollection;
                v.Object = obj;
            } else {
                v.Type = pvtString;
                v.Text = obj->objectName();
            }
        }
        break;
    case Kind::Variant:
        v.Type = pvtVariant;
        v.Text = value.value<QVariant>().toString();
        break;
    case Kind::None:
        break;
    }
    return v;
}

void WritePropertyPath(QObject* Form, TPSetting& Setting)
{
    if (!Form || Setting.ValueType() == pvtNone)
        return;
    Walker w(Form);
    const std::optional<Target> t = w.walk(Setting.BoundProperty(), false);
    if (!t || t->hidden)
        return;
    const QMetaProperty& p = t->property;
    QObject* obj = t->object;
    switch (kindOf(p)) {
    case Kind::Integer:
        if (isNumeric(Setting)) {
            QVariant v(Setting.AsInteger());
            if (v.convert(p.metaType()))
                p.write(obj, v);
        }
        break;
    case Kind::Character:
        if (isNumeric(Setting))
            p.write(obj, QVariant::fromValue(QChar(char16_t(Setting.AsInteger()))));
        break;
    case Kind::Boolean: {
        const QString name = Setting.AsString();
        if (name == consts::STrue() || name == consts::SFalse())
            p.write(obj, QVariant(name == consts::STrue()));
        break;
    }
    case Kind::Enumeration: {
        bool found = false;
        const int value = p.enumerator().keyToValue(Setting.AsString().toLatin1().constData(), &found);
        if (found)
            p.write(obj, value);
        break;
    }
    case Kind::Float:
        if (isNumeric(Setting))
            p.write(obj, Setting.AsFloat());
        break;
    case Kind::String:
        if (p.metaType().id() == QMetaType::QByteArray)
            p.write(obj, Setting.AsString().toUtf8());
        else
            p.write(obj, Setting.AsString());
        break;
    case Kind::Set: {
        if (Setting.ValueType() != pvtString)
            break;
        const QMetaEnum e = p.enumerator();
        int value = 0;
        for (const QString& piece : Setting.AsString().split(QLatin1Char(','))) {
            for (int bit = 0; bit < 32; ++bit) {
                const int mask = int(1u << bit);
                const char* key = e.valueToKey(mask);
                if (key && piece == QLatin1String(key))
                    value |= mask;
            }
        }
        p.write(obj, value);
        break;
    }
    case Kind::StringList: {
        QStringList list = p.read(obj).toStringList();
        Setting.AsStrings(list);
        p.write(obj, list);
        break;
    }
    case Kind::Object:
        if (QObject* component = findComponent(Form, Setting.AsString()))
            p.write(obj, QVariant::fromValue(component));
        break;
    case Kind::Variant:
        p.write(obj, QVariant::fromValue(Setting.AsVariant()));
        break;
    case Kind::None:
        break;
    }
}

// --- TPFontAdapter ---

TPFontAdapter::TPFontAdapter(QWidget* Widget)
    : m_widget(Widget)
{
}

int TPFontAdapter::Color() const
{
    const QColor c = m_widget->palette().color(QPalette::WindowText);
    if (c == QApplication::palette(m_widget).color(QPalette::WindowText))
        return kWindowTextColor;
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

void TPFontAdapter::SetColor(int Value)
{
    QPalette pal = m_widget->palette();
    const QPalette standard = QApplication::palette(m_widget);
    // Disabled text keeps its own colour: hidden and cut items are drawn with it.
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        if (Value < 0) {
            // A system colour: follow the theme again.
            pal.setColor(group, QPalette::WindowText, standard.color(group, QPalette::WindowText));
            pal.setColor(group, QPalette::Text, standard.color(group, QPalette::Text));
        } else {
            const QColor c(Value & 0xFF, (Value >> 8) & 0xFF, (Value >> 16) & 0xFF);
            pal.setColor(group, QPalette::WindowText, c);
            pal.setColor(group, QPalette::Text, c);
        }
    }
    m_widget->setPalette(pal);
}

int TPFontAdapter::Height() const
{
    const QFont f = m_widget->font();
    if (f.pointSizeF() > 0)
        return -int(std::lround(f.pointSizeF() * kPixelsPerInch / 72.0));
    return -f.pixelSize();
}

void TPFontAdapter::SetHeight(int Value)
{
    if (Value == 0)
        return;
    QFont f = m_widget->font();
    f.setPointSizeF(std::abs(double(Value)) * 72.0 / kPixelsPerInch);
    m_widget->setFont(f);
}

QString TPFontAdapter::Name() const
{
    return m_widget->font().family();
}

void TPFontAdapter::SetName(const QString& Value)
{
    if (Value.isEmpty())
        return;
    QFont f = m_widget->font();
    f.setFamily(Value);
    m_widget->setFont(f);
}

TPFontAdapter::TFontPitch TPFontAdapter::Pitch() const
{
    const QFont f = m_widget->font();
    if (!(f.resolveMask() & QFont::FixedPitchResolved))
        return fpDefault;
    return f.fixedPitch() ? fpFixed : fpVariable;
}

void TPFontAdapter::SetPitch(TFontPitch Value)
{
    if (Value == fpDefault)
        return;
    QFont f = m_widget->font();
    f.setFixedPitch(Value == fpFixed);
    m_widget->setFont(f);
}

int TPFontAdapter::Size() const
{
    const QFont f = m_widget->font();
    if (f.pointSize() > 0)
        return f.pointSize();
    return int(std::lround(f.pixelSize() * 72.0 / kPixelsPerInch));
}

void TPFontAdapter::SetSize(int Value)
{
    if (Value <= 0)
        return;
    QFont f = m_widget->font();
    f.setPointSize(Value);
    m_widget->setFont(f);
}

TPFontAdapter::TFontStyles TPFontAdapter::Style() const
{
    const QFont f = m_widget->font();
    TFontStyles s;
    s.setFlag(fsBold, f.bold());
    s.setFlag(fsItalic, f.italic());
    s.setFlag(fsUnderline, f.underline());
    s.setFlag(fsStrikeOut, f.strikeOut());
    return s;
}

void TPFontAdapter::SetStyle(TFontStyles Value)
{
    QFont f = m_widget->font();
    f.setBold(Value.testFlag(fsBold));
    f.setItalic(Value.testFlag(fsItalic));
    f.setUnderline(Value.testFlag(fsUnderline));
    f.setStrikeOut(Value.testFlag(fsStrikeOut));
    m_widget->setFont(f);
}

} // namespace corvane::settings
