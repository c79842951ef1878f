#pragma once
// The file-tool dialogs read the current explorer window: an explorer window on a folder with
// some of its items selected, made the current one.
#include "explorer/Child.h"
#include "platform/NameCodec.h"
#include "shellctl/ShellControls.h"

#include <QByteArray>
#include <QList>
#include <gtest/gtest.h>

namespace corvane::test {

inline void BrowseAndSelect(explorer::TfrmChild& child, const QByteArray& folder, const QList<QByteArray>& names)
{
    child.Tree1->SelectPath(platform::DecodeName(folder));
    ASSERT_EQ(child.List1->Folder().Path(), platform::DecodeName(folder));
    for (int row = 0; row < child.List1->Count(); ++row) {
        if (names.contains(platform::EncodeName(child.List1->DataOfIndex(row)->FileName())))
            child.List1->SelectionModel()->select(child.List1->ShellModel()->index(row, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    child.FormActivate();
}

} // namespace corvane::test
