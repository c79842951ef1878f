#pragma once
// Which viewer shows a file, and the loading of a file for its viewer on a worker: the
// user-interface thread never opens, reads or decodes a previewed file.
#include "core/Job.h"
#include "imaging/Picture.h"
#include "preview/engine/Sheet.h"
#include "zip/engine/ZipDirectory.h"

#include <QFont>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class QPdfDocument;
class QTextDocument;

namespace corvane::preview {

class TOfficeConverter;

inline constexpr const char* TextExtensions = ".RTF/.TXT/.BAT/.INI/.LOG/.BAS/.FRM/.CLS/.PAS/.DPR/.C/.CPP/.H/.BPR/.RC/";
inline constexpr const char* WebExtensions = ".HTM/.HTML/.XML/";
inline constexpr const char* ProgramExtensions = ".EXE/.DLL/.OCX/.DRV/.VXD/.SYS/.BPL/.DPL/";
inline constexpr const char* MediaExtensions = ".WAV/.MP2/.MP3/.MPG/.MPEG/.MID/.MIDI/.AVI/";
// Word-processor documents: Word's own, and beyond it Word's newer format and OpenDocument text.
inline constexpr const char* DocumentExtensions = ".DOC/.DOCX/.ODT/";
// Spreadsheets: .XLS, and beyond it the newer workbooks of office suites.
inline constexpr const char* SpreadsheetExtensions = ".XLS/.XLSX/.ODS/";

// The rows of the dispatch, in their order; None when no row applies.
enum class TPreviewKind {
    None,
    Picture,
    Text,
    Web,
    Document,
    WordPerfect,
    Spreadsheet,
    Zip,
    Pdf,
    Program,
    Media,
    Filtered,
};

// The first row that applies to a file of `size` bytes; below the limit means size < limit.
TPreviewKind PreviewKindOf(const QString& path, qint64 size, qint64 limit);

struct TPreviewRequest {
    QString path;
    TPreviewKind kind = TPreviewKind::None;
    // Text rows: a file that has grown to the limit since it was listed is not read.
    qint64 limit = 0;
    // The font of text without a font of its own.
    QFont font;
    // Pictures: the view's size, and the zoom they will be shown at (0 for Fit).
    QSize viewSize;
    int zoom = 0;
    // Pictures shown again in more detail: decode at least this size.
    QSize detail;
    // Documents: the office that converts them to rich text, and the file it writes.
    std::shared_ptr<TOfficeConverter> office;
    QString convertedFile;
};

struct TextDocumentDeleter {
    void operator()(QTextDocument* document) const;
};
using TextDocumentPtr = std::unique_ptr<QTextDocument, TextDocumentDeleter>;

struct PdfDocumentDeleter {
    void operator()(QPdfDocument* document) const;
};
using PdfDocumentPtr = std::unique_ptr<QPdfDocument, PdfDocumentDeleter>;

struct TPreviewResult {
    bool ok = false;
    // Text rows: the document, already living on the user-interface thread.
    TextDocumentPtr document;
    imaging::Picture picture;
    // Zip listings: the entries in directory order (none when the file is no archive).
    std::vector<zip::ZipDirEntry> zipEntries;
    // Spreadsheets: the active sheet's cells.
    TSheet sheet;
    // PDF: the document, opened and living on the user-interface thread.
    PdfDocumentPtr pdf;
};

class TPreviewLoad : public core::Job
{
    Q_OBJECT
public:
    explicit TPreviewLoad(TPreviewRequest request);
    ~TPreviewLoad() override;

    const TPreviewRequest& request() const { return m_request; }
    // Once finished() came.
    TPreviewResult takeResult();

protected:
    void execute() override;

private:
    void loadText();
    void loadPicture();
    void loadZip();
    void loadDocument();
    // Hands a text document to the user-interface thread as the result, unless cancelled.
    void publishDocument(TextDocumentPtr document);
    void loadSheet();
    void loadPdf();
    void checkRegular();
    TPreviewRequest m_request;
    TPreviewResult m_result;
};

} // namespace corvane::preview
