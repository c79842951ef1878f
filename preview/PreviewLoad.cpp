#include "PreviewLoad.h"

#include "app/Utility.h"
#include "core/NameCodec.h"
#include "core/UniqueFd.h"
#include "preview/engine/PeVersion.h"
#include "preview/engine/RtfReader.h"
#include "preview/engine/TextView.h"
#include "zip/engine/ZipComponent.h"

#include <QCoreApplication>
#include <QPdfDocument>
#include <QTextDocument>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>

#include <optional>

namespace corvane::preview {

TPreviewKind PreviewKindOf(const QString& path, qint64 size, qint64 limit)
{
    const bool below = size < limit;
    const QString ext = app::FileExtension(path);
    auto in = [&path](const char* list) { return app::ExtensionInList(path, QString::fromLatin1(list)); };
    if (in(app::GraphicExtensions))
        return TPreviewKind::Picture;
    if (below && in(TextExtensions))
        return TPreviewKind::Text;
    if (below && in(WebExtensions))
        return TPreviewKind::Web;
    if (below && in(DocumentExtensions))
        return TPreviewKind::Document;
    if (below && ext == QLatin1String(".WPD"))
        return TPreviewKind::WordPerfect;
    if (in(SpreadsheetExtensions))
        return TPreviewKind::Spreadsheet;
    if (ext == QLatin1String(".ZIP"))
        return TPreviewKind::Zip;
    if (ext == QLatin1String(".PDF"))
        return TPreviewKind::Pdf;
    if (in(ProgramExtensions))
        return TPreviewKind::Program;
    if (in(MediaExtensions))
        return TPreviewKind::Media;
    if (below)
        return TPreviewKind::Filtered;
    return TPreviewKind::None;
}

void TextDocumentDeleter::operator()(QTextDocument* document) const
{
    // A released load may end on its worker after the document moved to the user-interface thread.
    if (document)
        document->deleteLater();
}

void PdfDocumentDeleter::operator()(QPdfDocument* document) const
{
    if (document)
        document->deleteLater();
}

namespace {

// Opens a regular file without blocking: a FIFO or a device named like a text or a picture
// is never opened, since opening some of them waits or has effects of its own.
core::UniqueFd openRegular(const QString& path, struct stat& st)
{
    const QByteArray raw = core::EncodeName(path);
    if (::stat(raw.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    core::UniqueFd fd(::open(raw.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    // Replaced by something else between the two calls.
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return fd;
}

// The whole file when it is a regular file smaller than `limit` bytes.
std::optional<QByteArray> readSmallFile(const QString& path, qint64 limit, const std::atomic<bool>& cancel)
{
    struct stat st {};
    core::UniqueFd fd = openRegular(path, st);
    if (!fd || st.st_size >= limit)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(qsizetype(st.st_size));
    constexpr qsizetype kChunk = 1 << 20;
    for (;;) {
        if (cancel.load(std::memory_order_relaxed))
            return std::nullopt;
        const qsizetype at = bytes.size();
        bytes.resize(at + kChunk);
        const ssize_t n = ::read(fd.get(), bytes.data() + at, size_t(kChunk));
        if (n < 0) {
            if (errno == EINTR) {
                bytes.resize(at);
                continue;
            }
            return std::nullopt;
        }
        bytes.resize(at + n);
        if (n == 0)
            break;
        if (bytes.size() >= limit)
            return std::nullopt;
    }
    return bytes;
}

} // namespace

TPreviewLoad::TPreviewLoad(TPreviewRequest request) : m_request(std::move(request)) {}

TPreviewLoad::~TPreviewLoad() = default;

TPreviewResult TPreviewLoad::takeResult()
{
    std::lock_guard lock(resultMutex());
    return std::move(m_result);
}

void TPreviewLoad::execute()
{
    if (m_request.kind == TPreviewKind::Picture)
        loadPicture();
    else if (m_request.kind == TPreviewKind::Zip)
        loadZip();
    else if (m_request.kind == TPreviewKind::Document || m_request.kind == TPreviewKind::WordPerfect)
        loadDocument();
    else if (m_request.kind == TPreviewKind::Spreadsheet)
        loadSheet();
    else if (m_request.kind == TPreviewKind::Pdf)
        loadPdf();
    else if (m_request.kind == TPreviewKind::Web || m_request.kind == TPreviewKind::Media)
        checkRegular();
    else
        loadText();
}

void TPreviewLoad::loadText()
{
    auto document = TextDocumentPtr(new QTextDocument);
    document->setDefaultFont(m_request.font);
    document->setUndoRedoEnabled(false);
    if (m_request.kind == TPreviewKind::Program) {
        // Whatever fails here shows an empty text. The version reader reads the very file that
        // was checked, through its descriptor.
        struct stat st {};
        core::UniqueFd fd = openRegular(m_request.path, st);
        if (fd)
            document->setPlainText(GetVersionText(QStringLiteral("/proc/self/fd/%1").arg(fd.get())));
    } else {
        std::optional<QByteArray> bytes = readSmallFile(m_request.path, m_request.limit, cancelFlag());
        if (!bytes)
            return;
        if (m_request.kind == TPreviewKind::Filtered)
            document->setPlainText(FilteredText(*bytes));
        else if (IsRtf(*bytes))
            ReadRtf(*bytes, *document);
        else
            document->setPlainText(DecodePlainText(*bytes));
    }
    publishDocument(std::move(document));
}

void TPreviewLoad::publishDocument(TextDocumentPtr document)
{
    if (isCancelled())
        return;
    document->moveToThread(QCoreApplication::instance()->thread());
    std::lock_guard lock(resultMutex());
    m_result.document = std::move(document);
    m_result.ok = true;
}

void TPreviewLoad::loadPicture()
{
    struct stat st {};
    if (!openRegular(m_request.path, st))
        return;
    const std::atomic<bool>* cancel = &cancelFlag();
    imaging::Picture picture;
    if (m_request.detail.isValid()) {
        picture = imaging::LoadPicture(m_request.path, m_request.detail, cancel);
    } else if (m_request.zoom == 0) {
        picture = imaging::LoadPicture(m_request.path, m_request.viewSize, cancel);
    } else if (m_request.zoom >= 100) {
        picture = imaging::LoadPicture(m_request.path, {}, cancel);
    } else {
        // The true size comes with a small decode; a larger one follows when the zoom needs it.
        picture = imaging::LoadPicture(m_request.path, m_request.viewSize, cancel);
        const QSize shown = picture.size * m_request.zoom / 100;
        if (!picture.isNull() && (picture.image.width() < shown.width() || picture.image.height() < shown.height()))
            picture = imaging::LoadPicture(m_request.path, shown, cancel);
    }
    if (picture.isNull() || isCancelled())
        return;
    std::lock_guard lock(resultMutex());
    m_result.picture = std::move(picture);
    m_result.ok = true;
}

void TPreviewLoad::loadZip()
{
    // A file that cannot be listed shows the header alone, without a message.
    std::vector<zip::ZipDirEntry> entries;
    struct stat st {};
    if (openRegular(m_request.path, st)) {
        zip::TZipComponent zip;
        zip.Unattended = true;
        zip.SetZipFilename(m_request.path);
        entries = zip.DirEntries();
    }
    if (isCancelled())
        return;
    std::lock_guard lock(resultMutex());
    m_result.zipEntries = std::move(entries);
    m_result.ok = true;
}

void TPreviewLoad::loadSheet()
{
    // A file that cannot be read as a spreadsheet leaves the grid hidden.
    struct stat st {};
    const core::UniqueFd fd = openRegular(m_request.path, st);
    const std::optional<TSheetFormat> format = SheetFormatOf(m_request.path);
    if (!fd || !format)
        return;
    std::optional<TSheet> sheet = ReadSheetFile(fd.get(), *format, &cancelFlag());
    if (!sheet || isCancelled())
        return;
    std::lock_guard lock(resultMutex());
    m_result.sheet = std::move(*sheet);
    m_result.ok = true;
}

void TPreviewLoad::loadPdf()
{
    // The document is opened here, off the user-interface thread: reading the cross-references
    // of a large or damaged file takes its time.
    struct stat st {};
    const core::UniqueFd fd = openRegular(m_request.path, st);
    if (!fd)
        return;
    // Deleted here on every early return: this thread runs no event loop for a later deletion.
    auto document = std::make_unique<QPdfDocument>();
    if (document->load(QStringLiteral("/proc/self/fd/%1").arg(fd.get())) != QPdfDocument::Error::None
        || document->pageCount() <= 0)
        return;
    // The viewer lays out every page by its size; reading the sizes first is what takes long
    // (a third of a second for 5,000 pages), and they are kept for the viewer once read.
    for (int page = 0; page < document->pageCount(); ++page) {
        if (isCancelled())
            return;
        document->pagePointSize(page);
    }
    document->moveToThread(QCoreApplication::instance()->thread());
    std::lock_guard lock(resultMutex());
    m_result.pdf.reset(document.release());
    m_result.ok = true;
}

void TPreviewLoad::checkRegular()
{
    // Pages and media are read by engines of their own on the user-interface thread's behalf;
    // they get only a regular file that could be opened here, never a pipe or a dead volume.
    struct stat st {};
    const bool ok = bool(openRegular(m_request.path, st));
    std::lock_guard lock(resultMutex());
    m_result.ok = ok && !isCancelled();
}

} // namespace corvane::preview
