// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated board: the controller's own exchange reaches the firmware on
// the board's port, and the board resets as its wiring says when the port is
// opened, or, without auto-reset, when an upload starts.
// An upload through the program's own launcher and Debian's avrdude ends,
// with its cause, when the board goes away in the middle of it.
// (Uploads onto a board as sold and the programs that run after them, and a
// reset that nothing showed, are the end-to-end test's; the reset button is
// pressed in the firmware's tests, with a lock to keep.)

#include "SafeExchange.h"
#include "Settings.h"
#include "SimBoardProcess.h"
#include "TempSettingsHome.h"
#include "TestClock.h"
#include "UploadWatch.h"
#include "Uploader.h"
#include "UploaderWords.h"
#include "qt/DefaultTools.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using testsupport::Ask;
using testsupport::BoardEvent;
using testsupport::FirmwarePath;
using testsupport::SimBoardProcess;
using testsupport::kBootWait;

// A program that leaves the port with HUPCL set (as the uploader does), and
// the next opening at once, which must raise DTR again. Returns that opening's
// descriptor, to be closed later, or -1.
int CloseWithHangUpAndReopen(const std::string &port)
{
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return -1;
    termios t{};
    const bool set = tcgetattr(fd, &t) == 0 && (t.c_cflag |= HUPCL, tcsetattr(fd, TCSANOW, &t) == 0);
    ::close(fd);
    const int next = ::open(port.c_str(), O_RDWR | O_NOCTTY);
    if (!set && next >= 0)
        ::close(next);
    return set ? next : -1;
}

long Resets(const std::vector<BoardEvent> &events)
{
    return std::count_if(events.begin(), events.end(),
                         [](const BoardEvent &e) { return e.what.rfind("reset", 0) == 0; });
}

class SimBoard : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home_.isValid()); }

    void StartBoard(const std::vector<std::string> &args = {})
    {
        ASSERT_TRUE(board_.start(args)) << board_.errorText();
        ASSERT_TRUE(settings::SetSerialPort(board_.portPath()));
    }

    testsupport::TempSettingsHome home_;
    SimBoardProcess board_;
};

// The controller's exchange on a freshly plugged-in port, whatever the
// board's reset wiring: the first opening (DTR rises) waits once for the
// board's restart, and resets only a board as sold; later exchanges neither
// reset nor wait, until a program closes the port with HUPCL set again.
TEST_F(SimBoard, ExchangesWaitOnlyAfterDtrHasDropped)
{
    using safeexchange::kBootloaderHandOver;
    struct Case {
        const char *mode;
        long resetsOnReopening; // each time DTR rises again
    };
    const Case cases[] = {
        {"dtr", 1},    // a stock Diecimila
        {"upload", 0}, // auto-reset disabled
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        StartBoard({"--firmware", FirmwarePath("Cadrelle"), "--reset-on-open", c.mode});
        ASSERT_TRUE(board_.waitFor("listen", kBootWait));
        const long atStart = Resets(board_.events());

        int reopened = -1;
        for (int opening = 0; opening < 2; ++opening) {
            SCOPED_TRACE(opening == 0 ? "plugged in" : "after a close with HUPCL set");
            const auto before = std::chrono::steady_clock::now();
            EXPECT_EQ(Ask("T"), "0");
            EXPECT_GE(std::chrono::steady_clock::now() - before, testclock::AtLeast(kBootloaderHandOver)) << "no wait";
            EXPECT_EQ(Resets(board_.events()) - atStart, c.resetsOnReopening * (opening + 1));

            for (int i = 0; i < 3; ++i) {
                const auto from = std::chrono::steady_clock::now();
                EXPECT_EQ(Ask("T"), "0");
                EXPECT_LT(std::chrono::steady_clock::now() - from, kBootloaderHandOver) << "waited again";
            }
            EXPECT_EQ(Resets(board_.events()) - atStart, c.resetsOnReopening * (opening + 1));
            if (reopened >= 0)
                ::close(reopened);
            ASSERT_TRUE(board_.waitUntilPortClosed(1s));
            reopened = CloseWithHangUpAndReopen(board_.portPath());
            ASSERT_GE(reopened, 0);
        }
        ::close(reopened);
        if (c.resetsOnReopening == 0) {
            // Without auto-reset an upload needs the reset button, which this
            // board presses as the uploader first writes at the bootloader's
            // speed. (Uploads onto a board as sold run from the Test window
            // in the end-to-end test.)
            ASSERT_TRUE(board_.waitUntilPortClosed(1s));
            std::string log;
            EXPECT_EQ(testsupport::RunAvrdude(board_.portPath(), FirmwarePath("Blink"), home_.path().toStdString(),
                                              log),
                      0)
                << log;
            EXPECT_TRUE(board_.waitFor("reset upload", 1s));
            EXPECT_TRUE(board_.waitFor("start", kBootWait)) << "Blink did not start";
        }
        board_.stop();
    }
}

// The board goes away while avrdude writes the flash (its port's other end
// closes, as when a USB cable is pulled): avrdude then waits on the dead port
// for good, silently. The watch ends it once nothing has moved for its stall
// limit (a quarter of the program's own here, to keep the test short), and
// the message names the likely cause, not a board that never answered.
TEST_F(SimBoard, AnUploadToABoardThatGoesAwayEndsWithItsCause)
{
    StartBoard();
    const std::string work = home_.path().toStdString() + "/work";
    const QString arduino = home_.path() + "/arduino";
    ASSERT_TRUE(upload::MakeArduinoFolderOfLinks(arduino, {"/usr/bin/avrdude", "/etc/avrdude.conf"}));
    std::filesystem::create_directories(work);
    ASSERT_TRUE(QFile::copy(QString::fromStdString(FirmwarePath("Cadrelle")),
                            QString::fromStdString(work + "/Cadrelle.hex")));

    upload::UploaderProcess uploader;
    const upload::UploadReport report =
        upload::UploadSketch(upload::kCadrelleSketch, arduino.toStdString(), board_.portPath(), work, uploader);
    ASSERT_EQ(report.outcome, upload::UploadOutcome::Started) << report.message;
    const auto stallLimit = std::chrono::duration_cast<std::chrono::milliseconds>(upload::kStallLimit) / 4;
    upload::UploadWatch watch(uploader, upload::UploadLogPath(work), stallLimit);
    const auto writing = [&] {
        const upload::UploadProgress p = watch.Progress();
        return p.stage == upload::UploadStage::Writing && p.percent >= 10;
    };
    const auto giveUp = std::chrono::steady_clock::now() + 60s;
    while (watch.Poll() && !writing() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(writing()) << watch.Log();

    board_.stop(0ms);
    const auto gone = std::chrono::steady_clock::now();
    while (watch.Poll() && std::chrono::steady_clock::now() < gone + 60s)
        std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(uploader.Running()) << "avrdude still runs on the dead port";
    // The stall is counted from avrdude's last step, which came up to a
    // step's time (0.15 s, more on a loaded machine) before the board went.
    EXPECT_GE(std::chrono::steady_clock::now() - gone, stallLimit - 1s) << "ended too early";
    const upload::UploadVerdict verdict = watch.Verdict();
    EXPECT_EQ(verdict.cause, upload::UploadCause::Stalled) << watch.Log();
    const std::string message = upload::UploadEndMessage(verdict, report.port, report.firmwareFile, "");
    EXPECT_EQ(message.substr(0, message.find('\n')),
              "Upload failed: the board stopped answering on " + board_.portPath() + ". Was it unplugged?");
    EXPECT_NE(message.find("only part of it"), std::string::npos) << message;
}

} // namespace
