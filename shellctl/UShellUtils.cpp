#include "UShellUtils.h"

#include "core/SizeText.h"

#include "UShConsts.h"
#include "platform/DesktopEntry.h"
#include "platform/IdListFormat.h"
#include "platform/NameCodec.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QUrl>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::shellctl {

using namespace platform;

qsizetype IdListSize(const PItemIDList& list)
{
    return IdListByteSize(list);
}

PItemIDList CopyIdList(const PItemIDList& list)
{
    if (list.isNull())
        return EmptyIdList();
    QByteArrayView body = IdListBody(list);
    PItemIDList out(body.data(), body.size());
    out.append(2, '\0');
    return out;
}

int CompareIdLists(const PItemIDList& a, const PItemIDList& b)
{
    if (a.isNull() && b.isNull())
        return 0;
    if (a.isNull() || b.isNull())
        return -1;
    bool ea = IdListSize(a) == 2, eb = IdListSize(b) == 2;
    if (ea && eb)
        return 0;
    if (ea || eb)
        return -1;
    ShellFolderPtr desktop = SHGetDesktopFolder();
    if (!desktop)
        return CompareFailed;
    HResult hr = desktop->CompareIDs(0, a, b);
    if (Failed(hr))
        return CompareFailed;
    return CompareResultOrder(hr);
}

int BytewiseCompareIdLists(const PItemIDList& a, const PItemIDList& b)
{
    qsizetype sa = IdListSize(a), sb = IdListSize(b);
    qsizetype n = qMin(sa, sb);
    for (qsizetype i = 0; i < n; ++i) {
        auto x = quint8(a.constData()[i]), y = quint8(b.constData()[i]);
        if (x != y)
            return int(x) - int(y);
    }
    return int(sa - sb);
}

HResult IdListFromPath(const QString& path, PItemIDList& out)
{
    // The platform limit of a path; longer ones are cut as the wide-string buffer would.
    QString p = path.left(PATH_MAX);
    // The user's own files are reached through Home, as the tree offers them, not through the
    // file system's root.
    const QString home = DecodeName(HomeFolderPath());
    if (home.size() > 1 && p.startsWith(QLatin1Char('/'))) {
        const QString clean = QDir::cleanPath(p);
        if (clean == home || clean.startsWith(home + QLatin1Char('/'))) {
            PItemIDList homeId, rel;
            ShellFolderPtr folder;
            if (Succeeded(SHGetSpecialFolderLocation(CSIDL_PERSONAL, homeId)) && Succeeded(BindToFolder(homeId, folder))
                && Succeeded(folder->ParseDisplayName(clean.mid(home.size()), rel))) {
                out = ConcatIdLists(homeId, rel);
                return S_OK;
            }
        }
    }
    return SHGetDesktopFolder()->ParseDisplayName(p, out);
}

QString PathFromIdList(const PItemIDList& list)
{
    QString path;
    SHGetPathFromIDList(list.isNull() ? EmptyIdList() : list, path);
    return path;
}

QString SpecialFolderPath(int csidl)
{
    PItemIDList id;
    if (Failed(SHGetSpecialFolderLocation(csidl, id)))
        return {};
    return PathFromIdList(id);
}

QString GetDisplayName(const ShellFolderPtr& folder, const PItemIDList& rel, TDisplayNameKind kind)
{
    static constexpr std::uint32_t map[] = {SHGDN_NORMAL, SHGDN_INFOLDER, SHGDN_FORPARSING};
    ShellFolderPtr f = folder ? folder : SHGetDesktopFolder();
    QString name;
    if (Failed(f->GetDisplayNameOf(rel, map[kind], name)))
        return {};
    return name;
}

int SysIconIndex(const PItemIDList& abs, unsigned flags)
{
    try {
        return SHGetIconIndex(abs.isNull() ? EmptyIdList() : abs, flags);
    } catch (...) {
        return 0;
    }
}

HResult SplitIdList(const PItemIDList& abs, ShellFolderPtr& parent, PItemIDList& parentList, PItemIDList& last)
{
    PItemIDList id = abs;
    std::vector<QByteArrayView> items = IdListItems(id);
    if (items.empty()) {
        HResult hr = IdListFromPath(SpecialFolderPath(CSIDL_DESKTOPDIRECTORY), id);
        if (Failed(hr))
            return hr;
        items = IdListItems(id);
        if (items.empty())
            return E_FAIL;
    }
    if (items.size() == 1) {
        parent = SHGetDesktopFolder();
        parentList = PItemIDList();
        last = CopyIdList(id);
        return S_OK;
    }
    qsizetype lastStart = items.back().data() - 2 - id.constData();
    parentList = PItemIDList(id.constData(), lastStart);
    parentList.append(2, '\0');
    last = MakeIdItem(items.back());
    return BindToFolder(parentList, parent);
}

void CheckResult(HResult hr)
{
    if (Failed(hr))
        throw EShellError(SystemMessage(hr));
}

QString FormatStrPos(const QString& templ, const QStringList& strings)
{
    if (strings.size() > 50)
        throw EShellError(QString::fromLatin1(texts::TooManySubstitutions));
    if (templ.isEmpty())
        return {};
    QString out;
    for (qsizetype i = 0; i < templ.size(); ++i) {
        QChar c = templ[i];
        if (c == QLatin1Char('%') && i + 1 < templ.size()) {
            QChar d = templ[i + 1];
            if (d == QLatin1Char('%')) {
                out += QLatin1Char('%');
                ++i;
                continue;
            }
            if (d.isDigit() && d != QLatin1Char('0')) {
                int n = d.digitValue();
                qsizetype j = i + 2;
                if (j < templ.size() && templ[j].isDigit() && n * 10 + templ[j].digitValue() <= 99) {
                    n = n * 10 + templ[j].digitValue();
                    ++j;
                }
                if (n > strings.size())
                    return {};  // a marker without its string: the formatting fails
                out += strings[n - 1];
                i = j - 1;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString FormatSizeKB(qint64 bytes)
{
    return core::SizeTextKB(bytes);
}

QString ItemTypeName(const PItemIDList& abs, std::uint32_t attributes)
{
    if (!(attributes & SFGAO_FILESYSTEM))
        return QString::fromLatin1(texts::SystemFolder);
    return SHGetTypeName(abs).left(80);
}

namespace {

void fillFindData(const QByteArray& target, TFindData& fd)
{
    struct stat st;
    fd.FileName = DecodeName(target.mid(target.lastIndexOf('/') + 1));
    if (::stat(target.constData(), &st) != 0)
        return;
    fd.Size = S_ISDIR(st.st_mode) ? 0 : qint64(st.st_size);
    fd.LastWrite = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
    fd.Attributes = SFGAO_FILESYSTEM | (S_ISDIR(st.st_mode) ? std::uint32_t(SFGAO_FOLDER) : 0u);
}

} // namespace

HResult ReadShortcut(const QString& path, bool wantIdList, TLinkData& data)
{
    data = TLinkData();
    QByteArray link = EncodeName(path);
    struct stat st;
    if (::lstat(link.constData(), &st) != 0)
        return HResultFromErrno(errno);
    QByteArray target;
    if (S_ISLNK(st.st_mode)) {
        std::array<char, PATH_MAX> buf;
        ssize_t n = ::readlink(link.constData(), buf.data(), buf.size() - 1);
        if (n < 0)
            return HResultFromErrno(errno);
        target = QByteArray(buf.data(), n);
        if (!target.startsWith('/'))
            target = link.left(link.lastIndexOf('/') + 1) + target;
        data.WorkingDirectory = DecodeName(link.left(link.lastIndexOf('/')));
    } else if (path.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive) && S_ISREG(st.st_mode)) {
        DesktopLink desktop;
        if (!ReadDesktopLink(link, &desktop))
            return E_INVALIDARG;
        const QUrl url(desktop.url);
        if (!url.isLocalFile() || !(url.host().isEmpty() || url.host() == QLatin1String("localhost")))
            return E_INVALIDARG;
        // Byte by byte: a percent-encoded name need not be UTF-8.
        target = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (target.isEmpty() || target.contains('\0'))
            return E_INVALIDARG;
        data.Description = desktop.comment.left(260);
        data.IconPath = desktop.icon.left(260);
    } else {
        return E_INVALIDARG;
    }
    // Resolve "." and ".." lexically; the target itself may be missing (a broken link).
    char* real = ::realpath(target.constData(), nullptr);
    if (real) {
        target = QByteArray(real);
        ::free(real);
    }
    data.Path = DecodeName(target);
    fillFindData(target, data.FindData);
    if (wantIdList) {
        HResult hr = IdListFromPath(data.Path, data.IdList);
        if (Failed(hr))
            return hr;
    }
    return S_OK;
}

} // namespace corvane::shellctl
