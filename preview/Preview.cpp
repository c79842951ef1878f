#include "Preview.h"

#include "PreviewLoad.h"
#include "PreviewTexts.h"
#include "app/Utility.h"
#include "core/NameCodec.h"
#include "explorer/Options.h"
#include "imaging/view/ImageView.h"
#include "preview/engine/OfficeConverter.h"
#include "settings/PFormSettings.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

namespace corvane::preview {

qint64 PreviewSizeLimit = 1000 * 1024;

void ReadPreviewLimit()
{
    app::TMainFrame* frame = app::MainFrame();
    if (!frame)
        return;
    settings::TPSetting& kilobytes = frame->Settings().SettingByName(QStringLiteral("MaxPreviewSize"));
    if (kilobytes.AsInteger() == 0)
        kilobytes.SetAsInteger(1000);
    PreviewSizeLimit = qint64(kilobytes.AsInteger()) * 1024;
}

QString PreviewTempFilePath()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        return {};
    const QString folder = app::JoinPath(base, QString::fromLatin1(texts::TempFolder));
    const QByteArray raw = core::EncodeName(folder);
    ::mkdir(raw.constData(), 0700);
    // Only a folder of this user's own that nobody else may write: never a link planted there.
    struct stat st {};
    if (::lstat(raw.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077))
        return {};
    return app::JoinPath(folder, QString::fromLatin1(texts::TempFileName));
}

int OpenPreviewTempFile()
{
    const QString path = PreviewTempFilePath();
    if (path.isEmpty())
        return -1;
    return ::open(core::EncodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
}

namespace {

QToolButton* textButton(const char* text, QToolBar* bar)
{
    auto* b = new QToolButton(bar);
    b->setText(QString::fromLatin1(text));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setAutoRaise(true);
    b->setFixedHeight(app::Scaled(24));
    bar->addWidget(b);
    return b;
}

QToolBar* flatBar(QWidget* parent)
{
    auto* bar = new QToolBar(parent);
    bar->setFixedHeight(app::Scaled(28));
    bar->setMovable(false);
    bar->setFloatable(false);
    return bar;
}

class TEnterKeyFilter : public QObject
{
public:
    TEnterKeyFilter(std::function<void()> onEnter, QObject* parent) : QObject(parent), m_onEnter(std::move(onEnter)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_onEnter();
                return true;
            }
        }
        return QObject::eventFilter(watched, e);
    }

private:
    std::function<void()> m_onEnter;
};

void addLabel(const char* text, QToolBar* bar)
{
    bar->addWidget(new QLabel(QString::fromLatin1(text), bar));
}

} // namespace

TfrmPreview::TfrmPreview(QWidget* parent)
    : QWidget(parent), RichEdit1(new QTextEdit(this)), Image1(new imaging::TImageView(this)), Grid1(new QTableWidget(this)),
      WebBrowser1(new TWebBrowser(this)), pnlMedia(new QFrame(this)), m_views(new QWidget(this))
{
    setObjectName(QStringLiteral("frmPreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromLatin1(texts::Caption));
    resize(app::Scaled(480), app::Scaled(400));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    createToolbars();

    RichEdit1->setReadOnly(true);
    RichEdit1->setUndoRedoEnabled(false);
    // Lines wrap at the window's width, as a rich-text box does; a wide table or picture still scrolls.
    RichEdit1->setLineWrapMode(QTextEdit::WidgetWidth);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Image1->setBackgroundRole(QPalette::Base);
    QPalette viewPalette = Image1->palette();
    viewPalette.setColor(QPalette::Base, Qt::white);
    Image1->setPalette(viewPalette);
    pnlMedia->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlMedia->setAutoFillBackground(true);
    pnlMedia->setPalette(white);
    connect(Image1, &imaging::TImageView::ImageChange, this, &TfrmPreview::Image1ImageChange);
    connect(Image1, &imaging::TImageView::DetailWanted, this, &TfrmPreview::Image1DetailWanted);

    auto* views = new QVBoxLayout(m_views);
    views->setContentsMargins(0, 0, 0, 0);
    views->setSpacing(0);
    for (QWidget* w : {static_cast<QWidget*>(RichEdit1), static_cast<QWidget*>(Image1), static_cast<QWidget*>(Grid1), static_cast<QWidget*>(WebBrowser1),
                       static_cast<QWidget*>(pnlMedia)}) {
        views->addWidget(w);
        w->hide();
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolBar* bar : {toolGraphics, toolText, toolZip, toolMedia}) {
        layout->addWidget(bar);
        bar->hide();
    }
    layout->addWidget(m_views, 1);
    lblConverting = new QLabel(QString::fromLatin1(texts::Converting), m_views);
    lblConverting->setAlignment(Qt::AlignCenter);
    views->addWidget(lblConverting);
    lblConverting->hide();

    PFormSettings1 = new settings::TPFormSettings(this);
    if (app::MainFrame())
        PFormSettings1->SetSoftwareName(app::MainFrame()->Settings().SoftwareName());
    PFormSettings1->SetSaveLocation(settings::pslRegistry);
    for (const char* part : {"Charset", "Color", "Height", "Name", "Pitch", "Size", "Style"})
        PFormSettings1->AddSetting({}, QStringLiteral("frmPreview.Font.") + QLatin1String(part));

    cboZoom->setCurrentIndex(0);
    PreviewTempFile = PreviewTempFilePath();
    ApplyPreviewFont();
    ReadPreviewLimit();
}

TfrmPreview::~TfrmPreview()
{
    if (WordStarted && m_office)
        m_office->Quit();
}

void TfrmPreview::createToolbars()
{
    toolGraphics = flatBar(this);
    addLabel(texts::ZoomLabel, toolGraphics);
    cboZoom = new QComboBox(toolGraphics);
    for (const char* entry : texts::ZoomEntries)
        cboZoom->addItem(QString::fromLatin1(entry));
    toolGraphics->addWidget(cboZoom);
    toolGraphics->addSeparator();
    pnlImageSize = new QLabel(toolGraphics);
    pnlImageSize->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlImageSize->setMinimumWidth(app::Scaled(130));
    toolGraphics->addWidget(pnlImageSize);
    toolGraphics->addSeparator();
    addLabel(texts::PrintWidthLabel, toolGraphics);
    spinWidth = new QDoubleSpinBox(toolGraphics);
    spinWidth->setRange(1, 10);
    spinWidth->setSingleStep(0.5);
    spinWidth->setDecimals(1);
    spinWidth->setValue(3);
    spinWidth->setMinimumWidth(app::Scaled(64));
    toolGraphics->addWidget(spinWidth);
    toolGraphics->addSeparator();
    cmdGraphicPrint = textButton(texts::GraphicPrint, toolGraphics);
    toolGraphics->addSeparator();
    cmdConvert = textButton(texts::Convert, toolGraphics);
    connect(cmdConvert, &QToolButton::clicked, this, &TfrmPreview::cmdConvertClick);
    connect(cboZoom, &QComboBox::activated, this, &TfrmPreview::cboZoomClick);
    connect(cmdGraphicPrint, &QToolButton::clicked, this, &TfrmPreview::cmdGraphicPrintClick);

    toolText = flatBar(this);
    addLabel(texts::FindLabel, toolText);
    cboFind = new QComboBox(toolText);
    cboFind->setEditable(true);
    // The history is kept by cmdFindClick's own rule, not by the box.
    cboFind->setInsertPolicy(QComboBox::NoInsert);
    cboFind->setFixedWidth(app::Scaled(270));
    toolText->addWidget(cboFind);
    toolText->addSeparator();
    Button1 = textButton(texts::FindButton, toolText);
    toolText->addSeparator();
    cmdTextPrint = textButton(texts::TextPrint, toolText);
    connect(Button1, &QToolButton::clicked, this, &TfrmPreview::cmdFindClick);
    // Enter is taken before the box sees it: an editable combo box hands the key back to its line
    // edit once more, which would search twice.
    cboFind->lineEdit()->installEventFilter(new TEnterKeyFilter([this] { cmdFindClick(); }, cboFind));
    connect(cboFind, &QComboBox::editTextChanged, this, [this] { FindTextChanged = true; });
    connect(cmdTextPrint, &QToolButton::clicked, this, &TfrmPreview::cmdTextPrintClick);

    toolZip = flatBar(this);
    cmdPrintZip = textButton(texts::PrintZip, toolZip);
    toolZip->addSeparator();
    cmdUnzip = textButton(texts::Unzip, toolZip);
    connect(cmdPrintZip, &QToolButton::clicked, this, &TfrmPreview::cmdPrintZipClick);
    connect(cmdUnzip, &QToolButton::clicked, this, &TfrmPreview::cmdUnzipClick);

    toolMedia = flatBar(this);
    addLabel(texts::MediaLabel, toolMedia);
    Player1 = new TMediaPlayer(pnlMedia, toolMedia);
    toolMedia->addWidget(Player1);
}

void TfrmPreview::PreviewFile(const QString& path, bool isFolder, qint64 size)
{
    setUpdatesEnabled(false);
    ClearPreview();
    if (!isFolder) {
        CurrentFile = path;
        setWindowTitle(QString::fromLatin1(texts::CaptionWithFile) + path);
        TPreviewRequest request;
        request.path = path;
        request.kind = PreviewKindOf(path, size, PreviewSizeLimit);
        request.limit = PreviewSizeLimit;
        switch (request.kind) {
        case TPreviewKind::Picture:
            // A picture that cannot be read leaves its empty view and toolbar in sight.
            Image1->Clear();
            Image1->show();
            toolGraphics->show();
            request.zoom = selectedZoom();
            request.viewSize = viewSize();
            startLoad(std::move(request));
            break;
        case TPreviewKind::Text:
        case TPreviewKind::Program:
        case TPreviewKind::Filtered:
            request.font = RichEdit1->font();
            startLoad(std::move(request));
            break;
        case TPreviewKind::Zip:
        case TPreviewKind::Spreadsheet:
            startLoad(std::move(request));
            break;
        case TPreviewKind::Pdf:
            pdfView();
            startLoad(std::move(request));
            break;
        case TPreviewKind::Document:
        case TPreviewKind::WordPerfect:
            startDocument(std::move(request));
            break;
        case TPreviewKind::Web:
            startLoad(std::move(request));
            break;
        case TPreviewKind::Media:
            // A file that cannot be played leaves the bar and the panel in sight.
            pnlMedia->show();
            toolMedia->show();
            startLoad(std::move(request));
            break;
        default:
            break;
        }
    }
    setUpdatesEnabled(true);
}

void TfrmPreview::ClearPreview()
{
    // A load still running belongs to what was shown before.
    cancelLoad();
    setWindowTitle(QString::fromLatin1(texts::Caption));
    for (QWidget* w : {static_cast<QWidget*>(Image1), static_cast<QWidget*>(Grid1), static_cast<QWidget*>(RichEdit1),
                       static_cast<QWidget*>(pnlMedia), static_cast<QWidget*>(WebBrowser1), static_cast<QWidget*>(toolGraphics),
                       static_cast<QWidget*>(toolText), static_cast<QWidget*>(toolZip), static_cast<QWidget*>(toolMedia)})
        w->hide();
    if (PdfViewer)
        PdfViewer->hide();
    lblConverting->hide();
    closePdf();
    WebBrowser1->Clear();
    Player1->Close();
}

void TfrmPreview::PreviewItemDeleted()
{
    cancelLoad();
    lblConverting->hide();
    for (QWidget* w : {static_cast<QWidget*>(Image1), static_cast<QWidget*>(RichEdit1), static_cast<QWidget*>(WebBrowser1), PdfViewer}) {
        if (w)
            w->hide();
    }
    // A page still loading would show itself once loaded.
    WebBrowser1->Clear();
    setWindowTitle(QString::fromLatin1(texts::Caption));
}

void TfrmPreview::ApplyPreviewFont()
{
    if (!app::MainFrame())
        return;
    QColor color;
    const QFont font = explorer::TfrmOptions::StoredPreviewFont(color);
    // The text view hands its font on to its document as the default for text without a font of its own.
    RichEdit1->setFont(font);
    QPalette pal = RichEdit1->palette();
    pal.setColor(QPalette::Text, color);
    RichEdit1->setPalette(pal);
    Grid1->setFont(font);
    Grid1->horizontalHeader()->setFont(font);
    Grid1->verticalHeader()->setFont(font);
}

void TfrmPreview::cancelLoad()
{
    m_sheetFill.reset();
    m_pending.reset();
    m_load.reset();
    ++m_generation;
}

void TfrmPreview::startLoad(TPreviewRequest request)
{
    cancelLoad();
    m_pending = std::make_unique<TPreviewRequest>(std::move(request));
    if (m_startQueued)
        return;
    m_startQueued = true;
    QMetaObject::invokeMethod(this, [this] {
        m_startQueued = false;
        startPending();
    }, Qt::QueuedConnection);
}

void TfrmPreview::startPending()
{
    if (!m_pending)
        return;
    const quint64 generation = m_generation;
    m_load.reset(new TPreviewLoad(std::move(*m_pending)));
    m_pending.reset();
    connect(m_load.get(), &core::Job::finished, this, [this, generation] { loadFinished(generation); }, Qt::QueuedConnection);
    m_load->start();
}

void TfrmPreview::loadFinished(quint64 generation)
{
    // A load replaced or cleared since it started has been let go of; its result is dropped.
    if (generation != m_generation || !m_load)
        return;
    const core::JobPtr<TPreviewLoad> load = std::move(m_load);
    TPreviewResult result = load->takeResult();
    const TPreviewKind kind = load->request().kind;
    lblConverting->hide();
    if (kind == TPreviewKind::Picture) {
        if (result.ok && load->request().detail.isValid()) {
            if (result.picture.size == Image1->picture().size)
                Image1->SetDetail(std::move(result.picture.image));
        } else if (result.ok) {
            const QSize size = result.picture.size;
            Image1->SetPicture(std::move(result.picture));
            pnlImageSize->setText(QString::fromLatin1(texts::ImageSize).arg(size.width()).arg(size.height()));
        }
    } else if (kind == TPreviewKind::Zip) {
        if (result.ok)
            ShowZipListing(result.zipEntries);
    } else if (kind == TPreviewKind::Spreadsheet) {
        if (result.ok)
            ShowSpreadsheet(std::move(result.sheet));
    } else if (kind == TPreviewKind::Pdf) {
        if (result.ok)
            ShowPdf(result.pdf.release());
    } else if (kind == TPreviewKind::Web) {
        if (result.ok)
            WebBrowser1->Navigate(load->request().path);
    } else if (kind == TPreviewKind::Media) {
        if (result.ok)
            Player1->Open(load->request().path);
    } else if (result.ok) {
        // The view deletes the document it made itself; those it was given are deleted here.
        QTextDocument* shown = RichEdit1->document();
        const bool given = shown->parent() == RichEdit1;
        QTextDocument* document = result.document.release();
        document->setParent(RichEdit1);
        RichEdit1->setDocument(document);
        if (given)
            delete shown;
        RichEdit1->show();
        if (kind == TPreviewKind::Document || kind == TPreviewKind::WordPerfect)
            useDocumentFont();
        else
            ApplyPreviewFont();
        toolText->show();
    }
    emit PreviewLoaded();
}

int TfrmPreview::selectedZoom() const
{
    return cboZoom->currentIndex() <= 0 ? 0 : cboZoom->currentText().toInt();
}

QSize TfrmPreview::viewSize() const
{
    const int frame = 2 * Image1->frameWidth();
    return (m_views->size() - QSize(frame, frame)).expandedTo(QSize(1, 1));
}

void TfrmPreview::cboZoomClick()
{
    Image1ImageChange();
}

void TfrmPreview::Image1ImageChange()
{
    const int zoom = selectedZoom();
    if (zoom == 0)
        Image1->Fit();
    else
        Image1->SetZoom(zoom);
}

void TfrmPreview::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (toolGraphics->isVisible() && selectedZoom() == 0)
        Image1->Fit();
}

void TfrmPreview::Image1DetailWanted(QSize need)
{
    // Only for the picture on show, not while another file is on its way; a finer decoding
    // asked for since replaces one still on its way.
    const bool fileOnItsWay = m_pending ? !m_pending->detail.isValid() : m_load && !m_load->request().detail.isValid();
    if (Image1->picture().isNull() || fileOnItsWay || !toolGraphics->isVisible() || CurrentFile.isEmpty())
        return;
    TPreviewRequest request;
    request.path = CurrentFile;
    request.kind = TPreviewKind::Picture;
    request.detail = need;
    startLoad(std::move(request));
}

void TfrmPreview::cmdFindClick()
{
    const QString text = cboFind->currentText();
    const QString newest = cboFind->count() > 0 ? cboFind->itemText(0) : QString();
    if (newest != text) {
        const bool changed = FindTextChanged;
        cboFind->insertItem(0, text);
        cboFind->setEditText(text);
        FindTextChanged = changed;
    }
    if (RichEdit1->isVisible()) {
        const QTextCursor selection = RichEdit1->textCursor();
        const QTextCursor found = RichEdit1->document()->find(text, selection.selectionEnd());
        if (!found.isNull()) {
            RichEdit1->setFocus();
            RichEdit1->setTextCursor(found);
        }
    } else if (Grid1->isVisible()) {
        findInGrid(text);
    }
}

bool TfrmPreview::findInGrid(const QString& text)
{
    if (FindTextChanged) {
        m_gridNext = 0;
        FindTextChanged = false;
    }
    const int rows = Grid1->rowCount();
    const qint64 cells = qint64(rows) * Grid1->columnCount();
    for (qint64 k = m_gridNext; k < cells; ++k) {
        const int row = int(k % rows);
        const int column = int(k / rows);
        const QTableWidgetItem* item = Grid1->item(row, column);
        if (item && item->text().contains(text, Qt::CaseInsensitive)) {
            Grid1->setCurrentCell(row, column);
            m_gridNext = k + 1;
            return true;
        }
    }
    Grid1->clearSelection();
    m_gridNext = 0;
    return false;
}

void TfrmPreview::cmdTextPrintClick()
{
    QPrintDialog dialog(&m_printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (RichEdit1->isVisible()) {
        m_printer.setDocName(QString());
        RichEdit1->document()->print(&m_printer);
    } else if (Grid1->isVisible()) {
        PrintGrid(m_printer, QString());
    }
}

void TfrmPreview::cmdConvertClick()
{
    app::ConvertGraphic(CurrentFile);
}

void TfrmPreview::cmdGraphicPrintClick()
{
    QPrintDialog dialog(&m_printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Image1->Print(m_printer, spinWidth->value());
}

} // namespace corvane::preview
