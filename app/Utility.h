#pragma once
// Helpers that every form uses: message boxes, path joining, extension lists.
#include "core/PathText.h"

#include <QString>

class QWidget;

namespace corvane::app {

// Message box styles and answers, with the values the forms pass around.
enum MsgBoxStyle : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_RETRYCANCEL = 0x5,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON2 = 0x100,
};
enum MsgBoxAnswer : int { IDOK = 1, IDCANCEL = 2, IDRETRY = 4, IDYES = 6, IDNO = 7 };

// The caption a message box gets: "Corvane" for an empty one, at most 30 characters.
QString MsgBoxCaption(const QString& caption);
// Modal, owned by the application; returns the button pressed.
int MsgBox(const QString& text, const QString& caption = {}, unsigned style = MB_OK);
// While set, MsgBox records instead of showing (tests and unattended runs).
struct MsgBoxRecord {
    QString text;
    QString caption;
    unsigned style = 0;
};
void SetMsgBoxRecorder(MsgBoxRecord* last, int answer = IDOK);

// The pictures the preview shows and Convert Graphic converts.
inline constexpr const char* GraphicExtensions = ".BMP/.JPG/.JPEG/.GIF/.PCX/.PNG/.WMF/.TIF/.TIFF/.ICO/";

using core::ExtensionInList;
using core::FileExtension;
using core::JoinPath;

// Pixels of a form designed at 120 pixels per inch, for this screen.
int Scaled(int px120);

} // namespace corvane::app
