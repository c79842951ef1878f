#pragma once
// Carries out drops for the program: the right-button menu, the file-operation engine with its
// progress and questions, links, the Trash and programs started with the dropped files.
#include "platform/DragDrop.h"

namespace corvane::app {

class TShellDropUi : public platform::IShellDropHandler
{
public:
    std::uint32_t ChooseDropEffect(QObject* owner, std::uint32_t allowed, std::uint32_t preferred, QPoint point) override;
    platform::HResult DropFiles(QObject* owner, std::uint32_t effect, const std::vector<QByteArray>& files,
                                const QByteArray& folder) override;
    platform::HResult DropOnTrash(QObject* owner, const std::vector<QByteArray>& files) override;
    platform::HResult DropOnProgram(QObject* owner, const QByteArray& program, const std::vector<QByteArray>& files) override;
};

void InstallShellDrop();

} // namespace corvane::app
