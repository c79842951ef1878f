#pragma once
// The byte layout of item identifier lists, with bounds checks: lists reach us from the
// clipboard and from drags, so a malformed one must never be read past its end.
#include "ShellTypes.h"

#include <QByteArrayView>
#include <vector>

namespace corvane::platform {

// Bytes up to and including the terminator; 0 for null. A malformed list (a size past
// the end, or a size below 2) counts up to the last whole item plus a terminator.
qsizetype IdListByteSize(const PItemIDList& list);
// True when the bytes form one or more whole items ended by a terminator (or are empty list).
bool IsWellFormedIdList(QByteArrayView bytes);
// The payloads (without size prefixes) of the items, in order.
std::vector<QByteArrayView> IdListItems(const PItemIDList& list);
// A one-item list with the given payload.
PItemIDList MakeIdItem(QByteArrayView payload);
// The empty list: a lone terminator.
PItemIDList EmptyIdList();
// The list without its terminator, for joining.
QByteArrayView IdListBody(const PItemIDList& list);
// The items of `first` followed by those of `second`; null lists count as empty.
PItemIDList ConcatIdLists(const PItemIDList& first, const PItemIDList& second);

} // namespace corvane::platform
