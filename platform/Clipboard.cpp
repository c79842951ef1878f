#include "Clipboard.h"

#include "IdListFormat.h"
#include "NameCodec.h"
#include "Namespace.h"
#include "ShellVerbs.h"

#include <QMimeData>
#include <QtEndian>

namespace corvane::platform {

namespace {

// A clipboard with more items than this is not ours: refuse it rather than allocate wildly.
constexpr quint32 MaxCidaItems = 1u << 20;

void appendU32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

quint32 readU32(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Splits on CR/LF, dropping empty lines and uri-list comments.
std::vector<QByteArrayView> uriLines(QByteArrayView text)
{
    std::vector<QByteArrayView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
            QByteArrayView line = text.sliced(start, i - start).trimmed();
            if (!line.isEmpty() && line[0] != '#')
                lines.push_back(line);
            start = i + 1;
        }
    }
    return lines;
}

bool pathsFromUris(const std::vector<QByteArrayView>& lines, std::vector<QByteArray>* paths)
{
    for (QByteArrayView line : lines) {
        QByteArray p = FileUriToPath(line);
        if (!p.isEmpty())
            paths->push_back(p);
    }
    return !paths->empty();
}

} // namespace

QByteArray MakeCida(const PItemIDList& folderAbs, const std::vector<PItemIDList>& rels)
{
    const quint32 n = quint32(rels.size());
    QByteArray out;
    const qsizetype header = 4 + 4 * (qsizetype(n) + 1);
    out.reserve(header);
    appendU32(out, n);
    QByteArray body;
    auto place = [&](const PItemIDList& list) {
        appendU32(out, quint32(header + body.size()));
        const PItemIDList l = list.isEmpty() ? EmptyIdList() : list;
        body.append(l.constData(), IdListByteSize(l));
    };
    place(folderAbs);
    for (const PItemIDList& r : rels)
        place(r);
    out.append(body);
    return out;
}

bool ParseCida(const QByteArray& bytes, PItemIDList* folderAbs, std::vector<PItemIDList>* rels)
{
    if (bytes.size() < 8)
        return false;
    const quint32 n = readU32(bytes, 0);
    if (n > MaxCidaItems || 4 + 4 * (qsizetype(n) + 1) > bytes.size())
        return false;
    std::vector<PItemIDList> lists;
    lists.reserve(n + 1);
    for (quint32 i = 0; i <= n; ++i) {
        const quint32 off = readU32(bytes, 4 + 4 * qsizetype(i));
        if (off >= quint32(bytes.size()))
            return false;
        // The list runs to its terminator; a list that runs off the end is refused.
        const QByteArrayView rest = QByteArrayView(bytes).sliced(off);
        qsizetype at = 0;
        while (true) {
            if (at + 2 > rest.size())
                return false;
            const quint16 size = qFromLittleEndian<quint16>(rest.data() + at);
            if (size == 0)
                break;
            if (size < 2 || at + size > rest.size())
                return false;
            at += size;
        }
        lists.push_back(PItemIDList(rest.data(), at + 2));
    }
    if (folderAbs)
        *folderAbs = lists.front();
    if (rels)
        rels->assign(lists.begin() + 1, lists.end());
    return true;
}

QByteArray PathToFileUri(const QByteArray& path)
{
    // Unreserved characters and "/" stay; every other byte is escaped, so any name survives.
    return "file://" + path.toPercentEncoding("/");
}

QByteArray FileUriToPath(QByteArrayView uri)
{
    uri = uri.trimmed();
    if (!uri.startsWith("file://"))
        return {};
    // Only this machine's files: an empty host or "localhost".
    QByteArrayView rest = uri.sliced(7);
    if (rest.size() >= 10 && qstrnicmp(rest.data(), "localhost/", 10) == 0)
        rest = rest.sliced(9);
    if (!rest.startsWith('/'))
        return {};
    QByteArray decoded;
    decoded.reserve(rest.size());
    for (qsizetype i = 0; i < rest.size(); ++i) {
        char c = rest[i];
        if (c == '%' && i + 2 < rest.size() && hexValue(rest[i + 1]) >= 0 && hexValue(rest[i + 2]) >= 0) {
            c = char(hexValue(rest[i + 1]) * 16 + hexValue(rest[i + 2]));
            i += 2;
            // No name holds a slash: such an entry is not a file.
            if (c == '/')
                return {};
        } else if (c == '?' || c == '#') {
            break;
        }
        // A NUL cannot be part of a path either.
        if (c == '\0')
            return {};
        decoded.append(c);
    }
    // Dot segments are resolved as the URI standard does, by their text, so every path given
    // out names an entry by its own name, never "." or ".." (which would become the target's name).
    std::vector<QByteArray> kept;
    for (const QByteArray& segment : decoded.split('/')) {
        if (segment.isEmpty() || segment == ".")
            continue;
        if (segment == "..") {
            if (!kept.empty())
                kept.pop_back();
            continue;
        }
        kept.push_back(segment);
    }
    QByteArray path;
    path.reserve(decoded.size());
    for (const QByteArray& segment : kept) {
        path += '/';
        path += segment;
    }
    return path.isEmpty() ? QByteArray("/") : path;
}

std::unique_ptr<QMimeData> MakeClipboardData(const ClipboardFiles& files, const PItemIDList& folderAbs,
                                             const std::vector<PItemIDList>& rels)
{
    auto data = std::make_unique<QMimeData>();
    if (!rels.empty())
        data->setData(QString::fromLatin1(MimeIdListArray), MakeCida(folderAbs, rels));
    QByteArray uris;
    QByteArray gnome = files.cut ? "cut" : "copy";
    QString text;
    for (const QByteArray& p : files.paths) {
        const QByteArray uri = PathToFileUri(p);
        uris += uri + "\r\n";
        gnome += '\n' + uri;
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += ReadableName(p);
    }
    data->setData(QString::fromLatin1(MimeUriList), uris);
    data->setData(QString::fromLatin1(MimeGnomeCopiedFiles), gnome);
    data->setData(QString::fromLatin1(MimeKdeCutSelection), files.cut ? "1" : "0");
    data->setData(QString::fromLatin1(MimePlainText), text.toUtf8());
    return data;
}

bool ReadClipboardFiles(const QMimeData* data, ClipboardFiles* out)
{
    if (!data)
        return false;
    ClipboardFiles files;
    const QString gnomeType = QString::fromLatin1(MimeGnomeCopiedFiles);
    const bool cutMark = data->hasFormat(gnomeType) ? data->data(gnomeType).startsWith("cut")
                                                    : data->data(QString::fromLatin1(MimeKdeCutSelection)).startsWith('1');
    const QString ours = QString::fromLatin1(MimeIdListArray);
    if (data->hasFormat(ours)) {
        PItemIDList folder;
        std::vector<PItemIDList> rels;
        if (ParseCida(data->data(ours), &folder, &rels)) {
            for (const PItemIDList& r : rels) {
                QByteArray p = PathBytesFromIdList(ConcatIdLists(folder, r));
                if (!p.isEmpty())
                    files.paths.push_back(p);
            }
        }
    }
    if (files.paths.empty() && data->hasFormat(gnomeType)) {
        // First line "copy" or "cut", then one URI per line.
        std::vector<QByteArrayView> lines = uriLines(data->data(gnomeType));
        if (!lines.empty() && (lines.front() == "copy" || lines.front() == "cut")) {
            lines.erase(lines.begin());
            pathsFromUris(lines, &files.paths);
        }
    }
    if (files.paths.empty())
        pathsFromUris(uriLines(data->data(QString::fromLatin1(MimeUriList))), &files.paths);
    if (files.paths.empty())
        return false;
    files.cut = cutMark;
    if (out)
        *out = std::move(files);
    return true;
}

bool HasPasteableFiles(const QMimeData* data)
{
    return ReadClipboardFiles(data, nullptr);
}

CutItems& CutItems::instance()
{
    static CutItems items;
    return items;
}

void CutItems::set(const std::vector<QByteArray>& paths)
{
    m_paths = QSet<QByteArray>(paths.begin(), paths.end());
    emit changed();
}

void CutItems::clear()
{
    if (m_paths.isEmpty())
        return;
    m_paths.clear();
    emit changed();
}

} // namespace corvane::platform
