// The Desktop, root of the namespace: Home, the computer, the Trash and the desktop folder's entries.
#include "FolderBase.h"

#include "IdListFormat.h"
#include "NameCodec.h"
#include "Trash.h"
#include "Volumes.h"

#include <QDir>

#include <sys/stat.h>

namespace corvane::platform::folders {

namespace {

class DesktopFolder final : public FolderBase
{
public:
    DesktopFolder() : FolderBase(EmptyIdList()) {}

    HResult ParseDisplayName(const QString& displayName, PItemIDList& out) override
    {
        if (displayName == QLatin1String(names::ComputerParsing)) {
            out = makeItem(KindComputer, {});
            return S_OK;
        }
        if (displayName == QLatin1String(names::TrashParsing)) {
            out = makeItem(KindTrash, {});
            return S_OK;
        }
        QByteArray path = EncodeName(displayName);
        if (!path.startsWith('/'))
            return E_INVALIDARG;
        // Lexical clean-up: empty and "." parts vanish, ".." steps back.
        QList<QByteArray> parts;
        for (const QByteArray& p : path.split('/')) {
            if (p.isEmpty() || p == ".")
                continue;
            if (p == "..") {
                if (!parts.isEmpty())
                    parts.removeLast();
                continue;
            }
            parts.append(p);
        }
        QByteArray clean = "/" + parts.join('/');
        QByteArray root = DisplayedVolumeOf(clean);
        // The mount table vouches for a volume that may not answer: going to it must not wait.
        struct stat st;
        if (!VolumeMayStall(root) && ::stat(root.constData(), &st) != 0)
            return HResultFromErrno(errno);
        PItemIDList result = concat(makeItem(KindComputer, {}), makeItem(KindVolume, root));
        QByteArray cur = root;
        qsizetype skip = root == "/" ? 0 : root.count('/');
        for (qsizetype i = skip; i < parts.size(); ++i) {
            cur = joinPath(cur, parts[i]);
            int err = 0;
            // A share mounted here but not shown as a volume is still not asked.
            char kind = IsMountPointThatMayStall(cur) ? char(KindDir) : kindOfPath(cur, &err);
            if (!kind)
                return HResultFromErrno(err);
            result = concat(result, makeItem(kind, parts[i]));
        }
        out = result;
        return S_OK;
    }

    HResult EnumObjects(std::uint32_t flags, std::unique_ptr<IEnumIDList>& out) override
    {
        std::vector<PItemIDList> items;
        if (flags & SHCONTF_FOLDERS) {
            items.push_back(makeItem(KindHome, {}));
            items.push_back(makeItem(KindComputer, {}));
            items.push_back(makeItem(KindTrash, {}));
        }
        std::unique_ptr<IEnumIDList> tail;
        QByteArray desk = DesktopFolderPath();
        if (!desk.isEmpty() && Failed(enumFs(desk, flags, tail)))
            tail.reset();  // a missing desktop folder leaves the Desktop's own items
        out = std::make_unique<ListEnum>(std::move(items), std::move(tail));
        return S_OK;
    }

protected:
    HResult bindChild(const ItemRef& it, ShellFolderPtr& out) override
    {
        switch (it.kind) {
        case KindHome:
            out = NewFsFolder(HomeFolderPath(), makeItem(KindHome, {}));
            return S_OK;
        case KindComputer:
            out = NewComputerFolder();
            return S_OK;
        case KindTrash:
            out = NewTrashFolder();
            return S_OK;
        default:
            return bindFs(it, out);
        }
    }
    QByteArray childFolderPath(const ItemRef&) const override
    {
        QByteArray desk = DesktopFolderPath();
        return desk.isEmpty() ? QByteArray() : desk;
    }
    std::uint32_t childAttributes(const ItemRef& it, std::uint32_t mask, HResult& hr) override
    {
        switch (it.kind) {
        case KindHome:
            return SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_FILESYSTEM | SFGAO_HASSUBFOLDER | SFGAO_DROPTARGET
                   | SFGAO_CANLINK | SFGAO_HASPROPSHEET;
        case KindComputer:
            return SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER | SFGAO_HASPROPSHEET;
        case KindTrash:
            return SFGAO_FOLDER | SFGAO_DROPTARGET | SFGAO_HASPROPSHEET;
        default:
            return FolderBase::childAttributes(it, mask, hr);
        }
    }
    HResult childDisplayName(const ItemRef& it, std::uint32_t shgdn, QString& out) override
    {
        bool parsing = (shgdn & SHGDN_FORPARSING) && !(shgdn & SHGDN_INFOLDER);
        switch (it.kind) {
        case KindHome:
            out = parsing ? DecodeName(HomeFolderPath()) : QString::fromLatin1(names::Home);
            return S_OK;
        case KindComputer:
            out = QString::fromLatin1(parsing ? names::ComputerParsing : names::Computer);
            return S_OK;
        case KindTrash:
            out = QString::fromLatin1(parsing ? names::TrashParsing : names::Trash);
            return S_OK;
        default:
            return FolderBase::childDisplayName(it, shgdn, out);
        }
    }
    int kindRank(char k) const override
    {
        switch (k) {
        case KindHome:
            return 0;
        case KindComputer:
            return 1;
        case KindTrash:
            return 2;
        default:
            return 3;
        }
    }
};

} // namespace

ShellFolderPtr NewDesktopFolder()
{
    return std::make_shared<DesktopFolder>();
}

} // namespace corvane::platform::folders
