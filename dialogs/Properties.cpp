#include "Properties.h"

#include "ShellDialogTexts.h"
#include "app/Utility.h"
#include "platform/NameCodec.h"
#include "platform/ShellOpen.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <thread>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::app {

using namespace platform;

namespace {

QString sizeText(qint64 bytes)
{
    return QString::fromUtf8(shelltexts::SizeBytes)
        .arg(QLocale::system().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat), QLocale::system().toString(bytes));
}

QString timeText(const struct timespec& t)
{
    return QLocale::system().toString(QDateTime::fromMSecsSinceEpoch(qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000),
                                      QLocale::LongFormat);
}

QString permissionText(mode_t m)
{
    QString s = QStringLiteral("----------");
    if (S_ISDIR(m))
        s[0] = QLatin1Char('d');
    else if (S_ISLNK(m))
        s[0] = QLatin1Char('l');
    const char rwx[] = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i) {
        if (m & (0400 >> i))
            s[i + 1] = QLatin1Char(rwx[i]);
    }
    return s + QStringLiteral(" (%1)").arg(m & 07777, 4, 8, QLatin1Char('0'));
}

QString ownerText(uid_t uid, gid_t gid)
{
    const passwd* pw = ::getpwuid(uid);
    const group* gr = ::getgrgid(gid);
    return QStringLiteral("%1 : %2")
        .arg(pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(uid),
             gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(gid));
}

// Walks the tree below an open folder without following links; stops when asked.
template <typename Count>
void countTree(int dirFd, Count& c, int depth)
{
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    while (!c.stop.load(std::memory_order_relaxed)) {
        const dirent* e = ::readdir(dir);
        if (!e)
            break;
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            c.folders.fetch_add(1, std::memory_order_relaxed);
            // Deep trees are counted as far as file descriptors allow.
            if (depth < 256) {
                const int sub = ::openat(::dirfd(dir), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (sub >= 0)
                    countTree(sub, c, depth + 1);
            }
        } else {
            c.files.fetch_add(1, std::memory_order_relaxed);
            c.bytes.fetch_add(st.st_size, std::memory_order_relaxed);
        }
    }
    ::closedir(dir);
}

QLabel* value(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

} // namespace

TfrmProperties::TfrmProperties(const VerbTarget& target, QWidget* parent)
    : QDialog(parent), m_count(std::make_shared<Count>()), m_timer(new QTimer(this))
{
    auto* layout = new QVBoxLayout(this);
    m_form = new QFormLayout;
    layout->addLayout(m_form);
    auto row = [this](const char* label, const QString& text) {
        QLabel* l = value(text, this);
        m_form->addRow(QString::fromUtf8(label), l);
        return l;
    };
    std::vector<QByteArray> paths;
    for (const QByteArray& p : target.paths) {
        if (!p.isEmpty())
            paths.push_back(p);
    }
    std::vector<QByteArray> folders;
    qint64 fileBytes = 0;
    if (paths.size() == 1) {
        const QByteArray& path = paths.front();
        const QString name = ReadableName(BaseName(path));
        setWindowTitle(QString::fromUtf8(shelltexts::PropertiesCaption).arg(name));
        struct stat st {};
        const bool ok = ::lstat(path.constData(), &st) == 0;
        row(shelltexts::PropName, name);
        row(shelltexts::PropType, S_ISLNK(st.st_mode) ? QStringLiteral("inode/symlink") : ContentTypeOf(path));
        row(shelltexts::PropLocation, ReadableName(ParentOf(path)));
        if (S_ISLNK(st.st_mode)) {
            char buf[4096];
            const ssize_t n = ::readlink(path.constData(), buf, sizeof buf);
            row(shelltexts::PropLinkTarget, n > 0 ? ReadableName(QByteArray(buf, int(n))) : QString());
        }
        lblSize = row(shelltexts::PropSize, ok && !S_ISDIR(st.st_mode) ? sizeText(st.st_size) : QString());
        lblContains = S_ISDIR(st.st_mode) ? row(shelltexts::PropContains, QString()) : nullptr;
        if (S_ISDIR(st.st_mode))
            folders.push_back(path);
        if (ok) {
            row(shelltexts::PropModified, timeText(st.st_mtim));
            row(shelltexts::PropAccessed, timeText(st.st_atim));
            row(shelltexts::PropChanged, timeText(st.st_ctim));
            row(shelltexts::PropPermissions, permissionText(st.st_mode));
            row(shelltexts::PropOwner, ownerText(st.st_uid, st.st_gid));
        }
        if (ok && !S_ISDIR(st.st_mode)) {
            const QString app = DefaultApplicationName(path);
            row(shelltexts::PropOpensWith, app.isEmpty() ? QString::fromUtf8(shelltexts::NoApplication) : app);
        }
    } else {
        setWindowTitle(QString::fromUtf8(shelltexts::PropertiesCaption).arg(QString::fromUtf8(shelltexts::MultipleItems).arg(paths.size())));
        row(shelltexts::PropName, QString::fromUtf8(shelltexts::MultipleItems).arg(paths.size()));
        if (!paths.empty()) {
            const QByteArray& p = paths.front();
            row(shelltexts::PropLocation, ReadableName(p.left(std::max<qsizetype>(1, p.lastIndexOf('/')))));
        }
        lblSize = row(shelltexts::PropSize, QString());
        lblContains = row(shelltexts::PropContains, QString());
        for (const QByteArray& p : paths) {
            struct stat st {};
            if (::lstat(p.constData(), &st) != 0)
                continue;
            if (S_ISDIR(st.st_mode)) {
                folders.push_back(p);
                m_count->folders.fetch_add(1);
            } else {
                fileBytes += st.st_size;
                m_count->files.fetch_add(1);
            }
        }
        m_count->bytes.fetch_add(fileBytes);
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QString::fromUtf8(shelltexts::Close), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfrmProperties::reject);
    layout->addWidget(buttons);
    setMinimumWidth(Scaled(420));

    if (folders.empty() && paths.size() == 1) {
        m_count->done = true;
        return;
    }
    // The count runs beside the window so a huge folder never freezes it.
    std::shared_ptr<Count> count = m_count;
    std::thread([count, folders] {
        for (const QByteArray& f : folders) {
            if (count->stop.load())
                break;
            const int fd = ::open(f.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0)
                countTree(fd, *count, 0);
        }
        count->done = true;
    }).detach();
    connect(m_timer, &QTimer::timeout, this, &TfrmProperties::showCount);
    m_timer->start(200);
    showCount();
}

TfrmProperties::~TfrmProperties()
{
    // The count stops at its next step and ends by itself; closing does not wait for it.
    m_count->stop = true;
}

void TfrmProperties::showCount()
{
    const bool done = m_count->done.load();
    const QString more = done ? QString() : QString::fromUtf8(shelltexts::StillCounting);
    lblSize->setText(sizeText(m_count->bytes.load()) + more);
    if (lblContains)
        lblContains->setText(QString::fromUtf8(shelltexts::ContainsCount)
                                 .arg(QLocale::system().toString(m_count->files.load()), QLocale::system().toString(m_count->folders.load()))
                             + more);
    if (done)
        m_timer->stop();
}

} // namespace corvane::app
