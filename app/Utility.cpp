#include "Utility.h"

#include "AppTexts.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

namespace corvane::app {

namespace {
MsgBoxRecord* g_recorder = nullptr;
int g_recordedAnswer = IDOK;
} // namespace

QString MsgBoxCaption(const QString& caption)
{
    QString c = caption.isEmpty() ? QString::fromLatin1(texts::ProductName) : caption;
    return c.left(30);
}

void SetMsgBoxRecorder(MsgBoxRecord* last, int answer)
{
    g_recorder = last;
    g_recordedAnswer = answer;
}

int MsgBox(const QString& text, const QString& caption, unsigned style)
{
    if (g_recorder) {
        *g_recorder = {text, MsgBoxCaption(caption), style};
        return g_recordedAnswer;
    }
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(MsgBoxCaption(caption));
    box.setText(text);
    switch (style & 0xF0) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONEXCLAMATION:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    switch (style & 0x0F) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MB_RETRYCANCEL:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
    }
    if (style & MB_DEFBUTTON2) {
        const unsigned buttons = style & 0x0F;
        box.setDefaultButton(buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? QMessageBox::No : QMessageBox::Cancel);
    }
    switch (box.exec()) {
    case QMessageBox::Retry:
        return IDRETRY;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

int Scaled(int px120)
{
    qreal dpi = 96;
    if (QScreen* s = QGuiApplication::primaryScreen())
        dpi = s->logicalDotsPerInch();
    return qRound(px120 * dpi / 120.0);
}

} // namespace corvane::app
