#pragma once
// The Options dialog: grid lines, folders left out of the lists, the preview size limit, the
// listing font and the preview font.
#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QFont>

class QCheckBox;
class QFontDialog;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace corvane::explorer {

// A font dialog that also offers the colour (the platform's picker has no colour of its own).
class TFontDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TFontDialog(QWidget* parent = nullptr);

    QFont Font;
    QColor Color = Qt::black;
    // Shows the dialog from Font and Color; true (with both updated) when confirmed.
    bool Execute();

    QFontDialog* FontPicker;
    QPushButton* cmdColor;

private:
    void showColor();
    QColor m_pending;
};

class TfrmOptions : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmOptions(QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QCheckBox* chkGridLines;
    QCheckBox* chkExcludeFolders;
    QLabel* Label2;
    QSpinBox* txtMaxPreview;
    QGroupBox* Group1;
    QLabel* Label1;
    QLabel* lblExpFont;
    QPushButton* cmdChildFont;
    QLabel* Label3;
    QLabel* lblPrevFont;
    QPushButton* cmdPrevFont;
    QPushButton* cmdSave;
    QPushButton* cmdCancel;
    TFontDialog* FontDialog1;

    void FormActivate();
    void cmdChildFontClick();
    void cmdPrevFontClick();
    void cmdSaveClick();
    void cmdCancelClick();

    // "Name, 10 points".
    static QString FontCaption(const QFont& font);
    // The preview font as stored in the settings; the default one when no name is stored.
    static QFont StoredPreviewFont(QColor& color);
    // Colours as the settings keep them: 0x00BBGGRR.
    static int ColorValue(const QColor& color);
    static QColor ColorFromValue(int value);

protected:
    void showEvent(QShowEvent* e) override;

private:
    static void setLabelFont(QLabel* label, const QFont& font, const QColor& color);
    static QColor labelColor(const QLabel* label);
    bool m_excludeFoldersAtOpen = false;
};

extern QPointer<TfrmOptions> frmOptions;

} // namespace corvane::explorer
