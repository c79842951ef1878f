#include "Options.h"

#include "Child.h"
#include "ExplorerTexts.h"
#include "app/Globals.h"
#include "app/Utility.h"
#include "preview/Preview.h"
#include "settings/PFormSettings.h"
#include "shellctl/ShellControls.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

namespace corvane::explorer {

QPointer<TfrmOptions> frmOptions;

namespace {

constexpr int kDefaultPreviewPoints = 8;

settings::TPSetting& setting(const char* name)
{
    return app::MainFrame()->Settings().SettingByName(QString::fromLatin1(name));
}

int pointsOf(const QFont& font)
{
    if (font.pointSizeF() > 0)
        return int(std::lround(font.pointSizeF()));
    // A font sized in pixels: its points at the screen's resolution.
    return int(std::lround(font.pixelSize() * 72.0 / app::Scaled(120)));
}

void setTextColor(QWidget* w, const QColor& color)
{
    // Disabled text keeps its own colour: hidden and cut items are drawn with it.
    QPalette pal = w->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::WindowText, color);
        pal.setColor(group, QPalette::Text, color);
    }
    w->setPalette(pal);
}

} // namespace

// --- TFontDialog ---

TFontDialog::TFontDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      FontPicker(new QFontDialog(this)), cmdColor(new QPushButton(QString::fromLatin1(texts::FontColor), this))
{
    setWindowTitle(QString::fromLatin1(texts::FontDialogCaption));
    FontPicker->setWindowFlags(Qt::Widget);
    FontPicker->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmdColor);
    bottom->addStretch(1);
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FontPicker);
    layout->addLayout(bottom);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(cmdColor, &QPushButton::clicked, this, [this] {
        const QColor c = QColorDialog::getColor(m_pending, this);
        if (c.isValid()) {
            m_pending = c;
            showColor();
        }
    });
}

void TFontDialog::showColor()
{
    QPixmap swatch(app::Scaled(16), app::Scaled(16));
    swatch.fill(m_pending);
    cmdColor->setIcon(QIcon(swatch));
}

bool TFontDialog::Execute()
{
    FontPicker->setCurrentFont(Font);
    m_pending = Color;
    showColor();
    if (exec() != QDialog::Accepted)
        return false;
    Font = FontPicker->currentFont();
    Color = m_pending;
    return true;
}

// --- TfrmOptions ---

TfrmOptions::TfrmOptions(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint),
      GroupBox1(new QGroupBox(QString::fromLatin1(texts::GeneralGroup), this)),
      chkGridLines(new QCheckBox(QString::fromLatin1(texts::GridLinesCheck), GroupBox1)),
      chkExcludeFolders(new QCheckBox(QString::fromLatin1(texts::ExcludeFoldersCheck), GroupBox1)),
      Label2(new QLabel(QString::fromLatin1(texts::MaxPreviewLabel), GroupBox1)), txtMaxPreview(new QSpinBox(GroupBox1)),
      Group1(new QGroupBox(QString::fromLatin1(texts::FontsGroup), this)),
      Label1(new QLabel(QString::fromLatin1(texts::ListingFontLabel), Group1)), lblExpFont(new QLabel(Group1)),
      cmdChildFont(new QPushButton(QString::fromLatin1(texts::Change), Group1)),
      Label3(new QLabel(QString::fromLatin1(texts::PreviewFontLabel), Group1)), lblPrevFont(new QLabel(Group1)),
      cmdPrevFont(new QPushButton(QString::fromLatin1(texts::Change), Group1)),
      cmdSave(new QPushButton(QString::fromLatin1(texts::Save), this)),
      cmdCancel(new QPushButton(QString::fromLatin1(texts::CancelAccel), this)), FontDialog1(new TFontDialog(this))
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QString::fromLatin1(texts::OptionsCaption));
    setModal(true);
    txtMaxPreview->setRange(100, 100000);
    txtMaxPreview->setSingleStep(100);
    txtMaxPreview->setValue(1000);
    // With a buddy the label shows "&&" as one ampersand.
    Label1->setBuddy(cmdChildFont);
    Label2->setBuddy(txtMaxPreview);
    Label3->setBuddy(cmdPrevFont);
    for (QLabel* l : {lblExpFont, lblPrevFont}) {
        l->setMinimumHeight(app::Scaled(28));
        l->setFrameShape(QFrame::StyledPanel);
    }

    auto* general = new QGridLayout(GroupBox1);
    general->addWidget(chkGridLines, 0, 0, 1, 2);
    general->addWidget(chkExcludeFolders, 1, 0, 1, 2);
    general->addWidget(Label2, 2, 0);
    general->addWidget(txtMaxPreview, 2, 1);

    auto* fonts = new QGridLayout(Group1);
    fonts->addWidget(Label1, 0, 0, 1, 2);
    fonts->addWidget(lblExpFont, 1, 0);
    fonts->addWidget(cmdChildFont, 1, 1);
    fonts->addWidget(Label3, 2, 0, 1, 2);
    fonts->addWidget(lblPrevFont, 3, 0);
    fonts->addWidget(cmdPrevFont, 3, 1);
    fonts->setColumnStretch(0, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(Group1);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setFixedSize(QSize(app::Scaled(331), app::Scaled(358)).expandedTo(sizeHint()));

    connect(cmdChildFont, &QPushButton::clicked, this, &TfrmOptions::cmdChildFontClick);
    connect(cmdPrevFont, &QPushButton::clicked, this, &TfrmOptions::cmdPrevFontClick);
    connect(cmdSave, &QPushButton::clicked, this, &TfrmOptions::cmdSaveClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmOptions::cmdCancelClick);
}

QString TfrmOptions::FontCaption(const QFont& font)
{
    return QString::fromLatin1(texts::FontCaption).arg(font.family()).arg(pointsOf(font));
}

int TfrmOptions::ColorValue(const QColor& color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

QColor TfrmOptions::ColorFromValue(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

QFont TfrmOptions::StoredPreviewFont(QColor& color)
{
    const QString name = setting("PreviewFontName").AsString();
    if (name.isEmpty()) {
        QFont f(QString::fromLatin1(texts::DefaultPreviewFont));
        f.setPointSize(kDefaultPreviewPoints);
        color = Qt::black;
        return f;
    }
    QFont f(name);
    const int size = setting("PreviewFontSize").AsInteger();
    f.setPointSize(size > 0 ? size : kDefaultPreviewPoints);
    f.setBold(setting("PreviewFontBold").AsBoolean());
    f.setItalic(setting("PreviewFontItalic").AsBoolean());
    color = ColorFromValue(setting("PreviewFontColor").AsInteger());
    return f;
}

void TfrmOptions::setLabelFont(QLabel* label, const QFont& font, const QColor& color)
{
    label->setFont(font);
    setTextColor(label, color);
    label->setText(FontCaption(font));
}

QColor TfrmOptions::labelColor(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

void TfrmOptions::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormActivate();
}

void TfrmOptions::FormActivate()
{
    QWidget* main = app::MainFrame()->Window();
    setLabelFont(lblExpFont, main->font(), main->palette().color(QPalette::WindowText));
    QColor previewColor;
    const QFont preview = StoredPreviewFont(previewColor);
    setLabelFont(lblPrevFont, preview, previewColor);
    chkGridLines->setChecked(setting("GridLines").AsBoolean());
    chkExcludeFolders->setChecked(setting("ExcludeFolders").AsBoolean());
    m_excludeFoldersAtOpen = chkExcludeFolders->isChecked();
    txtMaxPreview->setValue(setting("MaxPreviewSize").AsInteger());
}

void TfrmOptions::cmdChildFontClick()
{
    // The dialog starts from the listing font that the windows show now.
    QWidget* source = app::CurShellTree ? static_cast<QWidget*>(app::CurShellTree) : app::MainFrame()->Window();
    FontDialog1->Font = source->font();
    FontDialog1->Color = source->palette().color(QPalette::Text);
    if (FontDialog1->Execute())
        setLabelFont(lblExpFont, FontDialog1->Font, FontDialog1->Color);
}

void TfrmOptions::cmdPrevFontClick()
{
    // From the stored preview font, not from a choice still pending in the label.
    QColor color;
    FontDialog1->Font = StoredPreviewFont(color);
    FontDialog1->Color = color;
    if (FontDialog1->Execute())
        setLabelFont(lblPrevFont, FontDialog1->Font, FontDialog1->Color);
}

void TfrmOptions::cmdSaveClick()
{
    app::TMainFrame* frame = app::MainFrame();
    QWidget* main = frame->Window();
    main->setFont(lblExpFont->font());
    setTextColor(main, labelColor(lblExpFont));

    const QFont preview = lblPrevFont->font();
    setting("PreviewFontName").SetAsString(preview.family());
    setting("PreviewFontSize").SetAsInteger(pointsOf(preview));
    setting("PreviewFontColor").SetAsInteger(ColorValue(labelColor(lblPrevFont)));
    setting("PreviewFontBold").SetAsBoolean(preview.bold());
    setting("PreviewFontItalic").SetAsBoolean(preview.italic());
    if (app::TPreviewHost* preview = app::PreviewHost())
        preview->ApplyPreviewFont();

    const QColor listingColor = main->palette().color(QPalette::WindowText);
    for (TfrmChild* child : frame->Explorers()) {
        for (QWidget* w : std::initializer_list<QWidget*>{child->Tree1, child->List1, child->Combo1}) {
            w->setFont(main->font());
            setTextColor(w, listingColor);
        }
    }

    setting("GridLines").SetAsBoolean(chkGridLines->isChecked());
    setting("ExcludeFolders").SetAsBoolean(chkExcludeFolders->isChecked());
    setting("MaxPreviewSize").SetAsInteger(txtMaxPreview->value());
    // The limit holds for every preview window, also while none is open.
    preview::ReadPreviewLimit();

    // Refilling a huge folder is slow: only when the choice changed.
    if (chkExcludeFolders->isChecked() != m_excludeFoldersAtOpen) {
        for (TfrmChild* child : frame->Explorers()) {
            shellctl::TShellList* list = child->List1;
            const shellctl::TShellListOptions options = list->Options();
            list->SetOptions(chkExcludeFolders->isChecked() ? (options | shellctl::sloHideFoldersWhenLinkedToTree)
                                                            : (options & ~shellctl::sloHideFoldersWhenLinkedToTree));
            list->FillList();
        }
    }
    if (app::TPreviewHost* preview = app::PreviewHost())
        preview->ApplyPreviewFont();
    accept();
}

void TfrmOptions::cmdCancelClick()
{
    reject();
}

} // namespace corvane::explorer
