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
using windowtest::TextOf;

namespace {

// A failing table row is named by its description.
template <class Case>
auto operator<<(std::ostream &out, const Case &c) -> decltype(c.what, out)
{
    return out << c.what;
}

struct Case {
    const char *what;
    std::vector<std::string> safeArgs; // the simulated safe's options
    bool safeGone;
    QString firmware;
    std::function<void(QWidget *)> close;
    int result;
};

class VersionWindow : public ::testing::TestWithParam<Case> {};

// Whatever the safe answers, the window shows the build's stamp and the
// firmware line, puts the focus on 'Done', shows no message, and every way of
// closing just closes it.
TEST_P(VersionWindow, ShowsThisBuildsStampAndTheFirmwareAsSentOrUnknown)
{
    const Case &c = GetParam();
    testsupport::TempSettingsHome home;
    dialogkit::MessageRecorder messages;
    testsupport::SimSafeProcess safe;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(safe.start(c.safeArgs)) << safe.errorText();
    ASSERT_TRUE(settings::SetSerialPort(QString::fromStdString(safe.portPath())));
    if (c.safeGone)
        safe.stop();

    QString software;
    CVersion dialog;
    OnNextModal([&](QWidget *w) {
        software = TextOf(w, SoftwareVersion);
        EXPECT_EQ(TextOf(w, FirmwareVersion), c.firmware);
        EXPECT_EQ(FocusedId(w), Done);
        windowtest::ExpectEveryLabelFits(w);
        c.close(w);
    });
    EXPECT_EQ(dialog.DoModal(), c.result);

    const QRegularExpression form(
        QStringLiteral(R"(^Software version: 1 - [A-Z][a-z]{2} [ 123]\d \d{4}, \d\d:\d\d:\d\d$)"));
    EXPECT_TRUE(form.match(software).hasMatch()) << software.toStdString();
    EXPECT_TRUE(messages.messages.empty());
}

const auto kDone = [](QWidget *w) { Click(w, Done); };
const auto kEnter = [](QWidget *w) { PressKey(w, Qt::Key_Return); };
const auto kEscape = [](QWidget *w) { PressKey(w, Qt::Key_Escape); };
const auto kCloseBox = [](QWidget *w) { w->close(); };

INSTANTIATE_TEST_SUITE_P(
    Answers, VersionWindow,
    ::testing::Values(
        Case{"ItsOwnVersionDone", {}, false, "Cadrelle 1 simulated", kDone, dialogkit::IDOK},
        Case{"TextAsSentEnter", {"--reply", "  Cadrelle 0-9 beta, 16 MHz "}, false,
             "  Cadrelle 0-9 beta, 16 MHz ", kEnter, dialogkit::IDOK},
        // Three full stops alone: an empty reply, not a failure.
        Case{"EmptyReplyEscape", {"--reply", ""}, false, "", kEscape, dialogkit::IDCANCEL},
        Case{"CopiesDisagreeCloseBox", {"--misbehave", "disagree"}, false, "Unknown", kCloseBox,
             dialogkit::IDCANCEL},
        Case{"SafeGoneEscape", {}, true, "Unknown", kEscape, dialogkit::IDCANCEL}),
    [](const auto &info) { return std::string(info.param.what); });

} // namespace
