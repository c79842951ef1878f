#include "Globals.h"

#include "Mainform.h"

#include "explorer/Child.h"
#include "explorer/StatusBar.h"
#include "shellctl/ShellControls.h"

namespace corvane::app {

TfrmMain* frmMain = nullptr;
QPointer<QWidget> frmPreview;
QPointer<shellctl::TShellTree> CurShellTree;
QPointer<shellctl::TShellList> CurShellList;
QPointer<shellctl::TShellCombo> CurShellCombo;
QPointer<explorer::THistory> CurHistory;
QPointer<explorer::TStatusBar> CurStatusBar;

TMainFrame* MainFrame()
{
    return frmMain;
}

TPreviewHost* PreviewHost()
{
    return dynamic_cast<TPreviewHost*>(frmPreview.data());
}

} // namespace corvane::app
