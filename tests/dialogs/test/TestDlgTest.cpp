// SPDX-License-Identifier: GPL-3.0-or-later
// The Test window, driven headless through clicks and key presses against the
// simulated safe on a pseudo-terminal, with messages recorded and the settings
// store in a temporary home, read back from disk afterwards.
#include "KeyCodes.h"
#include "MessageBox.h"
#include "PortChoices.h"
#include "Resource.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "TestDlg.h"
#include "WindowTestSupport.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QFileInfo>
#include <QTest>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QUrl>

#include <gtest/gtest.h>

#include <optional>

using namespace res::test;
using namespace uitest;
using namespace windowtest;

namespace {

// Stands in for the desktop's opening of file:// addresses.
class OpenedAddresses : public QObject {
    Q_OBJECT
public:
    QStringList addresses;
public slots:
    void Open(const QUrl &address) { addresses << address.toString(); }
};

const QString kSimulatedVersion = QStringLiteral("Cadrelle 1 simulated");
const QString kTypedFolder = QStringLiteral("/srv/Arduino 0012 X/");
const QString kLockCode = QString::fromStdString(keycodes::MakeKeyCodes(3600, 0).lockCode);

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
    dialogkit::MessageRecorder messages;
    QString safePort;
};

// Where scripts/run.sh puts the simulated safe's link, in a checkout below a
// home folder.
const QString kLink = QStringLiteral("/home/ada/src/vandrel/build/dev/try/safe-port");

const auto kClose = [](QWidget *w) { Click(w, dialogkit::IDCANCEL); };
const auto kEscape = [](QWidget *w) { PressKey(w, Qt::Key_Escape); };
const auto kCloseBox = [](QWidget *w) { w->close(); };
const auto kEnterOnClose = [](QWidget *w) {
    Control(w, dialogkit::IDCANCEL)->setFocus(Qt::TabFocusReason);
    PressKey(w, Qt::Key_Return);
};

// The port list on opening, and what the next action stores.
TEST_F(TestWindow, SelectsTheStoredPortAndTheNextActionStoresTheSelection)
{
    const struct {
        std::optional<QString> stored; // nothing: a fresh store
        QString selected;              // "" : no item selected
        std::function<void(QWidget *)> next; // a button, or a way of closing
        QString storedAfter;
        QString message; // of the next button; "" for none
    } cases[] = {
        {"COM3", "COM3", kClose, "COM3", ""},
        {"com5", "COM5", kEscape, "COM5", ""},
        {"COM", "COM1", kCloseBox, "COM1", ""},
        // No item begins with COM12: nothing selected, an empty port stored,
        // and exchanges fail until a port is chosen.
        {"COM12", "", [](QWidget *w) { Click(w, TestLock); }, "", "Failed"},
        {std::nullopt, "COM4", kEnterOnClose, "COM4", ""},
        {kLink, kLink, kEscape, kLink, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored.value_or("fresh").toStdString());
        // A store of its own, the default folder absent from it.
        testsupport::TempSettingsHome rowHome;
        ASSERT_TRUE(rowHome.isValid());
        const auto Stored = [&](const char *name) { return windowtest::Stored(rowHome, name); };
        if (c.stored) {
            ASSERT_TRUE(settings::SetSerialPort(c.stored->toStdString()));
        }
        const std::optional<QString> before = Stored("SerialPort");
        messages.clear();

        const int result = Run([&](QWidget *w) {
            auto *list = qobject_cast<QComboBox *>(Control(w, PortList));
            EXPECT_EQ(list->currentText(), c.selected);
            // A screen reader names the list by the port chosen.
            EXPECT_EQ(AccessibleOf(w, PortList)->text(QAccessible::Name), c.selected);
            // The closed list shows the chosen port whole, a long device path too.
            QStyleOptionComboBox option;
            option.initFrom(list);
            option.currentText = list->currentText();
            const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                              QStyle::SC_ComboBoxEditField, list);
            EXPECT_LE(list->fontMetrics().horizontalAdvance(list->currentText()), field.width());
            EXPECT_EQ(TextOf(w, ArduinoFolder), QString::fromStdString(settings::DefaultArduinoPath()));
            EXPECT_EQ(FocusedId(w), Send);
            // Opening writes nothing.
            EXPECT_EQ(Stored("SerialPort"), before);
            EXPECT_EQ(Stored("ArduinoPath"), std::nullopt);
            c.next(w);
            if (w->isVisible())
                Click(w, dialogkit::IDCANCEL);
        });

        // The folder, absent before, is written by every way of leaving.
        EXPECT_EQ(result, dialogkit::IDCANCEL);
        EXPECT_EQ(Stored("SerialPort"), c.storedAfter);
        EXPECT_EQ(Stored("ArduinoPath"), QString::fromStdString(settings::DefaultArduinoPath()));
        EXPECT_EQ(uitest::Texts(messages), c.message.isEmpty() ? QStringList() : QStringList{c.message});
    }
}

// The list's extra items and the port chosen with nothing stored, for the
// devices a system may report (on Linux).
TEST(PortChoices, TheDevicesPresentEachOnceAndTheOneUsbBoardWithNothingStored)
{
    const SerialDevice uart{"/dev/ttyS0", "", false};
    const SerialDevice ftdi{"/dev/ttyUSB0", "FT232R USB UART", true};
    const SerialDevice uno{"/dev/ttyACM0", "Arduino Uno", true};
    const SerialDevice pty{"/dev/pts/5", "", false};
    const auto names = [](const std::vector<PortChoice> &choices) {
        std::vector<std::string> out;
        for (const PortChoice &c : choices)
            out.push_back(c.description.empty() ? c.name : c.name + " (" + c.description + ")");
        return out;
    };
    const struct {
        std::vector<SerialDevice> devices;
        std::string stored;
        std::vector<std::string> extra;
        std::string withNothingStored;
    } rows[] = {
        {{}, "COM4", {}, "COM4"},
        // COM1 already names the first UART.
        {{uart, ftdi}, "COM4", {"/dev/ttyUSB0 (FT232R USB UART)"}, "/dev/ttyUSB0"},
        {{uart, ftdi, uno}, "COM4", {"/dev/ttyUSB0 (FT232R USB UART)", "/dev/ttyACM0 (Arduino Uno)"}, "COM4"},
        {{pty}, "/dev/ttyUSB7", {"/dev/pts/5", "/dev/ttyUSB7"}, "COM4"},
        {{ftdi}, "/dev/ttyUSB0", {"/dev/ttyUSB0 (FT232R USB UART)"}, "/dev/ttyUSB0"},
        // A stored device stays selectable even where a COMn names it.
        {{}, "/dev/ttyS2", {"/dev/ttyS2"}, "COM4"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.stored + " with " + std::to_string(row.devices.size()) + " devices");
        EXPECT_EQ(names(ExtraPortChoices(row.devices, row.stored)), row.extra);
        EXPECT_EQ(PortWithNothingStored(row.devices, "COM4"), row.withNothingStored);
    }
}

// Every button in one window: what it reports, with the typed folder and the
// port shown stored first (the last row's, for 'Get Version'). Any reply that
// arrived intact is success, whatever it says, but the safe's refusal of a
// test unlock; a failed exchange is "Failed". 'Send' shows the reply itself.
// A chosen port with no safe on it fails: the exchange went there, not to the
// port the window opened with.
TEST_F(TestWindow, EveryButtonStoresTheFolderAndThePortShownThenReports)
{
    const struct {
        std::string safeControl; // a line for the simulated safe first
        QString choose;          // a port chosen in the list first; "": the safe's
        int button;              // clicked; an edit box: Enter pressed in it, which is 'Send'
        QString command;         // typed into the command box
        QString message;
        std::string latchAfter = {}; // the safe's latch afterwards, when it matters
    } cases[] = {
        {"", "", TestLock, "", "Lock succeeded", "closed"},
        {"reply", "", TestLock, "", "Lock succeeded"},
        {"misbehave disagree", "", TestLock, "", "Failed"},
        {"", "COM7", TestLock, "", "Failed"},
        {"", "", TestUnlock, "", "Unlock succeeded", "open"},
        {"reply whatever", "", TestUnlock, "", "Unlock succeeded"},
        {"", "", Send, "Y", "Y"},
        {"", "", Send, "V", kSimulatedVersion},
        {"reply", "", Send, "V", ""},
        {"", "COM7", Send, "V", "Failed"},
        {"", "", CommandText, "V", kSimulatedVersion},
        // The safe answers "?" to a command it does not know, the empty one too.
        {"", "", ArduinoFolder, "", "?"},
        // A locked safe refuses the test unlock ("N") and stays shut.
        {"", "", Send, kLockCode, "Y", "closed"},
        {"", "", TestUnlock, "", "Unlock refused", "closed"},
        // No log yet to hand to a viewer, so none comes up whatever the desktop.
        {"", "", ViewUploadLog, "", "No upload has written its log yet. It will be the file\n" +
                                        QString::fromStdString(settings::WorkDir()) + "/upload_out.txt"},
    };
    ASSERT_TRUE(settings::SetSerialPort(safePort.toStdString()));
    QStringList seen; // folder and port in the store when the message comes
    messages.onMessage = [&](const dialogkit::RecordedMessage &) {
        seen << Stored("ArduinoPath").value_or("none") << Stored("SerialPort").value_or("none");
    };

    Run([&](QWidget *w) {
        for (const auto &c : cases) {
            SCOPED_TRACE(c.message.toStdString() + " from " + std::to_string(c.button));
            for (const char *line : {"reply-off", "misbehave ok"})
                ASSERT_EQ(safe.control(line), "ok");
            if (!c.safeControl.empty()) {
                ASSERT_EQ(safe.control(c.safeControl), "ok") << c.safeControl;
            }
            messages.clear();
            seen.clear();
            TypeInto(w, ArduinoFolder, kTypedFolder);
            ChooseInList(w, PortList, c.choose.isEmpty() ? safePort : c.choose);
            TypeInto(w, CommandText, c.command);
            if (c.button == CommandText || c.button == ArduinoFolder) {
                Control(w, c.button)->setFocus(Qt::MouseFocusReason);
                PressKey(w, Qt::Key_Return);
            } else {
                Click(w, c.button);
            }
            EXPECT_TRUE(w->isVisible());
            ASSERT_EQ(uitest::Texts(messages), QStringList{c.message});
            EXPECT_EQ(messages.messages[0].icon, dialogkit::MessageIcon::None);
            EXPECT_EQ(seen, (QStringList{kTypedFolder, c.choose.isEmpty() ? safePort : c.choose}));
            if (!c.latchAfter.empty()) {
                EXPECT_NE(safe.control("status").find("latch=" + c.latchAfter), std::string::npos);
            }
            // The next row's folder must be written again to be seen.
            ASSERT_TRUE(settings::SetArduinoPath("/elsewhere"));
            ASSERT_TRUE(settings::SetSerialPort("COM2"));
        }
        // 'Get Version' too: the Version window, owned by this one, asks the
        // safe on the port shown. (What it shows, its build stamp and
        // "Unknown" too, are the Version window tests'.)
        messages.clear();
        seen.clear();
        OnNextModal([&](QWidget *version) {
            EXPECT_EQ(version->parentWidget(), w);
            seen << Stored("ArduinoPath").value_or("none") << Stored("SerialPort").value_or("none")
                 << TextOf(version, res::version::FirmwareVersion);
            Click(version, res::version::Done);
        });
        Click(w, GetVersion);
        EXPECT_EQ(seen, (QStringList{kTypedFolder, safePort, kSimulatedVersion}));
        EXPECT_TRUE(messages.messages.empty());
        Click(w, dialogkit::IDCANCEL);
    });
}

// Run from its build, the program points to the build tree's copy of the
// guide (the installed program to the installed one: the package test checks
// that).
TEST_F(TestWindow, EveryLabelShowsItsWholeTextAndTheInstructionsNameAGuideThatIsThere)
{
    const QString guide = QStringLiteral(VANDREL_BUILD_GUIDE);
    ASSERT_TRUE(QFileInfo::exists(guide));
    Run([&](QWidget *w) {
        ExpectEveryLabelFits(w);
        ExpectEveryControlReachable(w);
        // A screen reader names each box and the list by the label beside it.
        EXPECT_EQ(SpokenName(w, ArduinoFolder), "Arduino directory (contains ardiuno.exe)");
        EXPECT_EQ(SpokenName(w, PortList), "COM port");
        EXPECT_EQ(SpokenName(w, CommandText), "System test");
        QList<QLabel *> shown;
        for (QLabel *label : w->findChildren<QLabel *>())
            if (label->text().startsWith("You must follow the instructions at: "))
                shown << label;
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0]->text(), "You must follow the instructions at: " + QUrl::fromLocalFile(guide).toString());
        // The address can be selected and copied, and a click opens it.
        EXPECT_TRUE(shown[0]->textInteractionFlags() & Qt::TextSelectableByMouse);
        OpenedAddresses opened;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "Open");
        QTest::mouseClick(shown[0], Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        EXPECT_EQ(opened.addresses, QStringList{QUrl::fromLocalFile(guide).toString()});
        PressKey(w, Qt::Key_Escape);
    });
}

} // namespace

#include "TestDlgTest.moc"
