#pragma once
// What the graphics tests share: an explorer window with some items of a folder selected.
#include "explorer/Child.h"
#include "shellctl/ShellControls.h"
#include "tests/support/TestPhoto.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace corvane::test {

// Shows `folder` in the explorer window, selects `names` in its list and makes it current.
inline void SelectInExplorer(explorer::TfrmChild& child, const QString& folder, const QStringList& names)
{
    child.Tree1->SelectPath(folder);
    ASSERT_EQ(child.List1->Folder().Path(), folder);
    for (int row = 0; row < child.List1->Count(); ++row)
        if (names.contains(child.List1->DataOfIndex(row)->FileName()))
            child.List1->SelectionModel()->select(child.List1->ShellModel()->index(row, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    child.FormActivate();
}

} // namespace corvane::test
