#pragma once
// The preview window: shows the file selected in the current explorer window in the viewer
// its extension and size call for.
#include "app/Globals.h"
#include "core/Job.h"
#include "preview/PreviewMedia.h"
#include "preview/PreviewWeb.h"

#include <QPrinter>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QFrame;
class QLabel;
class QPdfDocument;
class QPdfView;
class QTableWidget;
class QTextEdit;
class QToolBar;
class QToolButton;

namespace corvane::imaging {
class TImageView;
}

namespace corvane::zip {
struct ZipDirEntry;
}

namespace corvane::settings {
class TPFormSettings;
}

namespace corvane::preview {

class TOfficeConverter;
class TPreviewLoad;
struct TPreviewRequest;
struct TSheet;
struct TSheetFill;

// Bytes; text-like files are previewed only below it. One value for the whole program, kept
// also while no preview window exists.
extern qint64 PreviewSizeLimit;
// Reads "MaxPreviewSize" (kilobytes; 0 is stored as 1000) into PreviewSizeLimit.
void ReadPreviewLimit();

// Where converted documents are written: a file in a folder of the user's own (the runtime
// folder, else the cache folder), made private when it does not exist yet.
QString PreviewTempFilePath();
// Opens it for writing from the start; never follows a link planted in its place. -1 on failure.
int OpenPreviewTempFile();

class TfrmPreview : public QWidget, public app::TPreviewHost
{
    Q_OBJECT
public:
    explicit TfrmPreview(QWidget* parent = nullptr);
    ~TfrmPreview() override;

    // The views, one above the other, each filling the window when shown.
    QTextEdit* RichEdit1;
    imaging::TImageView* Image1;
    QTableWidget* Grid1;
    TWebBrowser* WebBrowser1;
    QWidget* PdfViewer = nullptr;
    QFrame* pnlMedia;
    // Shown while a document is being converted.
    QLabel* lblConverting;

    QToolBar* toolGraphics;
    QComboBox* cboZoom;
    QLabel* pnlImageSize;
    QDoubleSpinBox* spinWidth;
    QToolButton* cmdGraphicPrint;
    QToolButton* cmdConvert;

    QToolBar* toolText;
    QComboBox* cboFind;
    QToolButton* Button1;
    QToolButton* cmdTextPrint;

    QToolBar* toolZip;
    QToolButton* cmdPrintZip;
    QToolButton* cmdUnzip;

    QToolBar* toolMedia;
    TMediaPlayer* Player1;

    settings::TPFormSettings* PFormSettings1;

    QString CurrentFile;
    QString GridMode;
    bool FindTextChanged = false;
    bool WordStarted = false;
    QString PreviewTempFile;

    void PreviewFile(const QString& path, bool isFolder, qint64 size) override;
    void ClearPreview() override;
    void PreviewItemDeleted() override;
    void ApplyPreviewFont() override;

    void cmdFindClick();
    void cmdTextPrintClick();
    void cmdGraphicPrintClick();
    void cmdConvertClick();
    // The zip listing: fills Grid1 in mode "Z" from the archive's entries.
    void ShowZipListing(const std::vector<zip::ZipDirEntry>& entries);
    // The spreadsheet: fills Grid1 in mode "S" with the sheet's cells under their column letters,
    // beside their row numbers.
    void ShowSpreadsheet(TSheet sheet);
    // Prints Grid1 with its header row (and its row numbers when shown) on every page, columns
    // that do not fit continuing on further pages; a title above it on the first page.
    void PrintGrid(QPrinter& printer, const QString& title);
    // Shows a PDF document opened by a load; the window keeps it while it is shown.
    void ShowPdf(QPdfDocument* document);
    void cmdPrintZipClick();
    void cmdUnzipClick();
    // Prints the listing with its title, without asking.
    void PrintZipList(QPrinter& printer);
    void cboZoomClick();
    void Image1ImageChange();
    // The zoom shows a reduced photo larger than its pixels: it is read again at `need`.
    void Image1DetailWanted(QSize need);

    // The office that converts documents, started on the first one; kept until the window closes.
    const std::shared_ptr<TOfficeConverter>& OfficeConverter();

    // The printer the Print buttons offer in their dialog.
    QPrinter& Printer() { return m_printer; }
    // Whether a file is still being read for the view (tests and the benchmark wait on it).
    bool Loading() const { return m_load || m_pending || m_sheetFill; }

signals:
    // A load ended and its result, if any, is on screen (or was dropped as too old).
    void PreviewLoaded();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void createToolbars();
    // Creates PdfViewer on first use, hidden.
    QPdfView* pdfView();
    // Lets go of the PDF on show: the file is not held open while something else is shown.
    void closePdf();
    // Loads start from the event loop: selecting many items at once starts one load, not one each.
    void startLoad(TPreviewRequest request);
    void startPending();
    void cancelLoad();
    void loadFinished(quint64 generation);
    int selectedZoom() const;
    QSize viewSize() const;
    bool findInGrid(const QString& text);
    void startDocument(TPreviewRequest request);
    // Converted documents keep their own fonts: the view's font and colour are the plain ones.
    void useDocumentFont();
    // Puts the next cells of a large sheet into the grid, a short time slice per event-loop pass;
    // true once all are in.
    bool fillSheetStep();

    QWidget* m_views;
    QPrinter m_printer;
    std::unique_ptr<TPreviewRequest> m_pending;
    bool m_startQueued = false;
    core::JobPtr<TPreviewLoad> m_load;
    // Every request gets the next number; a result of any other number is too old to show.
    quint64 m_generation = 0;
    // Where the next search of the grid goes on: cells counted column by column.
    qint64 m_gridNext = 0;
    std::shared_ptr<TOfficeConverter> m_office;
    // A sheet still going into the grid.
    std::shared_ptr<TSheetFill> m_sheetFill;
};

} // namespace corvane::preview
