#pragma once
// What a previewed web page may load: local files beside it, nothing from the network, so a
// preview never tells anyone that a file was opened.
#include <QByteArray>

class QUrl;

namespace corvane::preview {

// The URL that names a raw local path, byte for byte (names need not be UTF-8).
QUrl LocalFileUrl(const QByteArray& path);

// Whether a page shown from the raw folder `folder` may load `url`: only a file in that folder
// or below it. Other schemes, other hosts and the machine's other files are refused.
bool WebRequestAllowed(const QUrl& url, const QByteArray& folder);

} // namespace corvane::preview
