#include "ClipboardViewer.h"

#include "AppTexts.h"
#include "Utility.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace corvane::app {

namespace {

// A huge clipboard text is shown in part: the viewer must never freeze on it.
constexpr qsizetype kMaxShownText = 1 << 20;

bool isTextFormat(const QString& mime)
{
    return mime.startsWith(QLatin1String("text/")) || mime == QLatin1String("x-special/gnome-copied-files")
           || mime == QLatin1String("application/x-kde-cutselection");
}

} // namespace

TfrmClipboardViewer::TfrmClipboardViewer(QWidget* parent)
    : QWidget(parent, Qt::Window), lblFormats(new QLabel(QString::fromLatin1(texts::ClipboardFormats))),
      lstFormats(new QListWidget), pnlView(new QStackedWidget), lblMessage(new QLabel), txtText(new QPlainTextEdit),
      scrPicture(new QScrollArea), imgPicture(new QLabel), lblInfo(new QLabel), m_splitter(new QSplitter(Qt::Horizontal, this))
{
    setObjectName(QStringLiteral("frmClipboardViewer"));
    setWindowTitle(QString::fromLatin1(texts::ClipboardViewerCaption));
    resize(Scaled(560), Scaled(360));
    lblMessage->setAlignment(Qt::AlignCenter);
    txtText->setReadOnly(true);
    txtText->setLineWrapMode(QPlainTextEdit::NoWrap);
    scrPicture->setWidget(imgPicture);
    scrPicture->setAlignment(Qt::AlignCenter);
    pnlView->addWidget(lblMessage);
    pnlView->addWidget(txtText);
    pnlView->addWidget(scrPicture);

    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(lblFormats);
    leftLayout->addWidget(lstFormats);
    lblFormats->setBuddy(lstFormats);
    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(lblInfo);
    rightLayout->addWidget(pnlView, 1);
    m_splitter->addWidget(left);
    m_splitter->addWidget(right);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({Scaled(180), Scaled(380)});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_splitter);

    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TfrmClipboardViewer::ClipboardChanged);
    connect(lstFormats, &QListWidget::currentTextChanged, this, &TfrmClipboardViewer::ShowFormat);
    ClipboardChanged();
}

void TfrmClipboardViewer::ClipboardChanged()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    const QStringList formats = data ? data->formats() : QStringList();
    {
        const QSignalBlocker block(lstFormats);
        lstFormats->clear();
        lstFormats->addItems(formats);
    }
    if (formats.isEmpty()) {
        lblInfo->clear();
        lblMessage->setText(QString::fromLatin1(texts::ClipboardEmpty));
        pnlView->setCurrentWidget(lblMessage);
        return;
    }
    // A picture first, then plain text, then whatever comes first.
    QString pick = formats.first();
    if (data->hasImage()) {
        for (const QString& f : formats) {
            if (f.startsWith(QLatin1String("image/"))) {
                pick = f;
                break;
            }
        }
    } else if (data->hasText()) {
        pick = QStringLiteral("text/plain");
        if (!formats.contains(pick)) {
            for (const QString& f : formats) {
                if (f.startsWith(QLatin1String("text/plain"))) {
                    pick = f;
                    break;
                }
            }
        }
    }
    const QList<QListWidgetItem*> found = lstFormats->findItems(pick, Qt::MatchExactly);
    if (!found.isEmpty())
        lstFormats->setCurrentItem(found.first());
    else
        ShowFormat(pick);
}

void TfrmClipboardViewer::ShowFormat(const QString& mimeType)
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || mimeType.isEmpty())
        return;
    lblInfo->setText(mimeType);
    if (mimeType.startsWith(QLatin1String("image/")) || mimeType == QLatin1String("application/x-qt-image")) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        if (!image.isNull()) {
            imgPicture->setPixmap(QPixmap::fromImage(image));
            imgPicture->adjustSize();
            lblInfo->setText(mimeType + QStringLiteral(" \u2014 ")
                             + QString::fromLatin1(texts::ClipboardPicture).arg(image.width()).arg(image.height()));
            pnlView->setCurrentWidget(scrPicture);
            return;
        }
    }
    if (isTextFormat(mimeType)) {
        QString text = mimeType.startsWith(QLatin1String("text/plain")) ? data->text() : QString::fromUtf8(data->data(mimeType));
        if (text.size() > kMaxShownText)
            text.truncate(kMaxShownText);
        txtText->setPlainText(text);
        pnlView->setCurrentWidget(txtText);
        return;
    }
    lblMessage->setText(QString::fromLatin1(texts::ClipboardNoPreview));
    pnlView->setCurrentWidget(lblMessage);
}

} // namespace corvane::app
