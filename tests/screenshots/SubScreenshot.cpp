// SPDX-License-Identifier: GPL-3.0-or-later
// A picture of the Sub window after the wearer has applied a lock code for
// 1 day, 2 hours, 3 minutes and 4 seconds: the simulated safe is locked for a
// time it shows, and the status line tells how long. Settings in a temporary
// home.
#include "KeyCodes.h"
#include "MessageBox.h"
#include "Resource.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "SubDlg.h"
#include "TempSettingsHome.h"
#include "UiTest.h"

#include <QLabel>

#include <gtest/gtest.h>

TEST(Screenshots, SubWindow)
{
    using namespace res::sub;
    testsupport::TempSettingsHome home;
    ASSERT_TRUE(home.isValid());
    testsupport::SimSafeProcess safe;
    ASSERT_TRUE(safe.start()) << safe.errorText();
    ASSERT_TRUE(settings::SetSerialPort(safe.portPath()));

    const keycodes::KeyCodes codes = keycodes::MakeKeyCodes(93784, 0);
    dialogkit::MessageRecorder messages;
    SubDlg dialog;
    uitest::OnNextModal([&](QWidget *w) {
        uitest::TypeInto(w, Code, QString::fromStdString(codes.lockCode));
        uitest::Click(w, ApplyCode);
        EXPECT_EQ(uitest::Texts(messages),
                  QStringList({"Lock code GOOD, sending to safe", "Safe locked for 93784 seconds"}));
        const QString status = qobject_cast<QLabel *>(uitest::Control(w, Status))->text();
        EXPECT_TRUE(status.startsWith("1 days 2 hours 3 minutes")) << status.toStdString();
        EXPECT_TRUE(uitest::SaveScreenshot(w, uitest::ScreenshotPath("sub-window")));
        uitest::PressKey(w, Qt::Key_Escape);
    });
    dialog.DoModal();
}
