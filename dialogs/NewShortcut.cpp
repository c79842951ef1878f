#include "NewShortcut.h"

#include "core/Text.h"
#include "core/UniqueFd.h"

#include "ShellDialogTexts.h"
#include "app/Utility.h"
#include "platform/NameCodec.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::app {

using core::Text;

using platform::DecodeName;
using platform::EncodeName;
using platform::ReadableName;

namespace {

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Value text of a desktop entry: no line may break, backslashes are escaped.
QByteArray desktopValue(const QString& text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c; break;
        }
    }
    return out;
}

bool endsWithDesktop(const QString& name)
{
    return name.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive);
}

} // namespace

ShortcutTarget ParseShortcutTarget(const QString& input, const QByteArray& folder)
{
    const QString text = input.trimmed();
    ShortcutTarget t;
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]+):(//)?"));
    const QRegularExpressionMatch m = scheme.match(text);
    static const QStringList bare = {QStringLiteral("mailto"), QStringLiteral("tel"), QStringLiteral("news"),
                                     QStringLiteral("magnet"), QStringLiteral("sip"), QStringLiteral("xmpp")};
    const QString s = m.hasMatch() ? m.captured(1).toLower() : QString();
    if (s == QLatin1String("file")) {
        // A local file given as an address is a link to the file.
        const QUrl u(text);
        t.path = QByteArray::fromPercentEncoding(u.path(QUrl::FullyEncoded).toLatin1());
        return t;
    }
    if (m.hasMatch() && (!m.captured(2).isEmpty() || bare.contains(s))) {
        t.isUrl = true;
        t.url = QUrl(text, QUrl::TolerantMode).toString(QUrl::FullyEncoded);
        return t;
    }
    QString p = text;
    if (p == QLatin1String("~") || p.startsWith(QLatin1String("~/")))
        p = QDir::homePath() + p.mid(1);
    if (p.startsWith(QLatin1String("www."), Qt::CaseInsensitive)) {
        struct stat st {};
        const QByteArray local = folder + '/' + EncodeName(p);
        if (::lstat(local.constData(), &st) != 0) {
            t.isUrl = true;
            t.url = QUrl(QStringLiteral("https://") + p, QUrl::TolerantMode).toString(QUrl::FullyEncoded);
            return t;
        }
    }
    QByteArray bytes = EncodeName(p);
    if (!bytes.startsWith('/'))
        bytes = (folder.endsWith('/') ? folder : folder + '/') + bytes;
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    t.path = bytes;
    return t;
}

QString DefaultShortcutName(const QString& text)
{
    const ShortcutTarget t = ParseShortcutTarget(text, QByteArray("/"));
    if (t.isUrl) {
        const QUrl u(t.url);
        return u.host().isEmpty() ? u.path() : u.host();
    }
    if (text.trimmed().isEmpty() || t.path == "/")
        return {};
    return DecodeName(t.path.mid(t.path.lastIndexOf('/') + 1));
}

QString CreateShortcutFile(const QByteArray& folder, const QString& typedName, const QString& targetText,
                           QByteArray* created)
{
    const QString name = typedName.trimmed();
    if (targetText.trimmed().isEmpty())
        return Text(shelltexts::ShortcutNoTarget);
    if (name.isEmpty())
        return Text(shelltexts::ShortcutNoName);
    if (name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/'))
        || name.contains(QChar(0)))
        return Text(shelltexts::ShortcutBadName);

    const ShortcutTarget target = ParseShortcutTarget(targetText, folder);
    const QByteArray dir = folder.endsWith('/') ? folder : folder + '/';
    if (!target.isUrl) {
        struct stat st {};
        if (::lstat(target.path.constData(), &st) != 0)
            return Text(shelltexts::ShortcutMissingTarget).arg(ReadableName(target.path));
        const QByteArray file = EncodeName(name);
        // symlink() never replaces: an existing name fails with EEXIST.
        if (::symlink(target.path.constData(), (dir + file).constData()) != 0) {
            const int error = errno;
            if (error == EEXIST)
                return Text(shelltexts::ShortcutExists).arg(ReadableName(file), ReadableName(folder));
            return Text(shelltexts::ShortcutCannotCreate).arg(ReadableName(file), ReadableName(folder), systemMessage(error));
        }
        if (created)
            *created = file;
        return {};
    }

    const QUrl url(target.url, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return Text(shelltexts::ShortcutBadUrl).arg(targetText.trimmed());
    const QString title = endsWithDesktop(name) ? name.chopped(8) : name;
    const QByteArray file = EncodeName(endsWithDesktop(name) ? name : name + QStringLiteral(".desktop"));
    const QByteArray path = dir + file;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST)
            return Text(shelltexts::ShortcutExists).arg(ReadableName(file), ReadableName(folder));
        return Text(shelltexts::ShortcutCannotCreate).arg(ReadableName(file), ReadableName(folder), systemMessage(error));
    }
    const QByteArray content = "[Desktop Entry]\nVersion=1.0\nType=Link\nName=" + desktopValue(title)
                               + "\nURL=" + desktopValue(target.url) + "\nIcon=text-html\n";
    const bool written = core::WriteAll(fd, content);
    int error = errno;
    const bool closed = ::close(fd) == 0;
    if (written && !closed)
        error = errno;
    if (!written || !closed) {
        // A half-written link is worse than none.
        ::unlink(path.constData());
        return Text(shelltexts::ShortcutCannotCreate).arg(ReadableName(file), ReadableName(folder), systemMessage(error));
    }
    if (created)
        *created = file;
    return {};
}

TfrmNewShortcut::TfrmNewShortcut(const QByteArray& folder, QWidget* parent)
    : QDialog(parent), m_folder(folder)
{
    setWindowTitle(Text(shelltexts::ShortcutCaption));
    auto* grid = new QGridLayout(this);
    txtTarget = new QLineEdit(this);
    txtTarget->setMinimumWidth(Scaled(420));
    cmdBrowse = new QPushButton(Text(shelltexts::ShortcutBrowse), this);
    txtName = new QLineEdit(this);
    auto* lblTarget = new QLabel(Text(shelltexts::ShortcutTarget), this);
    lblTarget->setBuddy(txtTarget);
    auto* lblName = new QLabel(Text(shelltexts::ShortcutName), this);
    lblName->setBuddy(txtName);
    auto* buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(Text(shelltexts::OK), QDialogButtonBox::AcceptRole);
    cmdCancel = buttons->addButton(Text(shelltexts::Cancel), QDialogButtonBox::RejectRole);
    cmdOK->setDefault(true);
    cmdOK->setEnabled(false);
    grid->addWidget(lblTarget, 0, 0, 1, 2);
    grid->addWidget(txtTarget, 1, 0);
    grid->addWidget(cmdBrowse, 1, 1);
    grid->addWidget(lblName, 2, 0, 1, 2);
    grid->addWidget(txtName, 3, 0, 1, 2);
    grid->addWidget(buttons, 4, 0, 1, 2);

    connect(txtTarget, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_nameTyped)
            txtName->setText(DefaultShortcutName(text));
        cmdOK->setEnabled(!text.trimmed().isEmpty());
    });
    // Once the user has typed a name, the target no longer changes it.
    connect(txtName, &QLineEdit::textEdited, this, [this](const QString& text) { m_nameTyped = !text.isEmpty(); });
    connect(cmdBrowse, &QPushButton::clicked, this, &TfrmNewShortcut::cmdBrowseClick);
    connect(cmdOK, &QPushButton::clicked, this, &TfrmNewShortcut::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmNewShortcut::reject);
}

void TfrmNewShortcut::cmdBrowseClick()
{
    const QString file = QFileDialog::getOpenFileName(this, Text(shelltexts::ShortcutCaption), DecodeName(m_folder));
    if (!file.isEmpty())
        txtTarget->setText(file);
}

void TfrmNewShortcut::cmdOKClick()
{
    const QString error = CreateShortcutFile(m_folder, txtName->text(), txtTarget->text(), &Created);
    if (!error.isEmpty()) {
        // The dialog stays, so the user can mend what was typed.
        MsgBox(error, Text(shelltexts::Error), MB_ICONEXCLAMATION);
        return;
    }
    accept();
}

} // namespace corvane::app
