#pragma once
// Names in an in-place editor. The editor gets the item's lossless name (bytes that are not
// UTF-8 travel as lone surrogates, see platform/NameCodec, and show as U+FFFD); control
// characters, which an editor would show as blanks, appear as their pictures (U+2400 + c,
// U+2421 for DEL) and become themselves again when the edit is committed. So an edit changes
// only what the user typed.
#include "UShellUtils.h"

namespace corvane::shellctl {

// The name to edit: the item's own name where the shown one is its readable form (files and
// folders), otherwise the shown name (labels of virtual items).
QString EditableName(const ShellFolderPtr& folder, const PItemIDList& rel, const QString& shown);
// The editor's text for a name.
QString NameToEditText(const QString& name);
// The name an edited text stands for; original is the name the editor was given.
QString NameFromEditText(const QString& text, const QString& original);

} // namespace corvane::shellctl
