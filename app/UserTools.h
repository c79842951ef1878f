#pragma once
// The nine user tools: their stored form, their Tools menu items and the dialog that
// configures them.
#include <QDialog>
#include <QPointer>
#include <QString>

class QAction;
class QFileDialog;
class QMenu;
class QPushButton;
class QTableWidget;

namespace corvane::settings {
class TPSettings;
}

namespace corvane::app {

inline constexpr int UserToolCount = 9;

// A stored value: the description, the separator (code 8), the command.
struct TUserTool {
    QString Description;
    QString Command;
};
// Without a separator the whole value is the command and the description is empty.
TUserTool SplitUserTool(const QString& value);
QString JoinUserTool(const QString& description, const QString& command);
// Values shorter than two characters leave the tool unconfigured.
bool UserToolConfigured(const QString& value);
// "&1 Editor".
QString UserToolCaption(int number, const QString& description);
// The name of tool n's setting, "UserTool1" ... "UserTool9".
QString UserToolSetting(int number);

// Shows the configured tools on the menu's items tagged 1 ... 9 and hides the others.
void BuildUserToolsMenu(QMenu* tools, settings::TPSettings& store);
// Opens tool n's command (the item's tag); reports a command that cannot be started.
void mnuUserToolClick(QAction* item, settings::TPSettings& store);

class TfrmUserTools : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmUserTools(QWidget* parent = nullptr);

    QTableWidget* Grid1;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdBrowse;
    QPushButton* cmdDelete;
    QFileDialog* OpenDialog1;

    void FormActivate();
    void cmdOKClick();
    void cmdCancelClick();
    void cmdBrowseClick();
    void cmdDeleteClick();

    // A cell's text, blanks trimmed (row and column from 0).
    QString Cell(int row, int column) const;
    void SetCell(int row, int column, const QString& text);

protected:
    void showEvent(QShowEvent* e) override;

private:
    // An editor still open writes its text into the grid.
    void commitEditor();
};

extern QPointer<TfrmUserTools> frmUserTools;

} // namespace corvane::app
