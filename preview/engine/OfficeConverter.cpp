#include "OfficeConverter.h"

#include "core/NameCodec.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace corvane::preview {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The UNO client: connects to the office, then converts one document per request line
// ("convert", source URL, target URL, separated by tabs) and answers "ok" or "error".
// When its input ends (Corvane quit or went away) it ends the office too.
constexpr const char* kClientScript = R"PY(
import os, sys, time
try:
    import uno
    from com.sun.star.beans import PropertyValue
except Exception:
    os._exit(3)

def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p

def answer(text):
    sys.stdout.write(text + "\n")
    sys.stdout.flush()

local = uno.getComponentContext()
resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
give_up = time.monotonic() + float(sys.argv[2])
while True:
    try:
        ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % sys.argv[1])
        break
    except Exception:
        if time.monotonic() > give_up:
            os._exit(4)
        time.sleep(0.05)
smgr = ctx.ServiceManager
desktop = smgr.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
# A previewed document must not fetch pictures linked from elsewhere.
try:
    provider = smgr.createInstanceWithContext("com.sun.star.configuration.ConfigurationProvider", ctx)
    access = provider.createInstanceWithArguments("com.sun.star.configuration.ConfigurationUpdateAccess",
        (prop("nodepath", "/org.openoffice.Office.Common/Security/Scripting"),))
    access.setPropertyValue("BlockUntrustedRefererLinks", True)
    access.commitChanges()
except Exception:
    pass
answer("ready")
load_args = (prop("Hidden", True), prop("ReadOnly", True), prop("MacroExecutionMode", 0), prop("UpdateDocMode", 0))
for line in sys.stdin:
    parts = line.rstrip("\n").split("\t")
    if len(parts) != 3 or parts[0] != "convert":
        break
    doc = None
    ok = False
    try:
        doc = desktop.loadComponentFromURL(parts[1], "_blank", 0, load_args)
        used = ""
        for arg in doc.getArgs():
            if arg.Name == "FilterName":
                used = arg.Value
        # Bytes that no document filter took are read as plain text: not a document.
        if not used.startswith("Text"):
            doc.storeToURL(parts[2], (prop("FilterName", "Rich Text Format"),))
            ok = True
    except Exception:
        pass
    if doc is not None:
        try:
            doc.close(True)
        except Exception:
            pass
    if not ok:
        # An office that died with the document ends this client: the next document starts both anew.
        try:
            desktop.getFrames()
        except Exception:
            os._exit(5)
    answer("ok" if ok else "error")
try:
    desktop.terminate()
except Exception:
    pass
os._exit(0)
)PY";

// A file URL of any file name: every byte but the plain ones percent-encoded, so names that
// are not UTF-8 reach the office unchanged.
QByteArray fileUrl(const QByteArray& raw)
{
    QByteArray url = "file://";
    for (const char c : raw) {
        const auto b = static_cast<unsigned char>(c);
        const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '/' ||
                           b == '-' || b == '.' || b == '_' || b == '~';
        if (plain)
            url += c;
        else
            url += '%' + QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
    }
    return url;
}

// Starts a program in a process group of its own, its standard input and output on `channel`
// (or /dev/null), its error output discarded. 0 when it cannot start.
pid_t spawn(const QList<QByteArray>& args, int channel)
{
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (channel >= 0) {
        posix_spawn_file_actions_adddup2(&files, channel, 0);
        posix_spawn_file_actions_adddup2(&files, channel, 1);
    } else {
        posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own group, so that a stop reaches every process the office starts; signals as a new
    // program expects them, whatever this thread blocks or ignores.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attr, &all);
    std::vector<char*> argv;
    for (const QByteArray& a : args)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &files, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? pid : 0;
}

bool exited(pid_t pid)
{
    return ::waitpid(pid, nullptr, WNOHANG) != 0;
}

// Ends and reaps the processes of a stopped office on a thread of its own. Gently: the client,
// whose input was closed, ends the office itself; what is still there after a while is killed.
void reap(pid_t office, pid_t client, bool gently)
{
    if (!office && !client)
        return;
    std::thread([office, client, gently] {
        if (gently) {
            const auto until = Clock::now() + 10s;
            while (Clock::now() < until && !((!office || exited(office)) && (!client || exited(client))))
                std::this_thread::sleep_for(50ms);
        }
        for (const pid_t pid : {office, client}) {
            if (!pid)
                continue;
            ::kill(-pid, SIGKILL);
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }).detach();
}

} // namespace

TOfficeConverter::TOfficeConverter()
    : m_program(QStringLiteral("soffice")),
      m_profile(QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)).filePath(QStringLiteral("corvane/office")))
{
}

TOfficeConverter::~TOfficeConverter()
{
    Quit();
}

void TOfficeConverter::SetOfficeProgram(const QString& program)
{
    std::lock_guard lock(m_state);
    m_program = program;
}

void TOfficeConverter::SetProfileFolder(const QString& folder)
{
    std::lock_guard lock(m_state);
    m_profile = folder;
}

void TOfficeConverter::SetTimeLimit(std::chrono::milliseconds limit)
{
    std::lock_guard lock(m_state);
    m_limit = limit;
}

std::chrono::milliseconds TOfficeConverter::limit() const
{
    std::lock_guard lock(m_state);
    return m_limit;
}

pid_t TOfficeConverter::OfficePid() const
{
    std::lock_guard lock(m_state);
    return m_office;
}

void TOfficeConverter::Quit()
{
    {
        std::lock_guard lock(m_state);
        m_quit = true;
    }
    std::unique_lock busy(m_busy, std::try_to_lock);
    if (busy) {
        stopProcesses(true);
        return;
    }
    // A conversion is on its way: its processes go now, and the conversion sees its channel close.
    std::lock_guard lock(m_state);
    if (m_office)
        ::kill(-m_office, SIGTERM);
    if (m_client)
        ::kill(-m_client, SIGKILL);
}

bool TOfficeConverter::Convert(const QString& source, const QString& target, const std::atomic<bool>& cancel)
{
    std::unique_lock busy(m_busy, std::defer_lock);
    while (!busy.try_lock_for(50ms)) {
        if (cancel.load(std::memory_order_relaxed))
            return false;
    }
    auto quitting = [this] {
        std::lock_guard lock(m_state);
        return m_quit;
    };
    if (cancel.load(std::memory_order_relaxed) || quitting())
        return false;
    if (!ensureRunning(Clock::now() + limit())) {
        stopProcesses(false);
        return false;
    }
    // Replaced while the office started: it stays up for the newer document.
    if (cancel.load(std::memory_order_relaxed))
        return false;
    const QByteArray request = "convert\t" + fileUrl(core::EncodeName(source)) + '\t' + fileUrl(core::EncodeName(target)) + '\n';
    qsizetype sent = 0;
    while (sent < request.size()) {
        const ssize_t n = ::send(m_channel, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            stopProcesses(false);
            return false;
        }
        sent += n;
    }
    // Once asked, the office finishes the document even for a cancelled preview: stopping it
    // would cost the next document a new start.
    QByteArray answer;
    if (!readLine(answer, Clock::now() + limit())) {
        stopProcesses(false);
        return false;
    }
    if (quitting())
        stopProcesses(true);
    return answer == "ok";
}

bool TOfficeConverter::ensureRunning(Clock::time_point deadline)
{
    if (m_channel < 0 && !startProcesses())
        return false;
    if (m_ready)
        return true;
    QByteArray line;
    m_ready = readLine(line, deadline) && line == "ready";
    return m_ready;
}

bool TOfficeConverter::startProcesses()
{
    QString program;
    QString folder;
    {
        std::lock_guard lock(m_state);
        program = m_program;
        folder = m_profile;
    }
    const QByteArray profile = core::EncodeName(QFileInfo(folder).absoluteFilePath());
    QDir().mkpath(folder);
    ::chmod(profile.constData(), 0700);
    // One name per profile: a second Corvane with the same profile reaches the same office.
    const QByteArray pipe = "corvane-" + QCryptographicHash::hash(profile, QCryptographicHash::Sha1).toHex().left(16);
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    const QList<QByteArray> office{core::EncodeName(program),
                                   "-env:UserInstallation=" + fileUrl(profile),
                                   "--headless",
                                   "--invisible",
                                   "--norestore",
                                   "--nologo",
                                   "--nodefault",
                                   "--nolockcheck",
                                   "--accept=pipe,name=" + pipe + ";urp;"};
    QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable())
        python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    const QList<QByteArray> client{core::EncodeName(python), "-c", kClientScript, pipe,
                                   QByteArray::number(double(limit().count()) / 1000.0)};
    const pid_t officePid = spawn(office, -1);
    const pid_t clientPid = officePid ? spawn(client, pair[1]) : 0;
    ::close(pair[1]);
    std::lock_guard lock(m_state);
    m_office = officePid;
    m_client = clientPid;
    m_channel = pair[0];
    m_ready = false;
    m_buffer.clear();
    return officePid && clientPid;
}

void TOfficeConverter::stopProcesses(bool gently)
{
    pid_t office = 0;
    pid_t client = 0;
    {
        std::lock_guard lock(m_state);
        office = std::exchange(m_office, 0);
        client = std::exchange(m_client, 0);
        if (m_channel >= 0)
            ::close(std::exchange(m_channel, -1));
        m_ready = false;
        m_buffer.clear();
    }
    reap(office, client, gently);
}

bool TOfficeConverter::readLine(QByteArray& line, Clock::time_point deadline)
{
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end >= 0) {
            line = m_buffer.left(end);
            m_buffer.remove(0, end + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd p{m_channel, POLLIN, 0};
        const int rc = ::poll(&p, 1, int(std::min<long long>(left, 1000)));
        if (rc < 0 && errno != EINTR)
            return false;
        if (rc <= 0)
            continue;
        char chunk[512];
        const ssize_t n = ::read(m_channel, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        m_buffer.append(chunk, n);
    }
}

} // namespace corvane::preview
