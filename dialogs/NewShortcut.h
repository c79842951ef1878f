#pragma once
// New Shortcut: a symbolic link to a file or folder, or a Link .desktop file for an Internet
// address, created in a folder under a name the user picks. Nothing existing is ever replaced.
#include <QByteArray>
#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace corvane::app {

// What the user typed as the target: an address with a scheme ("https://...", "mailto:...",
// "www.example.org") or a path ("~" is the home folder, a relative path starts at `folder`).
struct ShortcutTarget {
    bool isUrl = false;
    QString url;      // encoded, for a URL
    QByteArray path;  // absolute, for a path
};
ShortcutTarget ParseShortcutTarget(const QString& text, const QByteArray& folder);
// The name a shortcut gets unless the user types another: the target's base name, or the host.
QString DefaultShortcutName(const QString& text);

// Creates the shortcut; empty on success, else the message for the user. `created` gets the
// raw name of the new file.
QString CreateShortcutFile(const QByteArray& folder, const QString& name, const QString& target,
                           QByteArray* created = nullptr);

class TfrmNewShortcut : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmNewShortcut(const QByteArray& folder, QWidget* parent = nullptr);

    void cmdOKClick();
    void cmdBrowseClick();
    // The raw name of the shortcut made by OK.
    QByteArray Created;

    QLineEdit* txtTarget;
    QPushButton* cmdBrowse;
    QLineEdit* txtName;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

private:
    QByteArray m_folder;
    bool m_nameTyped = false;
};

} // namespace corvane::app
