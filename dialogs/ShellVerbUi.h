#pragma once
// Carries out the shell verbs for the program: questions, dialogs and the file-operation engine.
#include "platform/FileOperation.h"
#include "platform/ShellVerbs.h"

#include <functional>
#include <vector>

class QWidget;

namespace corvane::app {

class TShellVerbUi : public platform::IShellVerbHandler
{
public:
    platform::HResult InvokeVerb(const QByteArray& verb, const platform::VerbTarget& target,
                       const platform::CMInvokeCommandInfo& info) override;

    // Opens a folder in the current explorer window.
    std::function<void(const platform::PItemIDList& abs)> OnOpenFolder;
    // Shows the find dialog for a folder.
    std::function<void(const QByteArray& folder)> OnFind;
    // Packs the target's items into a new archive, and extracts one archive (the zip dialogs).
    std::function<void(const platform::VerbTarget& target)> OnCreateZip;
    std::function<void(const QByteArray& archive)> OnExtract;

private:
    platform::HResult open(const platform::VerbTarget& t, QWidget* owner);
    platform::HResult toClipboard(const platform::VerbTarget& t, bool cut);
    platform::HResult paste(const platform::VerbTarget& t, QWidget* owner);
    platform::HResult remove(const platform::VerbTarget& t, bool forGood, QWidget* owner);
    platform::HResult link(const platform::VerbTarget& t);
    platform::HResult properties(const platform::VerbTarget& t, QWidget* owner);
    platform::HResult restore(const platform::VerbTarget& t, QWidget* owner);
    platform::HResult emptyTrash(QWidget* owner);
    platform::HResult openWith(const platform::VerbTarget& t, QWidget* owner);
};

// Moves the files to the Trash; for those whose volume has none, offers deleting them for good.
platform::FileOpResult TrashOrOfferDelete(const std::vector<QByteArray>& files, QWidget* owner);

// A free path in folder for a new link to file: "Link to NAME", then "Link to NAME (2)", ...
QByteArray NewLinkPath(const QByteArray& folder, const QByteArray& file);

// The program's handler, installed on first use.
TShellVerbUi& ShellVerbUi();
void InstallShellVerbs();

} // namespace corvane::app
