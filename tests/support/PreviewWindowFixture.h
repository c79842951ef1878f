#pragma once
// The main window with its preview window open, tiled beside one explorer window; settings in
// memory, files in a temporary folder.
#include "app/Globals.h"
#include "app/Mainform.h"
#include "platform/Registry.h"
#include "preview/Preview.h"
#include "tests/support/TempDir.h"

#include <QTest>

#include <gtest/gtest.h>

namespace corvane::test {

struct PreviewWindowFixture : ::testing::Test {
    PreviewWindowFixture() { platform::setCurrentUserHive(platform::Hive::inMemory()); }
    app::TfrmMain main;
    TempDir dir;

    void SetUp() override
    {
        main.resize(1200, 800);
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
        main.actPreview->trigger();
        ASSERT_NE(preview(), nullptr);
        main.actTileVert->trigger();
    }
    preview::TfrmPreview* preview() const { return qobject_cast<preview::TfrmPreview*>(app::frmPreview.data()); }
};

} // namespace corvane::test
