#include "Launch.h"

#include "LaunchTexts.h"
#include "NameCodec.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>

// GLib names a struct member "signals", which Qt defines as a keyword.
#include "GlibPtr.h"

#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace corvane::platform {

namespace {


void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

void setError(QString* error, GError* e)
{
    if (error && e)
        *error = QString::fromUtf8(e->message);
}

QString homeFolder()
{
    return QDir::homePath();
}

bool statPath(const QString& path, struct stat& st)
{
    return ::stat(EncodeName(path).constData(), &st) == 0;
}

bool isExecutableFile(const QString& path)
{
    struct stat st;
    return statPath(path, st) && S_ISREG(st.st_mode) && ::access(EncodeName(path).constData(), X_OK) == 0;
}

bool exists(const QString& path)
{
    struct stat st;
    return statPath(path, st);
}

bool isFolder(const QString& path)
{
    struct stat st;
    return statPath(path, st) && S_ISDIR(st.st_mode);
}

// The folder a started program gets: the given one, or the home folder when there is none.
QString workFolder(const QString& folder)
{
    return folder.isEmpty() ? homeFolder() : folder;
}

// Starts argv[0] (a path) with raw-byte arguments, so names that are not UTF-8 reach the
// program unchanged. The intermediate child is reaped at once: no zombies are left behind.
bool spawn(const QString& program, const QStringList& arguments, const QString& folder, QString* error)
{
    const QString dir = workFolder(folder);
    if (!isFolder(dir)) {
        setError(error, QString::fromLatin1(texts::FolderMissing).arg(dir));
        return false;
    }
    std::vector<QByteArray> bytes;
    bytes.reserve(size_t(arguments.size()) + 1);
    bytes.push_back(EncodeName(program));
    for (const QString& a : arguments)
        bytes.push_back(EncodeName(a));
    std::vector<gchar*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const QByteArray workDir = EncodeName(dir);
    GError* raw = nullptr;
    const gboolean ok = g_spawn_async(workDir.constData(), argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, &raw);
    GErrorPtr e(raw);
    if (!ok) {
        setError(error, e.get());
        return false;
    }
    return true;
}

QString absoluteIn(const QString& path, const QString& folder)
{
    const QString expanded = ExpandHome(path);
    if (expanded.startsWith(QLatin1Char('/')))
        return expanded;
    return workFolder(folder) + QLatin1Char('/') + expanded;
}

bool launchDesktopFile(const QString& path, QString* error)
{
    GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(EncodeName(path).constData()));
    if (!info) {
        setError(error, QString::fromLatin1(texts::NotFound).arg(path));
        return false;
    }
    GError* raw = nullptr;
    const gboolean ok = g_app_info_launch(G_APP_INFO(info.get()), nullptr, nullptr, &raw);
    GErrorPtr e(raw);
    if (!ok)
        setError(error, e.get());
    return ok;
}

// How each terminal emulator takes a command and a start folder.
struct TerminalKind {
    const char* name;
    // The option after which the command and its arguments follow (none: they follow directly).
    const char* execOption;
    // The start-folder option; "=" at its end joins the folder to it.
    const char* folderOption;
};

// x-terminal-emulator first: it is the one the system administrator chose.
constexpr TerminalKind kTerminals[] = {
    {"x-terminal-emulator", "-e", nullptr},
    {"gnome-terminal", "--", "--working-directory="},
    {"konsole", "-e", "--workdir"},
    {"xfce4-terminal", "-x", "--working-directory="},
    {"mate-terminal", "-x", "--working-directory="},
    {"terminator", "-x", "--working-directory="},
    {"alacritty", "-e", "--working-directory"},
    {"kitty", nullptr, "--directory"},
    {"foot", nullptr, "--working-directory="},
    {"xterm", "-e", nullptr},
    {"urxvt", "-e", "-cd"},
};

const TerminalKind* findTerminalKind(QString& path)
{
    for (const TerminalKind& t : kTerminals) {
        path = QStandardPaths::findExecutable(QString::fromLatin1(t.name));
        if (!path.isEmpty())
            return &t;
    }
    return nullptr;
}

QStringList folderArguments(const TerminalKind& t, const QString& folder)
{
    if (!t.folderOption)
        return {};
    const QString option = QString::fromLatin1(t.folderOption);
    if (option.endsWith(QLatin1Char('=')))
        return {option + folder};
    return {option, folder};
}

struct DesktopCandidate {
    DesktopProgram role;
    // The desktop (as XDG_CURRENT_DESKTOP names it) the program belongs to.
    const char* desktop;
    const char* program;
};

constexpr DesktopCandidate kDesktopPrograms[] = {
    {DesktopProgram::Settings, "GNOME", "gnome-control-center"},
    {DesktopProgram::Settings, "KDE", "systemsettings"},
    {DesktopProgram::Settings, "KDE", "systemsettings5"},
    {DesktopProgram::Settings, "XFCE", "xfce4-settings-manager"},
    {DesktopProgram::Settings, "MATE", "mate-control-center"},
    {DesktopProgram::Settings, "X-Cinnamon", "cinnamon-settings"},
    {DesktopProgram::Settings, "LXQt", "lxqt-config"},
    {DesktopProgram::Calculator, "GNOME", "gnome-calculator"},
    {DesktopProgram::Calculator, "KDE", "kcalc"},
    {DesktopProgram::Calculator, "MATE", "mate-calc"},
    {DesktopProgram::Calculator, "XFCE", "galculator"},
    {DesktopProgram::Calculator, "", "qalculate-qt"},
    {DesktopProgram::Calculator, "", "qalculate-gtk"},
    {DesktopProgram::Calculator, "", "speedcrunch"},
    {DesktopProgram::Calculator, "", "xcalc"},
    {DesktopProgram::Disks, "GNOME", "gnome-disks"},
    {DesktopProgram::Disks, "KDE", "partitionmanager"},
};

} // namespace

RunText SplitRunText(const QString& text)
{
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return {text, {}};
    return {text.left(blank), text.mid(blank + 1)};
}

QStringList SplitArguments(const QString& parameters)
{
    QStringList words;
    QString word;
    bool inWord = false;
    const qsizetype n = parameters.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = parameters.at(i);
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
            continue;
        }
        if (!inWord && c == QLatin1Char('~')
            && (i + 1 == n || QStringLiteral("/ \t\n").contains(parameters.at(i + 1)))) {
            inWord = true;
            word += QDir::homePath();
            continue;
        }
        inWord = true;
        if (c == QLatin1Char('\'')) {
            const qsizetype end = parameters.indexOf(QLatin1Char('\''), i + 1);
            word += parameters.mid(i + 1, end < 0 ? -1 : end - i - 1);
            i = end < 0 ? n : end;
        } else if (c == QLatin1Char('"')) {
            for (++i; i < n && parameters.at(i) != QLatin1Char('"'); ++i) {
                // Inside double quotes a backslash escapes only these.
                if (parameters.at(i) == QLatin1Char('\\') && i + 1 < n
                    && QStringLiteral("\"\\$`").contains(parameters.at(i + 1)))
                    ++i;
                word += parameters.at(i);
            }
        } else if (c == QLatin1Char('\\') && i + 1 < n) {
            word += parameters.at(++i);
        } else {
            word += c;
        }
    }
    if (inWord)
        words << word;
    return words;
}

QString ExpandHome(const QString& path)
{
    if (!path.startsWith(QLatin1Char('~')))
        return path;
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    const QString user = path.mid(1, slash < 0 ? -1 : slash - 1);
    const QString rest = slash < 0 ? QString() : path.mid(slash);
    if (user.isEmpty())
        return homeFolder() + rest;
    // "~name": that user's home folder, when there is such a user.
    if (const passwd* pw = ::getpwnam(EncodeName(user).constData()); pw && pw->pw_dir)
        return DecodeName(QByteArray(pw->pw_dir)) + rest;
    return path;
}

QString ResolveTypedPath(const QString& typed, const QString& folder)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {};
    return QDir::cleanPath(absoluteIn(text, folder));
}

bool LooksLikeUri(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return false;
    if (text.mid(m.capturedEnd()).startsWith(QLatin1String("//")))
        return true;
    // Schemes whose addresses have no "//".
    static const QStringList bare = {QStringLiteral("mailto"), QStringLiteral("tel"), QStringLiteral("magnet"),
                                     QStringLiteral("news"), QStringLiteral("sms")};
    return bare.contains(m.captured(1).toLower());
}

QString FindProgram(const QString& name, const QString& folder)
{
    if (name.isEmpty())
        return {};
    if (!name.contains(QLatin1Char('/')) && !name.startsWith(QLatin1Char('~')))
        return QStandardPaths::findExecutable(name);
    const QString path = QDir::cleanPath(absoluteIn(name, folder));
    return isExecutableFile(path) ? path : QString();
}

bool StartDetached(const QString& program, const QStringList& arguments, const QString& folder, QString* error)
{
    return spawn(program, arguments, folder, error);
}

bool OpenWithDefaultApplication(const QString& target, const QString& folder, QString* error)
{
    QByteArray uri;
    if (LooksLikeUri(target) && !exists(absoluteIn(target, folder))) {
        uri = target.toUtf8();
    } else {
        const QString path = QDir::cleanPath(absoluteIn(target, folder));
        GError* raw = nullptr;
        GCharPtr fileUri(g_filename_to_uri(EncodeName(path).constData(), nullptr, &raw));
        GErrorPtr e(raw);
        if (!fileUri) {
            setError(error, e.get());
            return false;
        }
        uri = QByteArray(fileUri.get());
    }
    GError* raw = nullptr;
    const gboolean ok = g_app_info_launch_default_for_uri(uri.constData(), nullptr, &raw);
    GErrorPtr e(raw);
    if (!ok)
        setError(error, e.get());
    return ok;
}

bool ShellOpen(const QString& file, const QString& parameters, const QString& folder, QString* error)
{
    if (file.trimmed().isEmpty()) {
        setError(error, QString::fromLatin1(texts::NothingToRun));
        return false;
    }
    const QString program = FindProgram(file, folder);
    if (!program.isEmpty())
        return spawn(program, SplitArguments(parameters), folder, error);
    const QString path = QDir::cleanPath(absoluteIn(file, folder));
    if (exists(path)) {
        struct stat st;
        if (path.endsWith(QLatin1String(".desktop")) && statPath(path, st) && S_ISREG(st.st_mode))
            return launchDesktopFile(path, error);
        return OpenWithDefaultApplication(path, folder, error);
    }
    if (LooksLikeUri(file))
        return OpenWithDefaultApplication(file, folder, error);
    setError(error, QString::fromLatin1(texts::NotFound).arg(file));
    return false;
}

bool ShellOpenCommand(const QString& command, const QString& folder, QString* error)
{
    if (ShellOpen(command, {}, folder, error))
        return true;
    QStringList words = SplitArguments(command);
    if (words.size() < 2)
        return false;
    const QString program = FindProgram(words.takeFirst(), folder);
    if (program.isEmpty())
        return false;
    return spawn(program, words, folder, error);
}

QString FindTerminal()
{
    QString path;
    return findTerminalKind(path) ? path : QString();
}

bool OpenTerminal(const QString& folder, QString* error)
{
    QString path;
    const TerminalKind* t = findTerminalKind(path);
    if (!t) {
        setError(error, QString::fromLatin1(texts::NoTerminal));
        return false;
    }
    const QString dir = workFolder(folder);
    return spawn(path, folderArguments(*t, dir), dir, error);
}

QStringList TerminalWrapperArguments(const QString& commandLine, const QString& folder)
{
    // The command line travels as an argument, never spliced into the script, so no text
    // can break out of the quoting.
    static const QString script = QStringLiteral(
        "cd -- \"$1\" || exit 1\n"
        "/bin/sh -c \"$2\"\n"
        "printf '\\n%s' \"$3\"\n"
        "stty -icanon -echo 2>/dev/null\n"
        "dd bs=1 count=1 >/dev/null 2>&1\n"
        "stty icanon echo 2>/dev/null\n");
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script, QStringLiteral("sh"), workFolder(folder),
            commandLine, QString::fromLatin1(texts::PressAnyKey)};
}

bool RunInTerminal(const QString& commandLine, const QString& folder, QString* error)
{
    QString path;
    const TerminalKind* t = findTerminalKind(path);
    if (!t) {
        setError(error, QString::fromLatin1(texts::NoTerminal));
        return false;
    }
    const QString dir = workFolder(folder);
    QStringList args = folderArguments(*t, dir);
    if (t->execOption)
        args << QString::fromLatin1(t->execOption);
    args << TerminalWrapperArguments(commandLine, dir);
    return spawn(path, args, dir, error);
}

QString FindDesktopProgram(DesktopProgram role)
{
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    // The current desktop's own program first, then any other that is installed.
    for (const QString& desktop : desktops) {
        for (const DesktopCandidate& c : kDesktopPrograms) {
            if (c.role == role && desktop.compare(QLatin1String(c.desktop), Qt::CaseInsensitive) == 0) {
                const QString path = QStandardPaths::findExecutable(QString::fromLatin1(c.program));
                if (!path.isEmpty())
                    return path;
            }
        }
    }
    for (const DesktopCandidate& c : kDesktopPrograms) {
        if (c.role != role)
            continue;
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(c.program));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

} // namespace corvane::platform
