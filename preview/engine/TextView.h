#pragma once
// The texts the preview shows for files: filtered bytes and plain text decoding.
#include <QByteArrayView>
#include <QString>

namespace corvane::preview {

// Printable ASCII, line feeds and carriage returns kept in order, every other byte removed,
// and the text padded with spaces back to the length of the bytes.
QString FilteredText(QByteArrayView bytes);
// Text as UTF-8 when the bytes are valid UTF-8, as Windows-1252 otherwise; a UTF-8 byte-order
// mark is dropped, and one of UTF-16 reads the rest as UTF-16.
QString DecodePlainText(QByteArrayView bytes);

} // namespace corvane::preview
