#pragma once
// Collections in the component stream layout: the collection marker, then per item a list
// marker, the item's stored properties (short-string name, tagged value) and an end marker,
// then a final end marker. Items are QObjects; their stored, writable properties are
// streamed.
#include <QByteArray>

namespace corvane::settings {

class TPCollection;

// The whole stream, starting with the collection marker.
QByteArray WriteCollection(const TPCollection& Collection);
// Replaces the items with those read from Data (which starts after the collection marker).
// Malformed data ends the reading; the items read until then stay. Returns false then.
bool ReadCollection(TPCollection& Collection, const QByteArray& Data);

} // namespace corvane::settings
