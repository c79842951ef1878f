// The preview's PDF viewer: made on first use, the pages one below the other at the window's width.
#include "Preview.h"

#include <QLayout>
#include <QPdfDocument>
#include <QPdfView>

namespace corvane::preview {

QPdfView* TfrmPreview::pdfView()
{
    if (!PdfViewer) {
        auto* view = new QPdfView(m_views);
        view->setObjectName(QStringLiteral("PdfViewer"));
        view->setPageMode(QPdfView::PageMode::MultiPage);
        view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
        view->hide();
        m_views->layout()->addWidget(view);
        PdfViewer = view;
    }
    return static_cast<QPdfView*>(PdfViewer);
}

void TfrmPreview::ShowPdf(QPdfDocument* document)
{
    QPdfView* view = pdfView();
    closePdf();
    // Owned by the window, not the view: a document deleted with the view's children would report
    // its closing to a view half torn down.
    document->setParent(this);
    view->setDocument(document);
    view->show();
}

void TfrmPreview::closePdf()
{
    if (!PdfViewer)
        return;
    auto* view = static_cast<QPdfView*>(PdfViewer);
    if (QPdfDocument* shown = view->document()) {
        view->setDocument(nullptr);
        delete shown;
    }
}

} // namespace corvane::preview
