#include "SysInfo.h"

#include "core/Text.h"
#include "reports/engine/ReportTexts.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <unistd.h>

namespace corvane::reports {

TfrmSysInfo* frmSysInfo = nullptr;

TfrmSysInfo::TfrmSysInfo(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSysInfo"));
    setWindowTitle(core::Text(texts::SysInfoCaption));
    m_source.uid = ::getuid();

    txtInfo = new QPlainTextEdit(this);
    txtInfo->setObjectName(QStringLiteral("txtInfo"));
    txtInfo->setReadOnly(true);
    txtInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    cmdPrint = new QPushButton(core::Text(texts::Print), this);
    cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    cmdClose = new QPushButton(core::Text(texts::Close), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdPrint, &QPushButton::clicked, this, &TfrmSysInfo::cmdPrintClick);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdPrint);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtInfo, 1);
    layout->addLayout(buttons);
    resize(560, 420);
}

void TfrmSysInfo::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfrmSysInfo::FormShow()
{
    txtInfo->clear();
    const int build = ++m_build;
    const SysInfoSource source = m_source;
    // The files are small, but CUPS and a directory service may take their time.
    auto* watcher = new QFutureWatcher<QStringList>(this);
    connect(watcher, &QFutureWatcher<QStringList>::finished, this, [this, watcher, build] {
        watcher->deleteLater();
        if (build != m_build)
            return;
        txtInfo->setPlainText(watcher->result().join(QLatin1Char('\n')));
        emit SheetBuilt();
    });
    watcher->setFuture(QtConcurrent::run([source] {
        SystemFacts facts = ReadSystemFacts(source);
        if (facts.defaultPrinter.isEmpty() && source.root == "/") {
            const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
            if (!printer.isNull())
                facts.defaultPrinter = PrinterEntry(printer.printerName(), printer.makeAndModel(), QString());
        }
        return SysInfoLines(facts);
    }));
}

void TfrmSysInfo::cmdPrintClick()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog PrintDialog1(&printer, this);
    if (PrintDialog1.exec() == QDialog::Accepted)
        PrintSheet(printer);
}

void TfrmSysInfo::PrintSheet(QPrinter& printer)
{
    QPainter p;
    if (!p.begin(&printer))
        return;
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    p.setFont(font);
    const int x = printer.logicalDpiX();
    const int y = printer.logicalDpiY();
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    const QString title = core::Text(texts::PrintTitle) + locale.toString(now.date(), QLocale::ShortFormat)
                          + QLatin1Char(' ') + locale.toString(now.time(), QLocale::ShortFormat);
    const int lineWidth = printer.width() - x / 2;
    int top = y / 2;
    p.drawText(QRect(x / 2, top, lineWidth, y / 4), Qt::AlignLeft | Qt::AlignTop, title);
    top += y / 4;
    // All lines go on one page, without the blanks that lead the labels on screen.
    for (const QString& line : txtInfo->toPlainText().split(QLatin1Char('\n'))) {
        p.drawText(QRect(x / 2, top, lineWidth, y / 7), Qt::AlignLeft | Qt::AlignTop, line.trimmed());
        top += y / 7;
    }
    p.end();
}

} // namespace corvane::reports
