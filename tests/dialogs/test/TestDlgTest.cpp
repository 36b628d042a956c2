// The Test window, driven headless through clicks and key presses against the
// simulated safe on a pseudo-terminal, with messages recorded and the settings
// store in a temporary home, read back from disk afterwards.
#include "CVersion.h"
#include "MessageBox.h"
#include "PortChoices.h"
#include "Resource.h"
#include "ScriptedPeer.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "TestDlg.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <gtest/gtest.h>

#include <optional>

using namespace res::test;
using namespace std::chrono_literals;
using dialogkit::MessageRecorder;
using testsupport::PeerReply;
using testsupport::ScriptedPeer;
using uitest::Click;
using uitest::Control;
using uitest::OnNextModal;
using uitest::PressKey;
using uitest::TypeInto;
using windowtest::ChooseInList;
using windowtest::Selected;
using windowtest::TextOf;

namespace {

const QString kSimulatedVersion = QStringLiteral("Cadrelle 1 simulated");
const QString kTypedFolder = QStringLiteral("/srv/Arduino 0012 X/");

// A failing table row is named by its description.
template <class Case>
auto operator<<(std::ostream &out, const Case &c) -> decltype(c.what, out)
{
    return out << c.what;
}

class TestWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(safe.start()) << safe.errorText();
        safePort = QString::fromStdString(safe.portPath());
    }

    std::optional<QString> Stored(const char *name) const { return windowtest::Stored(home, name); }

    // Opens the Test window, runs the script in it, and returns how it ended.
    int Run(std::function<void(QWidget *)> script)
    {
        TestDlg dialog;
        OnNextModal(std::move(script));
        return dialog.DoModal();
    }

    testsupport::TempSettingsHome home;
    testsupport::SimSafeProcess safe;
    MessageRecorder messages;
    QString safePort;
};

// --- The port list on opening, and what the next button stores -------------

struct OpeningCase {
    const char *what;
    std::optional<QString> stored; // nothing: a fresh store
    QString selected;              // "" : no item selected
    int nextButton;
    QString storedAfter;
    QString message; // of the next button; "" for none
};

class TestWindowOpening : public TestWindow, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(TestWindowOpening, SelectsTheStoredPortAndTheNextButtonStoresTheSelection)
{
    const OpeningCase c = GetParam();
    if (c.stored) {
        ASSERT_TRUE(settings::SetSerialPort(*c.stored));
    }
    const std::optional<QString> before = Stored("SerialPort");

    const int result = Run([&](QWidget *w) {
        EXPECT_EQ(Selected(w, PortList), c.selected);
        EXPECT_EQ(TextOf(w, ArduinoFolder), settings::DefaultArduinoPath());
        EXPECT_EQ(TextOf(w, CommandText), "");
        EXPECT_EQ(uitest::FocusedId(w), Send);
        // Opening writes nothing.
        EXPECT_EQ(Stored("SerialPort"), before);
        EXPECT_EQ(Stored("ArduinoPath"), std::nullopt);
        Click(w, c.nextButton);
        if (w->isVisible())
            Click(w, dialogkit::IDCANCEL);
    });

    EXPECT_EQ(result, dialogkit::IDCANCEL);
    EXPECT_EQ(Stored("SerialPort"), c.storedAfter);
    EXPECT_EQ(Stored("ArduinoPath"), settings::DefaultArduinoPath());
    if (c.message.isEmpty()) {
        EXPECT_TRUE(messages.messages.empty());
    } else {
        EXPECT_EQ(messages.texts(), QStringList{c.message});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ports, TestWindowOpening,
    ::testing::Values(
        OpeningCase{"StoredCom3", "COM3", "COM3", dialogkit::IDCANCEL, "COM3", ""},
        OpeningCase{"LowerCaseCom5", "com5", "COM5", dialogkit::IDCANCEL, "COM5", ""},
        OpeningCase{"PrefixOfEveryItem", "COM", "COM1", dialogkit::IDCANCEL, "COM1", ""},
        // No item begins with COM12: nothing selected, an empty port stored,
        // and exchanges fail until a port is chosen.
        OpeningCase{"Com12MatchesNothing", "COM12", "", TestLock, "", "Failed"},
        OpeningCase{"FreshStore", std::nullopt, "COM4", dialogkit::IDCANCEL, "COM4", ""}),
    [](const auto &info) { return std::string(info.param.what); });

TEST_F(TestWindow, ListHoldsComOneToNineAndTheStoredDevicePathSortedAndSelected)
{
    ASSERT_TRUE(settings::SetSerialPort(safePort));
    QStringList expected;
    for (int n = 1; n <= 9; ++n)
        expected << QStringLiteral("COM%1").arg(n);
    expected << ExtraPortChoices(safePort);
    expected.sort(Qt::CaseInsensitive);

    Run([&](QWidget *w) {
        const QStringList items = windowtest::Items(w, PortList);
        EXPECT_EQ(items, expected);
        EXPECT_TRUE(items.contains(safePort));
        EXPECT_EQ(Selected(w, PortList), safePort);
        Click(w, TestLock);
        PressKey(w, Qt::Key_Escape);
    });
    EXPECT_EQ(messages.texts(), QStringList{"Lock succeeded"});
    EXPECT_EQ(Stored("SerialPort"), safePort);
}

TEST_F(TestWindow, TheClosedListShowsAWholeDevicePath)
{
    // Where scripts/run.sh puts the simulated safe's link, in a checkout
    // below a home folder.
    const QString link = QStringLiteral("/home/ada/src/vandrel/build/dev/try/safe-port");
    ASSERT_TRUE(settings::SetSerialPort(link));
    Run([&](QWidget *w) {
        QComboBox *list = windowtest::ListOf(w, PortList);
        ASSERT_EQ(list->currentText(), link);
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.currentText = link;
        const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                          QStyle::SC_ComboBoxEditField, list);
        EXPECT_LE(list->fontMetrics().horizontalAdvance(link), field.width());
        PressKey(w, Qt::Key_Escape);
    });
}

TEST_F(TestWindow, OnLinuxTheListAlsoOffersTheSystemsSerialDevices)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "on Windows the list holds COM1 to COM9 only";
#else
    EXPECT_TRUE(ExtraPortChoices(QStringLiteral("COM4")).filter(QStringLiteral("/dev/ttyS0")).isEmpty())
        << "COM1 already names /dev/ttyS0";
    EXPECT_EQ(ExtraPortChoices(QStringLiteral("/dev/ttyUSB7")).count(QStringLiteral("/dev/ttyUSB7")), 1);
    EXPECT_EQ(ExtraPortChoices(QStringLiteral("/dev/ttyS2")).count(QStringLiteral("/dev/ttyS2")), 1)
        << "a stored device stays selectable even where a COMn names it";
#endif
}

// --- Every way of closing, and every button, writes both settings first ----

struct ClosingCase {
    const char *what;
    std::function<void(QWidget *)> close;
};

class TestWindowClosing : public TestWindow, public ::testing::WithParamInterface<ClosingCase> {};

TEST_P(TestWindowClosing, WritesTheFolderAndThePortShown)
{
    ASSERT_TRUE(settings::SetSerialPort(QStringLiteral("COM2")));
    const int result = Run([&](QWidget *w) {
        TypeInto(w, ArduinoFolder, kTypedFolder);
        ChooseInList(w, PortList, QStringLiteral("COM7"));
        GetParam().close(w);
    });
    EXPECT_EQ(result, dialogkit::IDCANCEL);
    EXPECT_EQ(Stored("ArduinoPath"), kTypedFolder);
    EXPECT_EQ(Stored("SerialPort"), "COM7");
    EXPECT_TRUE(messages.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, TestWindowClosing,
    ::testing::Values(ClosingCase{"CloseButton", [](QWidget *w) { Click(w, dialogkit::IDCANCEL); }},
                      ClosingCase{"Escape", [](QWidget *w) { PressKey(w, Qt::Key_Escape); }},
                      ClosingCase{"CloseBox", [](QWidget *w) { w->close(); }},
                      ClosingCase{"EnterOnClose",
                                  [](QWidget *w) {
                                      Control(w, dialogkit::IDCANCEL)->setFocus(Qt::TabFocusReason);
                                      PressKey(w, Qt::Key_Return);
                                  }}),
    [](const auto &info) { return std::string(info.param.what); });

struct ButtonCase {
    const char *what;
    int button;
};

class TestWindowButtons : public TestWindow, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(TestWindowButtons, StoreTheTypedFolderAndTheChosenPortBeforeTheirWork)
{
    ASSERT_TRUE(settings::SetSerialPort(QStringLiteral("COM2")));
    QStringList seenAtWork; // folder and port in the store while the button works
    messages.onMessage = [&](const dialogkit::RecordedMessage &) {
        seenAtWork << Stored("ArduinoPath").value_or("none") << Stored("SerialPort").value_or("none");
    };

    Run([&](QWidget *w) {
        TypeInto(w, ArduinoFolder, kTypedFolder);
        ChooseInList(w, PortList, QStringLiteral("COM9"));
        if (GetParam().button == GetVersion) {
            OnNextModal([&](QWidget *version) {
                seenAtWork << Stored("ArduinoPath").value_or("none")
                           << Stored("SerialPort").value_or("none");
                PressKey(version, Qt::Key_Escape);
            });
        }
        Click(w, GetParam().button);
        EXPECT_TRUE(w->isVisible()) << "the window stays open";
        PressKey(w, Qt::Key_Escape);
    });
    EXPECT_EQ(seenAtWork, (QStringList{kTypedFolder, "COM9"}));
}

INSTANTIATE_TEST_SUITE_P(All, TestWindowButtons,
                         ::testing::Values(ButtonCase{"Send", Send}, ButtonCase{"TestLock", TestLock},
                                           ButtonCase{"TestUnlock", TestUnlock},
                                           ButtonCase{"GetVersion", GetVersion}),
                         [](const auto &info) { return std::string(info.param.what); });

// --- Enter sends the command text, whichever box has the focus -------------

struct EnterCase {
    const char *what;
    int box;
    QString command;
    std::string onTheWire;
};

class TestWindowEnter : public ::testing::TestWithParam<EnterCase> {
protected:
    testsupport::TempSettingsHome home;
    ScriptedPeer peer; // exact bytes: what arrives, and a reply of "Y"
    MessageRecorder messages;
};

TEST_P(TestWindowEnter, SendsTheCommandTextAndTheWindowStaysOpen)
{
    const EnterCase c = GetParam();
    ASSERT_TRUE(home.isValid() && peer.isOpen());
    ASSERT_TRUE(settings::SetSerialPort(QString::fromStdString(peer.portPath())));
    peer.answer({PeerReply::Bytes("Y.Y.Y.")});

    bool openAfterSending = false;
    TestDlg dialog;
    OnNextModal([&](QWidget *w) {
        TypeInto(w, CommandText, c.command);
        Control(w, c.box)->setFocus(Qt::MouseFocusReason);
        PressKey(w, Qt::Key_Return);
        openAfterSending = w->isVisible();
        Click(w, dialogkit::IDCANCEL);
    });
    dialog.DoModal();

    EXPECT_TRUE(openAfterSending);
    EXPECT_EQ(peer.commands(), std::vector<std::string>{c.onTheWire});
    EXPECT_EQ(messages.texts(), QStringList{"Y"}) << "'Send' shows the reply itself";
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, TestWindowEnter,
    ::testing::Values(EnterCase{"InCommandBox", CommandText, "Y", "Y.Y.Y."},
                      EnterCase{"InCommandBoxEmpty", CommandText, "", "..."},
                      EnterCase{"InFolderBox", ArduinoFolder, "T", "T.T.T."},
                      EnterCase{"InFolderBoxEmpty", ArduinoFolder, "", "..."}),
    [](const auto &info) { return std::string(info.param.what); });

// --- What the test buttons and 'Send' report ------------------------------

struct ReportCase {
    const char *what;
    std::vector<std::string> safeControl; // lines for the simulated safe; "stop" ends it
    int button;
    QString command; // typed for 'Send'
    QString message;
    std::string latchAfter; // the safe's latch afterwards, when it matters
};

class TestWindowReports : public TestWindow, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(TestWindowReports, ShowTheirMessage)
{
    const ReportCase c = GetParam();
    ASSERT_TRUE(settings::SetSerialPort(safePort));
    for (const std::string &line : c.safeControl) {
        if (line == "stop")
            safe.stop();
        else
            ASSERT_EQ(safe.control(line), "ok") << line;
    }

    Run([&](QWidget *w) {
        TypeInto(w, CommandText, c.command);
        Click(w, c.button);
        EXPECT_TRUE(w->isVisible());
        Click(w, dialogkit::IDCANCEL);
    });

    ASSERT_EQ(messages.texts(), QStringList{c.message});
    EXPECT_EQ(messages.messages[0].icon, dialogkit::MessageIcon::None);
    if (!c.latchAfter.empty()) {
        EXPECT_NE(safe.control("status").find("latch=" + c.latchAfter), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, TestWindowReports,
    ::testing::Values(
        ReportCase{"LockOwnReply", {}, TestLock, "", "Lock succeeded", "closed"},
        ReportCase{"LockReplyN", {"reply N"}, TestLock, "", "Lock succeeded", ""},
        ReportCase{"LockEmptyReply", {"reply"}, TestLock, "", "Lock succeeded", ""},
        ReportCase{"LockCopiesDisagree", {"misbehave disagree"}, TestLock, "", "Failed", ""},
        ReportCase{"LockSafeGone", {"stop"}, TestLock, "", "Failed", ""},
        ReportCase{"UnlockOwnReply", {}, TestUnlock, "", "Unlock succeeded", "open"},
        ReportCase{"UnlockAnyText", {"reply whatever it says"}, TestUnlock, "", "Unlock succeeded", ""},
        ReportCase{"UnlockReplyCut", {"misbehave cut"}, TestUnlock, "", "Failed", ""},
        ReportCase{"UnlockSilent", {"misbehave silent"}, TestUnlock, "", "Failed", ""},
        ReportCase{"SendReplyY", {}, Send, "Y", "Y", ""},
        ReportCase{"SendVersion", {}, Send, "V", kSimulatedVersion, ""},
        ReportCase{"SendEmptyReply", {"reply"}, Send, "V", "", ""},
        ReportCase{"SendCopiesDisagree", {"misbehave disagree"}, Send, "Y", "Failed", ""},
        ReportCase{"SendSafeGone", {"stop"}, Send, "Y", "Failed", ""}),
    [](const auto &info) { return std::string(info.param.what); });

// --- Choosing the simulated safe's port, then 'Get Version' ----------------

TEST_F(TestWindow, ChoosingTheSimulatedSafesPortThenGetVersionShowsItsVersion)
{
    ASSERT_TRUE(settings::SetSerialPort(safePort));
    QStringList firmware;
    const auto readVersionWindow = [&](QWidget *version) {
        EXPECT_EQ(version->windowTitle(), "Version");
        EXPECT_EQ(version->parentWidget()->windowTitle(), "Test") << "owned by the Test window";
        EXPECT_EQ(TextOf(version, res::version::SoftwareVersion), CVersion::SoftwareVersionLine());
        firmware << TextOf(version, res::version::FirmwareVersion);
        Click(version, res::version::Done);
    };

    Run([&](QWidget *w) {
        ChooseInList(w, PortList, QStringLiteral("COM9")); // no safe there
        OnNextModal(readVersionWindow);
        Click(w, GetVersion);
        ChooseInList(w, PortList, safePort);
        OnNextModal(readVersionWindow);
        Click(w, GetVersion);
        EXPECT_TRUE(w->isVisible());
        PressKey(w, Qt::Key_Escape);
    });

    EXPECT_EQ(firmware, (QStringList{"Unknown", kSimulatedVersion}));
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(Stored("SerialPort"), safePort);
}

TEST_F(TestWindow, EveryLabelShowsItsWholeText)
{
    Run([](QWidget *w) {
        windowtest::ExpectEveryLabelFits(w);
        PressKey(w, Qt::Key_Escape);
    });
}

TEST_F(TestWindow, TheInstructionsNameTheInstalledGuide)
{
    Run([](QWidget *w) {
        bool found = false;
        for (QLabel *label : w->findChildren<QLabel *>())
            if (label->text().startsWith(QLatin1String("You must follow the instructions at: "))) {
                found = true;
                EXPECT_TRUE(label->text().endsWith(QLatin1String("/board-setup.md")));
                EXPECT_TRUE(label->text().contains(QLatin1String(" file:///")));
            }
        EXPECT_TRUE(found);
        PressKey(w, Qt::Key_Escape);
    });
}

} // namespace
