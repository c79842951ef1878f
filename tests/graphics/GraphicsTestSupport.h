#pragma once
// What the graphics tests share: a picture with many colours, and an explorer window with some
// items of a folder selected.
#include "explorer/Child.h"
#include "shellctl/ShellControls.h"

#include <QImage>
#include <QStringList>
#include <gtest/gtest.h>

namespace corvane::test {

// Gradients crossed with a pattern: thousands of colours, as in a photo.
inline QImage TestPhoto(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x / 4 + y / 4) % 2 ? 220 : (x * y) % 256));
    return image;
}

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
