#include "ShellKeys.h"

#include <QApplication>
#include <QKeySequence>
#include <QMessageBox>
#include <array>

namespace corvane::shellctl {

namespace {

constexpr std::array<const char*, dkCount> keyNames = {"Ctrl+A", "Del", "Ctrl+C", "Ctrl+X", "Ctrl+V", "F5", "F2"};

const std::array<QKeyCombination, dkCount>& keyTable()
{
    // Turned into key values on first use, from the written names.
    static const std::array<QKeyCombination, dkCount> table = [] {
        std::array<QKeyCombination, dkCount> t{};
        for (size_t i = 0; i < keyNames.size(); ++i)
            t[i] = QKeySequence::fromString(QString::fromLatin1(keyNames[i]), QKeySequence::PortableText)[0];
        return t;
    }();
    return table;
}

ShellMessageHook& hook()
{
    static ShellMessageHook h;
    return h;
}

} // namespace

int MatchDefaultKey(const QKeyEvent* e)
{
    Qt::KeyboardModifiers mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    QKeyCombination key(mods, Qt::Key(e->key()));
    const auto& table = keyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i] == key)
            return int(i);
    }
    if (mods & Qt::ShiftModifier) {
        QKeyCombination unshifted(mods & ~Qt::ShiftModifier, Qt::Key(e->key()));
        if (table[dkDelete] == unshifted)
            return dkDelete;
    }
    return -1;
}

const char* DefaultKeyName(int index)
{
    return index >= 0 && index < dkCount ? keyNames[size_t(index)] : "";
}

void SetShellWarningHook(ShellMessageHook h)
{
    hook() = std::move(h);
}

void ShellWarning(const QString& text)
{
    if (hook()) {
        hook()(text);
        return;
    }
    QMessageBox::warning(QApplication::activeWindow(), QString(), text);
}

void ShellBeep()
{
    QApplication::beep();
}

} // namespace corvane::shellctl
