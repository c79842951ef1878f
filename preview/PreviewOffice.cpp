// Word-processor documents: converted to rich text by the office on a worker, then shown by
// the text view in their own fonts.
#include "Preview.h"
#include "PreviewLoad.h"

#include "core/NameCodec.h"
#include "core/UniqueFd.h"
#include "preview/engine/OfficeConverter.h"
#include "preview/engine/RtfReader.h"

#include <QApplication>
#include <QLabel>
#include <QTextDocument>
#include <QTextEdit>

#include <fcntl.h>
#include <sys/stat.h>

namespace corvane::preview {

namespace {

// Rich text of a document with large pictures runs to many times its size; beyond this the
// conversion is not shown.
constexpr qint64 kConvertedLimit = qint64(256) << 20;

} // namespace

const std::shared_ptr<TOfficeConverter>& TfrmPreview::OfficeConverter()
{
    if (!m_office)
        m_office = std::make_shared<TOfficeConverter>();
    return m_office;
}

void TfrmPreview::startDocument(TPreviewRequest request)
{
    // Closing the window stops the office from here on, even when this conversion fails.
    WordStarted = true;
    request.office = OfficeConverter();
    request.convertedFile = PreviewTempFile;
    request.font = QApplication::font();
    lblConverting->show();
    startLoad(std::move(request));
}

void TfrmPreview::useDocumentFont()
{
    const QFont font = QApplication::font();
    RichEdit1->setFont(font);
    RichEdit1->document()->setDefaultFont(font);
    QPalette pal = RichEdit1->palette();
    pal.setColor(QPalette::Text, Qt::black);
    RichEdit1->setPalette(pal);
}

void TPreviewLoad::loadDocument()
{
    // Never a pipe or a device for the office to hang on, nor a file grown to the limit.
    struct stat st {};
    if (!m_request.office || m_request.convertedFile.isEmpty() ||
        ::stat(core::EncodeName(m_request.path).constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size >= m_request.limit)
        return;
    if (!m_request.office->Convert(m_request.path, m_request.convertedFile, cancelFlag()) || isCancelled())
        return;
    core::UniqueFd fd(::open(core::EncodeName(m_request.convertedFile).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size >= kConvertedLimit)
        return;
    QByteArray rtf(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < rtf.size()) {
        const ssize_t n = ::read(fd.get(), rtf.data() + done, size_t(rtf.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    rtf.truncate(done);
    if (!IsRtf(rtf) || isCancelled())
        return;
    auto document = TextDocumentPtr(new QTextDocument);
    document->setDefaultFont(m_request.font);
    document->setUndoRedoEnabled(false);
    ReadRtf(rtf, *document);
    publishDocument(std::move(document));
}

} // namespace corvane::preview
