// SPDX-License-Identifier: GPL-3.0-or-later
// The Version window, driven headless against the simulated safe, with the
// settings store in a temporary home.
#include "CVersion.h"
#include "MessageBox.h"
#include "Resource.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "WindowTestSupport.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace res::version;
using namespace uitest;

namespace {

// Whatever the safe answers, the window shows the build's stamp and the
// firmware line, puts the focus on 'Done', shows no message, and every way of
// closing just closes it.
TEST(VersionWindow, ShowsTheBuildsStampAndTheFirmwareAsSentOrUnknown)
{
    const struct {
        std::string safeControl;
        QString firmware;
        void (*close)(QWidget *);
        int result;
    } cases[] = {
        {"reply-off", "Cadrelle 1 simulated", [](QWidget *w) { Click(w, Done); }, dialogkit::IDOK},
        {"reply   Cadrelle 0-9 beta, 16 MHz ", "  Cadrelle 0-9 beta, 16 MHz ",
         [](QWidget *w) { PressKey(w, Qt::Key_Return); }, dialogkit::IDOK},
        // Three full stops alone: an empty reply, not a failure.
        {"reply", "", [](QWidget *w) { PressKey(w, Qt::Key_Escape); }, dialogkit::IDCANCEL},
        {"misbehave disagree", "Unknown", [](QWidget *w) { w->close(); }, dialogkit::IDCANCEL},
    };
    testsupport::TempSettingsHome home;
    dialogkit::MessageRecorder messages;
    testsupport::SimSafeProcess safe;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(safe.start()) << safe.errorText();
    ASSERT_TRUE(settings::SetSerialPort(safe.portPath()));
    const QRegularExpression form(
        QStringLiteral(R"(^Software version: 1 - [A-Z][a-z]{2} [ 123]\d \d{4}, \d\d:\d\d:\d\d$)"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.safeControl);
        ASSERT_EQ(safe.control(c.safeControl), "ok");
        CVersion dialog;
        OnNextModal([&](QWidget *w) {
            EXPECT_TRUE(form.match(TextOf(w, SoftwareVersion)).hasMatch()) << TextOf(w, SoftwareVersion).toStdString();
            EXPECT_EQ(TextOf(w, FirmwareVersion), c.firmware);
            EXPECT_EQ(FocusedId(w), Done);
            windowtest::ExpectEveryLabelFits(w);
            ExpectEveryControlReachable(w);
            c.close(w);
        });
        EXPECT_EQ(dialog.DoModal(), c.result);
    }
    EXPECT_TRUE(messages.messages.empty());
}

} // namespace
