#include "Properties.h"

#include "ShellDialogTexts.h"
#include "app/Utility.h"
#include "core/TreeWalker.h"
#include "platform/NameCodec.h"
#include "platform/ShellOpen.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
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

QString countText(qint64 n, const char* one, const char* many)
{
    return n == 1 ? QString::fromUtf8(one) : QString::fromUtf8(many).arg(QLocale::system().toString(n));
}

// The type as people read it: the MIME type's description where the database has one.
QString typeText(const QString& mimeName)
{
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeName);
    return type.isValid() && !type.comment().isEmpty() ? type.comment() : mimeName;
}

QLabel* value(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

} // namespace

// Counts the files, folders and bytes below the chosen folders, on top of what the dialog
// counted itself (the plain files of a selection).
class FolderCountJob : public core::Job
{
public:
    FolderCountJob(std::vector<QByteArray> folders, core::WalkProgress start)
        : m_folders(std::move(folders)), m_count(start)
    {
    }

    core::WalkProgress Count() const
    {
        std::lock_guard lock(resultMutex());
        return m_count;
    }

protected:
    void execute() override
    {
        for (const QByteArray& folder : m_folders) {
            core::TreeWalker walker({}, &cancelFlag());
            const core::WalkProgress before = Count();
            walker.onProgress([&](const core::WalkProgress& p) { publish(before, p); });
            walker.walk(folder, [](const core::WalkEntry&) { return core::WalkStep::Continue; });
            publish(before, walker.totals());
            if (isCancelled())
                return;
        }
    }

private:
    void publish(const core::WalkProgress& before, const core::WalkProgress& walked)
    {
        std::lock_guard lock(resultMutex());
        m_count.files = before.files + walked.files;
        m_count.folders = before.folders + walked.folders;
        m_count.bytes = before.bytes + walked.bytes;
    }

    const std::vector<QByteArray> m_folders;
    core::WalkProgress m_count;  // guarded by resultMutex()
};

TfrmProperties::TfrmProperties(const VerbTarget& target, QWidget* parent)
    : QDialog(parent), m_timer(new QTimer(this))
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
    core::WalkProgress counted;
    if (paths.size() == 1) {
        const QByteArray& path = paths.front();
        const QString name = ReadableName(BaseName(path));
        setWindowTitle(QString::fromUtf8(shelltexts::PropertiesCaption).arg(name));
        struct stat st {};
        const bool ok = ::lstat(path.constData(), &st) == 0;
        row(shelltexts::PropName, name);
        row(shelltexts::PropType, typeText(S_ISLNK(st.st_mode) ? QStringLiteral("inode/symlink") : ContentTypeOf(path)));
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
                ++counted.folders;
            } else {
                counted.bytes += st.st_size;
                ++counted.files;
            }
        }
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QString::fromUtf8(shelltexts::Close), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfrmProperties::reject);
    layout->addWidget(buttons);
    setMinimumWidth(Scaled(420));

    if (!lblContains && paths.size() == 1)
        return;  // one plain file: its size is shown already
    m_job.reset(new FolderCountJob(std::move(folders), counted));
    // The count runs beside the window so a huge folder never freezes it.
    connect(m_job.get(), &core::Job::finished, this, &TfrmProperties::showCount, Qt::QueuedConnection);
    m_job->start();
    connect(m_timer, &QTimer::timeout, this, &TfrmProperties::showCount);
    m_timer->start(200);
    showCount();
}

// Closing lets go of the count (JobPtr): it stops at its next step and never holds up the window.
TfrmProperties::~TfrmProperties() = default;

bool TfrmProperties::CountDone() const
{
    return !m_job || !m_job->isRunning();
}

void TfrmProperties::showCount()
{
    const bool done = CountDone();
    const core::WalkProgress count = m_job->Count();
    const QString more = done ? QString() : QString::fromUtf8(shelltexts::StillCounting);
    lblSize->setText(sizeText(count.bytes) + more);
    if (lblContains)
        lblContains->setText(QString::fromUtf8(shelltexts::ContainsCount)
                                 .arg(countText(count.files, shelltexts::OneFile, shelltexts::ManyFiles),
                                      countText(count.folders, shelltexts::OneFolder, shelltexts::ManyFolders))
                             + more);
    if (done)
        m_timer->stop();
}

} // namespace corvane::app
