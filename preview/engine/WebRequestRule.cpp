#include "WebRequestRule.h"

#include "platform/Clipboard.h"

#include <QUrl>

namespace corvane::preview {

QUrl LocalFileUrl(const QByteArray& path)
{
    return QUrl::fromEncoded(platform::PathToFileUri(path), QUrl::StrictMode);
}

bool WebRequestAllowed(const QUrl& url, const QByteArray& folder)
{
    if (url.scheme() != QLatin1String("file") || folder.isEmpty())
        return false;
    // The path as the file system will see it: percent escapes decoded, dot segments resolved,
    // a foreign host refused.
    const QByteArray path = platform::FileUriToPath(url.toEncoded(QUrl::RemoveQuery | QUrl::RemoveFragment));
    if (path.isEmpty())
        return false;
    const QByteArray prefix = folder.endsWith('/') ? folder : folder + '/';
    return path.startsWith(prefix);
}

} // namespace corvane::preview
