#pragma once
// The thumbnails window: the pictures among the selected items of the current explorer window
// as a grid of captioned thumbnails, and the chosen one whole beside them.
#include <QDialog>
#include <QString>

#include <memory>

class QLabel;
class QPainter;
class QPushButton;
class QSpinBox;
class QSplitter;
class QStatusBar;
class QToolBar;

namespace corvane::imaging {
class TImageView;
class TThumbnailView;
}

namespace corvane::graphics {

class TfrmThumbnail : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmThumbnail(QWidget* parent = nullptr);
    ~TfrmThumbnail() override;

    QToolBar* ToolBar1;
    QSpinBox* spnHeight;
    QSpinBox* spnWidth;
    QPushButton* cmdSize;
    QStatusBar* Status1;
    QSplitter* Splitter1;
    imaging::TThumbnailView* ImageM1;
    imaging::TImageView* Image1;

    void FormActivate();
    void ImageM1ImageDraw(int idx, QPainter& canvas, int top, int left);
    void ImageM1ImageSelect(int idx);
    void Splitter1Change();
    void cmdSizeClick();

    // The caption of a thumbnail: the file name, cut from its end until it is narrower than `width`.
    static QString CaptionText(const QString& fileName, const QFontMetrics& metrics, int width);
    // Whether the files of the latest filling have all been looked at.
    bool Filled() const { return m_filled; }

signals:
    void FillDone();
    void PictureShown();

protected:
    bool event(QEvent* e) override;

private:
    void Append(int generation, const QStringList& paths, bool last);

    int m_generation = 0;
    bool m_filled = true;
    std::shared_ptr<std::atomic_bool> m_cancelFill;
};

extern TfrmThumbnail* frmThumbnail;

} // namespace corvane::graphics
