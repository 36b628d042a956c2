// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the Test window and of the Version window it opens, against the
// simulated safe, with the settings in a temporary home.
#include "Resource.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "TempSettingsHome.h"
#include "TestDlg.h"
#include "UiTest.h"


#include <gtest/gtest.h>

TEST(Screenshots, TestAndVersionWindows)
{
    testsupport::TempSettingsHome home;
    ASSERT_TRUE(home.isValid());
    testsupport::SimSafeProcess safe;
    ASSERT_TRUE(safe.start()) << safe.errorText();
    ASSERT_TRUE(settings::SetSerialPort(safe.portPath()));
    // The folder a user on Linux sees by default, rather than the temporary home.
    ASSERT_TRUE(settings::SetArduinoPath("/home/ada/.local/share/Vandrel/arduino-0012X"));

    TestDlg dialog;
    uitest::OnNextModal([](QWidget *w) {
        uitest::TypeInto(w, res::test::CommandText, QStringLiteral("V"));
        uitest::Control(w, res::test::Send)->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(uitest::SaveScreenshot(w, uitest::ScreenshotPath("test-window")));
        uitest::OnNextModal([](QWidget *version) {
            EXPECT_TRUE(uitest::SaveScreenshot(version, uitest::ScreenshotPath("version-window")));
            uitest::PressKey(version, Qt::Key_Escape);
        });
        uitest::Click(w, res::test::GetVersion);
        uitest::PressKey(w, Qt::Key_Escape);
    });
    dialog.DoModal();
}
