// What the main window saves and restores: its settings object and the explorer windows that
// were open.
#include "Mainform.h"

#include "AppTexts.h"
#include "UserTools.h"
#include "Utility.h"
#include "explorer/Child.h"
#include "settings/PFormSettings.h"
#include "shellctl/ShellControls.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace corvane::app {

void TfrmMain::createSettings()
{
    using settings::TPFormSettings;
    PFormSettings1 = new TPFormSettings(this);
    PFormSettings1->SetSoftwareName(QString::fromLatin1(texts::ProductName));
    PFormSettings1->SetCentreOnFirstShow(true);
    for (const char* part : {"Charset", "Color", "Height", "Name", "Pitch", "Size", "Style"})
        PFormSettings1->AddSetting({}, QStringLiteral("frmMain.Font.") + QLatin1String(part));
    PFormSettings1->AddSetting(QStringLiteral("NumChildren"));
    for (int n = 1; n <= 4; ++n) {
        for (const char* name : {"Top", "Left", "Height", "Width", "State", "View"})
            PFormSettings1->AddSetting(QLatin1String(name) + QString::number(n));
    }
    for (const char* name : {"PreviewOpen", "MaxPreviewSize", "GridLines", "ExcludeFolders", "PreviewFontName",
                             "PreviewFontSize", "PreviewFontBold", "PreviewFontItalic", "PreviewFontColor"})
        PFormSettings1->AddSetting(QLatin1String(name));
    for (int n = 1; n <= 9; ++n)
        PFormSettings1->AddSetting(QStringLiteral("UserTool%1").arg(n));
    PFormSettings1->OnPreSave = [this](QObject*) { PFormSettings1PreSave(); };
    TPFormSettings::SetErrorHandler([](const QString& message) { MsgBox(message, QString::fromLatin1(texts::Error), MB_ICONEXCLAMATION); });
}

void TfrmMain::restoreExplorers()
{
    auto setting = [this](const QString& name) -> settings::TPSetting& { return PFormSettings1->SettingByName(name); };
    QString count = setting(QStringLiteral("NumChildren")).AsString();
    int n = count.isEmpty() ? 0 : setting(QStringLiteral("NumChildren")).AsInteger();
    if (n == 0) {
        actNewWindowExecute();
        return;
    }
    setUpdatesEnabled(false);
    // At most four explorer windows, whatever the store says.
    n = qBound(1, n, 4);
    for (int i = 1; i <= n; ++i) {
        QString k = QString::number(i);
        explorer::TfrmChild* child = CreateExplorer();
        auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget());
        int state = setting(QStringLiteral("State") + k).AsInteger();
        QRect r(setting(QStringLiteral("Left") + k).AsInteger(), setting(QStringLiteral("Top") + k).AsInteger(),
                setting(QStringLiteral("Width") + k).AsInteger(), setting(QStringLiteral("Height") + k).AsInteger());
        sub->show();
        if (r.width() > 0 && r.height() > 0)
            sub->setGeometry(r);
        if (state == 1)
            sub->showMinimized();
        else if (state == 2)
            sub->showMaximized();
        // The style is set before activation, which shows it on the toolbar and in the View menu.
        int view = setting(QStringLiteral("View") + k).AsInteger();
        child->List1->SetViewStyle(shellctl::TViewStyle(qBound(0, view, 3)));
        m_mdi->setActiveSubWindow(sub);
        child->ShowStartFolder();
        child->Tree1->scrollToTop();
    }
    if (explorer::TfrmChild* active = ActiveExplorer())
        ShowViewStyle(int(active->List1->ViewStyle()));
    actNewWindow->setEnabled(ExplorerCount() < 4);
    setUpdatesEnabled(true);
}

void TfrmMain::PFormSettings1PreSave()
{
    auto setting = [this](const QString& name) -> settings::TPSetting& { return PFormSettings1->SettingByName(name); };
    setting(QStringLiteral("NumChildren")).SetAsInteger(ExplorerCount());
    setting(QStringLiteral("PreviewOpen")).SetAsBoolean(!frmPreview.isNull());
    int n = 0;
    for (QMdiSubWindow* w : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        auto* child = qobject_cast<explorer::TfrmChild*>(w->widget());
        if (!child)
            continue;
        if (++n > 4)
            break;
        QString k = QString::number(n);
        QRect r = w->geometry();
        setting(QStringLiteral("Top") + k).SetAsInteger(r.top());
        setting(QStringLiteral("Left") + k).SetAsInteger(r.left());
        setting(QStringLiteral("Height") + k).SetAsInteger(r.height());
        setting(QStringLiteral("Width") + k).SetAsInteger(r.width());
        setting(QStringLiteral("State") + k).SetAsInteger(w->isMinimized() ? 1 : w->isMaximized() ? 2 : 0);
        setting(QStringLiteral("View") + k).SetAsInteger(int(child->List1->ViewStyle()));
    }
}

} // namespace corvane::app
