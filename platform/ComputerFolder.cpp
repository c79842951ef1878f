// The computer: the mounted volumes.
#include "FolderBase.h"

#include "NameCodec.h"
#include "Volumes.h"

#include <algorithm>
#include <sys/stat.h>

namespace corvane::platform::folders {

QString volumeLabel(const QByteArray& mountPoint)
{
    for (const Volume& v : MountedVolumes()) {
        if (v.mountPoint == mountPoint)
            return v.label;
    }
    qsizetype slash = mountPoint.lastIndexOf('/');
    return ReadableName(mountPoint.mid(slash + 1));
}

namespace {

bool isShownVolume(const QByteArray& mountPoint)
{
    const std::vector<Volume> shown = DisplayedVolumes();
    return std::any_of(shown.begin(), shown.end(), [&](const Volume& v) { return v.mountPoint == mountPoint; });
}

class ComputerFolder final : public FolderBase
{
public:
    ComputerFolder() : FolderBase(makeItem(KindComputer, {})) {}

    HResult ParseDisplayName(const QString& displayName, PItemIDList& out) override
    {
        const QByteArray mp = EncodeName(displayName);
        if (!isShownVolume(mp))
            return HResultFromErrno(ENOENT);
        out = makeItem(KindVolume, mp);
        return S_OK;
    }

    HResult EnumObjects(std::uint32_t flags, std::unique_ptr<IEnumIDList>& out) override
    {
        std::vector<PItemIDList> items;
        if (flags & SHCONTF_FOLDERS) {
            for (const Volume& v : DisplayedVolumes())
                items.push_back(makeItem(KindVolume, v.mountPoint));
        }
        out = std::make_unique<ListEnum>(std::move(items), nullptr);
        return S_OK;
    }

protected:
    HResult bindChild(const ItemRef& it, ShellFolderPtr& out) override
    {
        if (it.kind != KindVolume || !it.name.startsWith('/'))
            return E_INVALIDARG;
        struct stat st;
        if (::stat(it.name.constData(), &st) != 0)
            return HResultFromErrno(errno);
        out = NewFsFolder(it.name, concat(m_abs, makeItem(KindVolume, it.name)));
        return S_OK;
    }
    QByteArray childFolderPath(const ItemRef&) const override { return {}; }
    std::uint32_t childAttributes(const ItemRef& it, std::uint32_t mask, HResult& hr) override
    {
        if (it.kind != KindVolume)
            return 0;
        std::uint32_t a = SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_FILESYSTEM | SFGAO_DROPTARGET
                          | SFGAO_CANLINK | SFGAO_HASPROPSHEET | SFGAO_HASSUBFOLDER;
        DriveType t = GetDriveType(it.name);
        if (t == DRIVE_REMOVABLE || t == DRIVE_CDROM)
            a |= SFGAO_REMOVABLE;
        if ((mask & SFGAO_VALIDATE) && !isShownVolume(it.name))
            hr = HResultFromErrno(ENOENT);
        return a;
    }
    HResult childDisplayName(const ItemRef& it, std::uint32_t shgdn, QString& out) override
    {
        if (it.kind != KindVolume)
            return E_INVALIDARG;
        out = (shgdn & SHGDN_FORPARSING) ? DecodeName(it.name) : volumeLabel(it.name);
        return S_OK;
    }
    int kindRank(char) const override { return 0; }
};

} // namespace

ShellFolderPtr NewComputerFolder()
{
    return std::make_shared<ComputerFolder>();
}

} // namespace corvane::platform::folders
