#pragma once
// File names on Linux are bytes. Corvane carries them in QString with the bytes that are
// not valid UTF-8 mapped to lone surrogates U+DC80..U+DCFF, so every name the file system
// can hold round-trips exactly (the scheme Python calls "surrogateescape").
#include <QByteArray>
#include <QString>

namespace corvane::core {

// Raw name bytes -> QString; invalid UTF-8 bytes become U+DC80 + byte.
QString DecodeName(const QByteArray& bytes);
// QString from DecodeName (or typed by the user) -> the raw bytes.
QByteArray EncodeName(const QString& name);
// Raw name bytes -> a text fit to show: invalid bytes as U+FFFD, control characters as U+FFFD.
QString ReadableName(const QByteArray& bytes);
// True when the text holds escaped bytes (the name was not valid UTF-8).
bool HasEscapedBytes(const QString& name);

// The folder of a raw absolute path ("/" for items of the root) and its last component.
QByteArray ParentOf(const QByteArray& path);
QByteArray BaseName(const QByteArray& path);

} // namespace corvane::core
