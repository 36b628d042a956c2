// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of each window as a user sees it, saved as PNG files into
// $VANDREL_SCREENSHOT_DIR (scripts/screenshots.sh points it at
// docs/screenshots).
#include "CCadrelleControllerDlg.h"
#include "MasterDlg.h"
#include "Resource.h"
#include "UiTest.h"


#include <gtest/gtest.h>

TEST(Screenshots, MainWindow)
{
    CCadrelleControllerDlg dialog;
    uitest::OnNextModal([](QWidget *w) {
        EXPECT_TRUE(uitest::SaveScreenshot(w, uitest::ScreenshotPath("main-window")));
        uitest::PressKey(w, Qt::Key_Escape);
    });
    dialog.DoModal();
}

TEST(Screenshots, MasterWindow)
{
    using namespace res::master;
    MasterDlg dialog;
    uitest::OnNextModal([](QWidget *w) {
        uitest::Click(w, LockForTime);
        uitest::TypeInto(w, Days, "1");
        uitest::TypeInto(w, Hours, "2");
        uitest::TypeInto(w, Minutes, "30");
        uitest::Click(w, GenerateKeyCode);
        EXPECT_TRUE(uitest::SaveScreenshot(w, uitest::ScreenshotPath("master-window")));
        uitest::PressKey(w, Qt::Key_Escape);
    });
    dialog.DoModal();
}
