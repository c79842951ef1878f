#pragma once
// The program-wide references: the main window, the preview window, the dialogs and the
// controls of the current explorer window. Forms reach each other only through these.
#include <QPointer>
#include <QString>

namespace corvane::shellctl {
class TShellTree;
class TShellList;
class TShellCombo;
} // namespace corvane::shellctl

namespace corvane::explorer {
class THistory;
class TStatusBar;
} // namespace corvane::explorer

class QWidget;

namespace corvane::app {

class TfrmMain;

extern TfrmMain* frmMain;
// The preview window while it is open.
extern QPointer<QWidget> frmPreview;

// The controls of the explorer window activated most recently; empty when none is open.
extern QPointer<shellctl::TShellTree> CurShellTree;
extern QPointer<shellctl::TShellList> CurShellList;
extern QPointer<shellctl::TShellCombo> CurShellCombo;
extern QPointer<explorer::THistory> CurHistory;
extern QPointer<explorer::TStatusBar> CurStatusBar;

// The byte total of the list selection, one value for every explorer window.
extern qint64 SelectedBytes;

} // namespace corvane::app
