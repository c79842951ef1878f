#include "Thumbnail.h"

#include "GraphicsTexts.h"
#include "app/Globals.h"
#include "app/Utility.h"
#include "imaging/Picture.h"
#include "imaging/Recognize.h"
#include "imaging/view/ImageView.h"
#include "imaging/view/ThumbnailView.h"
#include "shellctl/ShellList.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <thread>

namespace corvane::graphics {

using app::Scaled;

TfrmThumbnail* frmThumbnail = nullptr;

TfrmThumbnail::TfrmThumbnail(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmThumbnail"));
    setWindowTitle(QString::fromLatin1(texts::ThumbnailCaption));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);
    resize(Scaled(750), Scaled(510));

    ToolBar1 = new QToolBar(this);
    ToolBar1->setMovable(false);
    ToolBar1->setStyleSheet(QStringLiteral("QToolBar { border-top: 1px solid palette(light); border-bottom: 1px solid palette(mid); }"));
    ToolBar1->addWidget(new QLabel(QString::fromLatin1(texts::ThumbnailSize), ToolBar1));
    auto spin = [this] {
        auto* s = new QSpinBox(ToolBar1);
        s->setRange(50, 200);
        s->setSingleStep(10);
        s->setValue(100);
        return s;
    };
    spnHeight = spin();
    ToolBar1->addWidget(spnHeight);
    ToolBar1->addWidget(new QLabel(QString::fromLatin1(texts::ThumbnailWidth), ToolBar1));
    spnWidth = spin();
    ToolBar1->addWidget(spnWidth);
    ToolBar1->addSeparator();
    cmdSize = new QPushButton(QString::fromLatin1(texts::Ok), ToolBar1);
    ToolBar1->addWidget(cmdSize);

    Status1 = new QStatusBar(this);
    Status1->setSizeGripEnabled(false);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    ImageM1 = new imaging::TThumbnailView(Splitter1);
    ImageM1->SetThumbnailSize(100, 100);
    ImageM1->SetCaptionGap(20);
    ImageM1->SetSelectionColor(Qt::red);
    Image1 = new imaging::TImageView(Splitter1);
    Splitter1->addWidget(ImageM1);
    Splitter1->addWidget(Image1);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setSizes({Scaled(470), Scaled(750) - Scaled(470)});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(Status1);
    layout->addWidget(Splitter1, 1);

    ImageM1->OnImageDraw = [this](int idx, QPainter& canvas, int top, int left) { ImageM1ImageDraw(idx, canvas, top, left); };
    ImageM1->OnImageSelect = [this](int idx) { ImageM1ImageSelect(idx); };
    connect(Splitter1, &QSplitter::splitterMoved, this, [this] { Splitter1Change(); });
    connect(cmdSize, &QPushButton::clicked, this, &TfrmThumbnail::cmdSizeClick);
}

TfrmThumbnail::~TfrmThumbnail()
{
    if (m_cancelFill)
        *m_cancelFill = true;
    if (frmThumbnail == this)
        frmThumbnail = nullptr;
}

bool TfrmThumbnail::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(e);
}

void TfrmThumbnail::FormActivate()
{
    ImageM1->Clear();
    ++m_generation;
    if (m_cancelFill)
        *m_cancelFill = true;
    QStringList paths;
    if (app::CurShellList)
        for (shellctl::TShListData* data : app::CurShellList->SelectedItems())
            if (!data->IsFolder())
                paths << data->Path();
    m_filled = paths.isEmpty();
    if (m_filled) {
        emit FillDone();
        return;
    }
    // Recognising means reading every file's first bytes: that happens on a worker, and the
    // cells come in list order as the files are recognised.
    auto cancel = std::make_shared<std::atomic_bool>(false);
    m_cancelFill = cancel;
    QPointer<TfrmThumbnail> self(this);
    const int generation = m_generation;
    std::thread([self, generation, paths, cancel] {
        QStringList batch;
        auto post = [&](bool last) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, generation, batch, last] {
                    if (self)
                        self->Append(generation, batch, last);
                },
                Qt::QueuedConnection);
            batch.clear();
        };
        for (qsizetype i = 0; i < paths.size() && !*cancel; ++i) {
            if (imaging::IsPictureFile(paths[i]))
                batch << paths[i];
            if (batch.size() >= 32)
                post(false);
        }
        post(true);
    }).detach();
}

void TfrmThumbnail::Append(int generation, const QStringList& paths, bool last)
{
    if (generation != m_generation)
        return;
    for (const QString& path : paths)
        ImageM1->Add(path);
    if (last) {
        m_filled = true;
        emit FillDone();
    }
}

QString TfrmThumbnail::CaptionText(const QString& fileName, const QFontMetrics& metrics, int width)
{
    QString text = fileName;
    while (!text.isEmpty() && metrics.horizontalAdvance(text) >= width)
        text.chop(1);
    return text;
}

void TfrmThumbnail::ImageM1ImageDraw(int idx, QPainter& canvas, int top, int left)
{
    QFont font(QString::fromLatin1(texts::CaptionFont));
    font.setPointSize(8);
    canvas.setFont(font);
    canvas.setPen(Qt::black);
    canvas.setBackground(Qt::white);
    canvas.setBackgroundMode(Qt::OpaqueMode);
    const QString path = ImageM1->Path(idx);
    const QFontMetrics metrics(font, canvas.device());
    const int w = ImageM1->ThumbnailWidth();
    const QString text = CaptionText(path.mid(path.lastIndexOf(u'/') + 1), metrics, w);
    const int x = left + w / 2 - metrics.horizontalAdvance(text) / 2;
    // The text's top edge, as the caption rule places it.
    const int y = top + ImageM1->ThumbnailHeight() - 22;
    canvas.drawText(QPoint(x, y + metrics.ascent()), text);
}

struct ShownPicture {
    imaging::Picture picture;
};

void TfrmThumbnail::ImageM1ImageSelect(int idx)
{
    const QString path = ImageM1->Path(idx);
    Status1->showMessage(u' ' + path.mid(path.lastIndexOf(u'/') + 1));
    QPointer<TfrmThumbnail> self(this);
    const int generation = m_generation;
    const int selected = idx;
    // The whole picture is read on a worker; a picture that cannot be read leaves Image1 as it was.
    std::thread([self, generation, selected, path] {
        auto shown = std::make_shared<ShownPicture>();
        shown->picture = imaging::LoadPicture(path);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, selected, shown] {
                if (!self || generation != self->m_generation || self->ImageM1->Selected() != selected)
                    return;
                if (!shown->picture.isNull()) {
                    self->Image1->SetPicture(std::move(shown->picture));
                    self->Image1->Fit();
                }
                emit self->PictureShown();
            },
            Qt::QueuedConnection);
    }).detach();
}

void TfrmThumbnail::Splitter1Change()
{
    Image1->Fit();
}

void TfrmThumbnail::cmdSizeClick()
{
    ImageM1->SetThumbnailSize(spnWidth->value(), spnHeight->value());
}

} // namespace corvane::graphics
