#pragma once
// Settings that a form carries: restored once when the form has finished loading (or at the
// latest when it is first shown), saved once each time it closes or hides. Besides the
// declared settings it keeps the form's placement (Left, Top, Width, Height, MainForm,
// State, ScreenRes) and a recently-used file list (MRUList).
#include "PSetting.h"

#include <QFlags>
#include <QPointer>
#include <QRect>
#include <QSize>

#include <QAction>
class QMenu;
class QWidget;

namespace corvane::settings {

enum TPFormSaveOpt {
    pfsLeft = 0x1,
    pfsTop = 0x2,
    pfsWidth = 0x4,
    pfsHeight = 0x8,
    pfsState = 0x10,
};
Q_DECLARE_FLAGS(TPFormSaveOpts, TPFormSaveOpt)
inline constexpr TPFormSaveOpts kAllFormSaveOpts {pfsLeft | pfsTop | pfsWidth | pfsHeight | pfsState};

enum TPSaveLocationType { pslRegistry, pslStream, pslStorage, pslUser };
enum TPMRUDisplayType { pmdFileOnly, pmdFullPath, pmdAbbPath };
enum TPMRUPlacement { pmpDescending, pmpBefore };

// Applying restored placement values to a form on a screen of W x H pixels. Pure, so the
// rules can be checked without a window.
struct TPPlacement
{
    int Left = -1;
    int Top = -1;
    int Width = -1;
    int Height = -1;
    QString ScreenRes;
    bool MainForm = false;
    int State = -1;
};
// The rectangle the form gets: `current` is its rectangle now, `screen` the pixel counts of
// its display; `centre` asks to centre a form that has nothing stored.
QRect ApplyPlacementRules(const TPPlacement& Stored, const QRect& Current, const QSize& Screen, bool Centre);
QString ScreenResText(const QSize& Screen);

class TPFormSettings : public TPSettings
{
    Q_OBJECT
public:
    using MRUClickEvent = std::function<void(QObject* Sender, QAction* MenuItem, const QString& FileName, int MRUIndex)>;
    using FormKeyNameEvent = std::function<void(QObject* Sender, QString& FormKeyName)>;

    // Form must be a window (or an MDI child's widget), else EPFormSettingsException. The
    // component belongs to Owner, the form when none is given.
    explicit TPFormSettings(QObject* Form, QObject* Owner = nullptr);
    ~TPFormSettings() override;

    QWidget* Form() const { return m_form; }

    TPFormSaveOpts FormSaveOpt() const { return m_formSaveOpt; }
    void SetFormSaveOpt(TPFormSaveOpts Value) { m_formSaveOpt = Value; }
    TPSaveLocationType SaveLocation() const { return m_saveLocation; }
    void SetSaveLocation(TPSaveLocationType Value) { m_saveLocation = Value; }
    int MRULength() const { return m_mruLength; }
    // 0 to 9; other values are ignored.
    void SetMRULength(int Value);
    QAction* MRUMenuItem() const { return m_mruMenuItem; }
    void SetMRUMenuItem(QAction* Item);
    TPMRUDisplayType MRUDisplay() const { return m_mruDisplay; }
    void SetMRUDisplay(TPMRUDisplayType Value) { m_mruDisplay = Value; }
    int MRUMaxItemWidth() const { return m_mruMaxItemWidth; }
    // 100 to 300; other values are ignored.
    void SetMRUMaxItemWidth(int Value);
    TPMRUPlacement MRUPlacement() const { return m_mruPlacement; }
    void SetMRUPlacement(TPMRUPlacement Value) { m_mruPlacement = Value; }
    bool MRUValidate() const { return m_mruValidate; }
    void SetMRUValidate(bool Value) { m_mruValidate = Value; }
    int MRUCount() const { return int(m_mru.size()); }
    const QStringList& MRUList() const { return m_mru; }
    // Puts a file at the top of the list (once), cut to MRULength.
    void MRUAdd(const QString& FileName);
    void MRURemove(const QString& FileName);
    void MRUClear();
    // Cuts and validates the list and rebuilds its menu items (done before the menu shows).
    void RebuildMRUMenu();
    bool AddToRecentDocs() const { return m_addToRecentDocs; }
    void SetAddToRecentDocs(bool Value) { m_addToRecentDocs = Value; }
    // A form declared centred on the screen: centred on its first start, when it fits.
    bool CentreOnFirstShow() const { return m_centre; }
    void SetCentreOnFirstShow(bool Value) { m_centre = Value; }

    // The end of the form's loading: captures the designed values and restores once. The
    // form calls it at the end of its constructor to read its settings there; otherwise it
    // runs when the form is first shown.
    void Loaded();
    bool IsLoaded() const { return m_loaded; }
    void AutoSave();
    void AutoRestore();

    void SaveToRegistry() override;
    void RestoreFromRegistry() override;
    void UserSave() override;
    void UserRestore() override;
    std::optional<TPValue> ReadBoundProperty(TPSetting& Setting) override;
    void WriteBoundProperty(TPSetting& Setting) override;

    // The application's main form: the first window that got form settings, unless set.
    static QWidget* MainForm();
    static void SetMainForm(QWidget* Form);
    // Where errors of an automatic save go (they cannot leave an event handler); a warning
    // on the console until the program sets its own.
    static void SetErrorHandler(std::function<void(const QString& Message)> Handler);

    MRUClickEvent OnMRUClick;
    FormKeyNameEvent OnSetFormKeyName;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    QString FormKeyName() override;

private:
    QWidget* windowWidget() const;
    QSize screenSize() const;
    std::vector<std::unique_ptr<TPSetting>> placementList();
    void fillPlacement(std::vector<std::unique_ptr<TPSetting>>& List);
    void applyPlacement(std::vector<std::unique_ptr<TPSetting>>& List);
    bool formIsIntact() const;

    QWidget* m_form;
    const QMetaObject* m_formMeta;
    TPFormSaveOpts m_formSaveOpt = kAllFormSaveOpts;
    TPSaveLocationType m_saveLocation = pslRegistry;
    int m_mruLength = 4;
    QPointer<QAction> m_mruMenuItem;
    TPMRUDisplayType m_mruDisplay = pmdFullPath;
    int m_mruMaxItemWidth = 200;
    TPMRUPlacement m_mruPlacement = pmpDescending;
    bool m_mruValidate = true;
    bool m_addToRecentDocs = true;
    QStringList m_mru;
    bool m_loaded = false;
    bool m_loading = false;
    bool m_savedSinceShown = false;
    bool m_centre = false;
    bool m_restoredMainForm = false;
    bool m_appMinimized = false;
};

} // namespace corvane::settings

Q_DECLARE_OPERATORS_FOR_FLAGS(corvane::settings::TPFormSaveOpts)
