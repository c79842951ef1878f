#include "FileFilter.h"

#include "Child.h"
#include "ExplorerTexts.h"
#include "ListingRules.h"
#include "app/Globals.h"
#include "app/Utility.h"
#include "shellctl/ShellControls.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane::explorer {

QPointer<TfrmFileFilters> frmFileFilters;

namespace {

// Newest first; a text already listed is listed again. The typed text stays in the box.
void addToHistory(QComboBox* box)
{
    const QString text = box->currentText();
    if (text.isEmpty())
        return;
    box->insertItem(0, text);
    box->setEditText(text);
}

} // namespace

void ApplyFilters(TfrmChild* child, const QString& filter, const QString& exclusions)
{
    if (!child)
        return;
    shellctl::TShellList* list = child->List1;
    child->IncludeFilter = filter;
    // The list fills once, below, with the new filter and the new exclusions together.
    const shellctl::TShellListOptions options = list->Options();
    list->SetOptions(options & ~shellctl::sloAutoFill);
    list->SetFileFilter(filter);
    list->SetOptions(options);
    child->Exclusions.clear();
    if (!exclusions.isEmpty())
        child->Exclusions = SplitExclusions(exclusions);
    list->FillList();
    child->UpdateCaption();
}

TfrmFileFilters::TfrmFileFilters(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint),
      Label1(new QLabel(QString::fromLatin1(texts::IncludeLabel), this)), cboFilter(new QComboBox(this)),
      Label2(new QLabel(QString::fromLatin1(texts::ExcludeLabel), this)), cboExclude(new QComboBox(this)),
      Label3(new QLabel(QString::fromLatin1(texts::FilterNoteSpecs), this)),
      Label4(new QLabel(QString::fromLatin1(texts::FilterNoteAll), this)),
      cmdOK(new QPushButton(QString::fromLatin1(texts::Ok), this)),
      cmdCancel(new QPushButton(QString::fromLatin1(texts::Cancel), this))
{
    setObjectName(QStringLiteral("frmFileFilters"));
    setWindowTitle(QString::fromLatin1(texts::FileFiltersCaption));
    setModal(true);
    for (QComboBox* box : {cboFilter, cboExclude}) {
        box->setEditable(true);
        // The history grows only through OK.
        box->setInsertPolicy(QComboBox::NoInsert);
    }
    Label1->setBuddy(cboFilter);
    Label2->setBuddy(cboExclude);
    Label3->setWordWrap(true);
    Label4->setWordWrap(true);
    cmdOK->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(cboFilter);
    layout->addSpacing(app::Scaled(10));
    layout->addWidget(Label2);
    layout->addWidget(cboExclude);
    layout->addSpacing(app::Scaled(14));
    layout->addWidget(Label3);
    layout->addSpacing(app::Scaled(6));
    layout->addWidget(Label4);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    setFixedSize(QSize(app::Scaled(281), app::Scaled(262)).expandedTo(sizeHint()));

    connect(cmdOK, &QPushButton::clicked, this, &TfrmFileFilters::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmFileFilters::cmdCancelClick);
}

void TfrmFileFilters::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormActivate();
}

void TfrmFileFilters::FormActivate()
{
    // The texts are kept: the dialog opens with what was used last in any window.
    cboFilter->setFocus();
    cboFilter->lineEdit()->selectAll();
}

void TfrmFileFilters::cmdOKClick()
{
    addToHistory(cboFilter);
    addToHistory(cboExclude);
    ApplyFilters(app::MainFrame() ? app::MainFrame()->ActiveExplorer() : nullptr);
    accept();
}

void TfrmFileFilters::cmdCancelClick()
{
    // What was typed stays and counts at the next OK.
    reject();
}

void TfrmFileFilters::ApplyFilters(TfrmChild* child) const
{
    explorer::ApplyFilters(child, cboFilter->currentText(), cboExclude->currentText());
}

void TfrmFileFilters::actNoFilterExecute()
{
    cboFilter->setEditText(QString());
    cboExclude->setEditText(QString());
    TfrmChild* child = app::MainFrame() ? app::MainFrame()->ActiveExplorer() : nullptr;
    if (!child)
        return;
    ApplyFilters(child);
    child->UpdateCaption();
}

} // namespace corvane::explorer
