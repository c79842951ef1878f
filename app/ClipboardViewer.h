#pragma once
// A small window that shows what the clipboard holds: its formats and its text or picture,
// updated whenever the clipboard changes.
#include <QWidget>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QScrollArea;
class QSplitter;
class QStackedWidget;

namespace corvane::app {

class TfrmClipboardViewer : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmClipboardViewer(QWidget* parent = nullptr);

    QLabel* lblFormats;
    QListWidget* lstFormats;
    QStackedWidget* pnlView;
    QLabel* lblMessage;
    QPlainTextEdit* txtText;
    QScrollArea* scrPicture;
    QLabel* imgPicture;
    QLabel* lblInfo;

    // Reads the clipboard again.
    void ClipboardChanged();
    // Shows the contents in one of the clipboard's formats.
    void ShowFormat(const QString& mimeType);

private:
    QSplitter* m_splitter;
};

} // namespace corvane::app
