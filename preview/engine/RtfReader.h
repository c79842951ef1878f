#pragma once
// A reader of rich text into a text document: fonts, sizes, styles, colours, alignment and
// the escaped characters; pictures and groups it does not know are skipped.
#include <QByteArrayView>

class QTextDocument;

namespace corvane::preview {

// Whether the bytes are rich text (they start with "{\rtf").
bool IsRtf(QByteArrayView bytes);
// Fills `document` from rich-text bytes; damaged input gives what could be read.
void ReadRtf(QByteArrayView bytes, QTextDocument& document);

} // namespace corvane::preview
