#include "JobProgress.h"

#include "core/Text.h"

#include "JobTexts.h"
#include "core/Job.h"
#include "core/NameCodec.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace corvane::dialogs {

using core::Text;

namespace {

QString sizeText(qint64 bytes)
{
    return QLocale::system().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

constexpr int PollMs = 250;

} // namespace

TfrmJobProgress::TfrmJobProgress(core::Job& job, const QString& title, QWidget* parent)
    : QDialog(parent), m_job(job)
{
    setWindowTitle(title);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    lblFile = new QLabel(Text(texts::Counting), this);
    lblFile->setMinimumWidth(fontMetrics().averageCharWidth() * 64);
    lblFile->setTextFormat(Qt::PlainText);
    // Room for a file's name and its folder from the start: the window does not jump when they show.
    lblFile->setMinimumHeight(2 * lblFile->fontMetrics().lineSpacing());
    lblFile->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    prgBytes = new QProgressBar(this);
    prgBytes->setRange(0, 1000);
    lblBytes = new QLabel(this);
    auto* buttons = new QDialogButtonBox(this);
    cmdCancel = buttons->addButton(Text(texts::Cancel), QDialogButtonBox::RejectRole);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmJobProgress::reject);
    layout->addWidget(lblFile);
    layout->addWidget(prgBytes);
    layout->addWidget(lblBytes);
    layout->addWidget(buttons);
}

void TfrmJobProgress::UpdateProgress()
{
    const core::JobProgress p = m_job.progress();
    if (p.scanning) {
        lblFile->setText(Text(texts::Counting));
        prgBytes->setRange(0, 0);
        lblBytes->setText(Text(texts::ProgressItems).arg(p.doneItems).arg(p.totalItems));
        return;
    }
    prgBytes->setRange(0, 1000);
    if (!p.text.isEmpty())
        lblFile->setText(p.text);
    else if (!p.currentFile.isEmpty())
        lblFile->setText(core::ReadableName(core::BaseName(p.currentFile)) + QLatin1Char('\n')
                         + core::ReadableName(core::ParentOf(p.currentFile)));
    if (p.totalBytes > 0) {
        prgBytes->setValue(int(1000.0 * double(p.doneBytes) / double(p.totalBytes)));
        lblBytes->setText(Text(texts::ProgressBytes)
                              .arg(sizeText(p.doneBytes), sizeText(p.totalBytes), sizeText(qint64(p.bytesPerSecond))));
    } else {
        prgBytes->setValue(p.totalItems > 0 ? int(1000 * p.doneItems / p.totalItems) : 0);
        lblBytes->setText(Text(texts::ProgressItems).arg(p.doneItems).arg(p.totalItems));
    }
}

void TfrmJobProgress::Run(int showAfterMs)
{
    QEventLoop loop;
    connect(&m_job, &core::Job::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer poll;
    poll.setInterval(PollMs);
    QElapsedTimer since;
    since.start();
    connect(&poll, &QTimer::timeout, this, [&] {
        // A question of the job is on screen: the window must not cover it.
        QWidget* modal = QApplication::activeModalWidget();
        if (!isVisible() && since.elapsed() >= showAfterMs && (!modal || modal == parentWidget()))
            show();
        if (isVisible())
            UpdateProgress();
        if (OnUpdate)
            OnUpdate(m_job.progress());
    });
    if (!m_job.isRunning() && !m_job.isFinished())
        m_job.start();
    poll.start();
    if (!m_job.isFinished())
        loop.exec();
    poll.stop();
    hide();
}

void TfrmJobProgress::reject()
{
    // The window stays until the job has stopped; the job removes what it had half done.
    m_job.cancel();
}

} // namespace corvane::dialogs
