#include "FileDate.h"

#include "ToolRun.h"
#include "app/Globals.h"
#include "app/Utility.h"
#include "core/NameCodec.h"
#include "engine/FileDateEngine.h"
#include "engine/FileToolsTexts.h"
#include "engine/ToolJob.h"
#include "shellctl/ShellList.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <QTextCharFormat>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace corvane::filetools {

namespace C = FileToolsConsts;
using app::Scaled;

TfrmFileDate* frmFileDate = nullptr;

namespace {

// The locale's short date with a four-digit year.
QString DateFormat()
{
    QString f = QLocale().dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy")))
        f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

// The locale's time with seconds, without a time zone.
QString TimeFormat()
{
    QString f = QLocale().timeFormat(QLocale::LongFormat);
    f.remove(QLatin1Char('t')).remove(QLatin1Char('T'));
    return f.trimmed();
}

} // namespace

TfrmFileDate::TfrmFileDate(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFileDate"));
    setWindowTitle(QString(C::sDateWindow));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    lblFolder = new QLabel(this);
    lblFolder->setTextFormat(Qt::PlainText);
    grpFiles = new QGroupBox(QString(C::sSelectedFiles), this);
    lstFiles = new QTreeWidget(grpFiles);
    lstFiles->setRootIsDecorated(false);
    lstFiles->setHeaderLabels({QString(C::sColumnName), QString(C::sColumnSize), QString(C::sColumnDate)});
    lstFiles->setColumnWidth(0, Scaled(340));
    lstFiles->setColumnWidth(1, Scaled(80));
    lstFiles->setColumnWidth(2, Scaled(180));
    lstFiles->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);

    lblDate = new QLabel(QString(C::sDateLabel), this);
    txtDate = new QDateEdit(QDate::currentDate(), this);
    txtDate->setCalendarPopup(true);
    txtDate->setDisplayFormat(DateFormat());
    QCalendarWidget* calendar = txtDate->calendarWidget();
    calendar->setFirstDayOfWeek(Qt::Sunday);
    QTextCharFormat weekend = calendar->weekdayTextFormat(Qt::Saturday);
    weekend.setForeground(Qt::red);
    calendar->setWeekdayTextFormat(Qt::Saturday, weekend);
    calendar->setWeekdayTextFormat(Qt::Sunday, weekend);
    lblDate->setBuddy(txtDate);
    lblTime = new QLabel(QString(C::sTimeLabel), this);
    txtTime = new QTimeEdit(this);
    txtTime->setDisplayFormat(TimeFormat());
    lblTime->setBuddy(txtTime);
    cmdOK = new QPushButton(QString(C::sOK), this);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QString(C::sCancelPlain), this);

    auto* files = new QVBoxLayout(grpFiles);
    files->addWidget(lstFiles);
    auto* bottom = new QGridLayout;
    bottom->addWidget(lblDate, 0, 0);
    bottom->addWidget(txtDate, 1, 0);
    bottom->addWidget(lblTime, 0, 1);
    bottom->addWidget(txtTime, 1, 1);
    bottom->setColumnStretch(2, 1);
    bottom->addWidget(cmdOK, 1, 3);
    bottom->addWidget(cmdCancel, 1, 4);
    auto* root = new QVBoxLayout(this);
    root->addWidget(lblFolder);
    root->addWidget(grpFiles, 1);
    root->addLayout(bottom);
    txtDate->setMinimumWidth(Scaled(160));
    txtTime->setMinimumWidth(Scaled(120));
    // Room for the three columns without a scroll bar.
    resize(Scaled(680), Scaled(420));

    connect(cmdOK, &QPushButton::clicked, this, &TfrmFileDate::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmFileDate::~TfrmFileDate()
{
    if (frmFileDate == this)
        frmFileDate = nullptr;
}

int TfrmFileDate::Execute()
{
    Prepare();
    return exec();
}

void TfrmFileDate::Prepare()
{
    QStringList names;
    QStringList shown;
    m_folder = SelectedFiles(&names, &shown);
    lblFolder->setText(QString(C::sFolderPrefix) + core::ReadableName(core::EncodeName(m_folder)));
    lstFiles->clear();
    std::vector<shellctl::TShListData*> selected;
    if (app::CurShellList)
        selected = app::CurShellList->SelectedItems();
    qsizetype row = 0;
    for (shellctl::TShListData* data : selected) {
        if (data->IsFolder() || row >= names.size())
            continue;
        auto* item = new QTreeWidgetItem(lstFiles, {shown[row], data->SizeText(), data->ModifiedText()});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, Qt::UserRole, names[row]);
        ++row;
    }
}

void TfrmFileDate::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormActivate();
}

void TfrmFileDate::FormActivate()
{
    txtTime->setTime(QTime::currentTime());
}

void TfrmFileDate::cmdOKClick()
{
    DateRunInput input;
    input.folder = m_folder;
    for (int i = 0; i < lstFiles->topLevelItemCount(); ++i) {
        input.names << lstFiles->topLevelItem(i)->data(0, Qt::UserRole).toString();
        input.shown << lstFiles->topLevelItem(i)->text(0);
    }
    // Local time to the second: Linux file systems keep what the user entered.
    const QTime t = txtTime->time();
    input.when = QDateTime(txtDate->date(), QTime(t.hour(), t.minute(), t.second())).toSecsSinceEpoch();
    if (!input.names.isEmpty()) {
        ToolJob job([&input](ToolJob& j) { RunFileDate(input, j); });
        RunToolJob(job, windowTitle(), this);
    }
    accept();
    if (app::CurShellList)
        app::CurShellList->RefreshList();
}

} // namespace corvane::filetools
