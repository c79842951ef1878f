#pragma once
// The version lines of a Windows program file, read from its version resource.
#include <QByteArrayView>
#include <QString>

namespace corvane::preview {

// Eight lines ("Company Name: ..." to "Product Version: ..."), each ended by CR LF, or empty
// when the file has no usable version resource or cannot be read.
QString GetVersionText(const QString& path);
// The same for a file's bytes.
QString VersionTextOf(QByteArrayView file);

} // namespace corvane::preview
