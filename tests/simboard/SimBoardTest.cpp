// The simulated board: Debian's avrdude, with the Test window's uploader
// words, writes and verifies its flash through the Diecimila bootloader; the
// uploaded program then runs; the controller's own exchange reaches the
// firmware on the board's port; and the board's resets on opening the port.
// (The reset button is pressed in the firmware's tests, with a lock to keep.)

#include "SafeExchange.h"
#include "Settings.h"
#include "SimBoardProcess.h"
#include "TempSettingsHome.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using testsupport::BoardEvent;
using testsupport::FirmwarePath;
using testsupport::SimBoardProcess;
namespace fs = std::filesystem;

// The bootloader waits about 1.3 s after a reset before it starts the program.
constexpr auto kBootWait = 5s;

std::string Ask(const std::string &command)
{
    std::string reply = "<no reply>";
    SafeExchange(command, reply);
    return reply;
}

// One exchange by hand, as the controller's but waiting `pause` between
// opening the port and writing: what a controller would have to do to reach
// the firmware on a board that resets whenever the port is opened.
std::string AskAfterPause(const std::string &port, const std::string &command, std::chrono::milliseconds pause)
{
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return "<cannot open>";
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, B9600);
    t.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &t);
    std::this_thread::sleep_for(pause);
    const std::string copies = command + "." + command + "." + command + ".";
    std::string bytes;
    if (::write(fd, copies.data(), copies.size()) == static_cast<ssize_t>(copies.size())) {
        pollfd p{fd, POLLIN, 0};
        char c = 0;
        while (std::count(bytes.begin(), bytes.end(), '.') < 3 && ::poll(&p, 1, 2650) > 0 &&
               ::read(fd, &c, 1) == 1)
            bytes += c;
    }
    ::close(fd);
    return bytes.substr(0, bytes.find('.'));
}

class SimBoard : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home_.isValid());
        // The uploader's working folder holds the firmware files, which the
        // uploader's words name without a folder.
        workDir_ = home_.path().toStdString() + "/work";
        fs::create_directories(workDir_);
        for (const char *name : {"Blink", "Cadrelle"})
            fs::copy_file(FirmwarePath(name), workDir_ + "/" + name + ".hex");
    }

    void StartBoard(const std::vector<std::string> &args = {})
    {
        ASSERT_TRUE(board_.start(args)) << board_.errorText();
        ASSERT_TRUE(settings::SetSerialPort(QString::fromStdString(board_.portPath())));
    }

    void Upload(const std::string &file)
    {
        std::string log;
        const int code = testsupport::RunAvrdude(board_.portPath(), file, workDir_, log);
        EXPECT_EQ(code, 0) << log;
        EXPECT_NE(log.find("bytes of flash verified"), std::string::npos) << log;
        EXPECT_TRUE(board_.waitFor("reset upload", 1s)) << "the upload did not reset the board";
        ASSERT_TRUE(board_.waitFor("start", kBootWait)) << "the uploaded program did not start";
    }

    testsupport::TempSettingsHome home_;
    SimBoardProcess board_;
    std::string workDir_;
};

TEST_F(SimBoard, UploadedProgramsRunOneAfterTheOther)
{
    // A new board: the bootloader alone, with nothing to start.
    StartBoard();
    ASSERT_NO_FATAL_FAILURE(Upload("Cadrelle.hex"));
    // Cadrelle turns its receiver on a moment after the bootloader hands over.
    ASSERT_TRUE(board_.waitFor("listen 9615", 1s));
    EXPECT_EQ(Ask("V").rfind("Firmware version: 1 - ", 0), 0u);

    // Blink goes over Cadrelle while Cadrelle runs, and toggles the latch.
    ASSERT_NO_FATAL_FAILURE(Upload("Blink.hex"));
    std::vector<double> toggles;
    for (int i = 0; i < 3; ++i) {
        const auto e = board_.waitFor("latch ", 3s);
        ASSERT_TRUE(e) << "the latch stopped toggling after " << i << " changes";
        toggles.push_back(e->seconds);
    }
    for (std::size_t i = 1; i < toggles.size(); ++i) {
        const double interval = toggles[i] - toggles[i - 1];
        EXPECT_GT(interval, 0.75) << "toggle " << i;
        EXPECT_LT(interval, 1.5) << "toggle " << i;
    }
}

TEST_F(SimBoard, ResetOnOpeningThePort)
{
    struct Case {
        const char *mode;
        bool controllerReachesFirmware; // the controller writes as soon as it has opened
        bool resetsOnOpening;
    };
    const Case cases[] = {
        {"upload", true, false},
        {"never", true, false},
        // A stock Diecimila: the opening resets the chip, and the command
        // reaches the bootloader instead of the firmware.
        {"dtr", false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        StartBoard({"--firmware", FirmwarePath("Cadrelle"), "--reset-on-open", c.mode});
        ASSERT_TRUE(board_.waitFor("start", kBootWait));
        ASSERT_TRUE(board_.waitFor("listen", 1s));

        std::string reply;
        EXPECT_EQ(SafeExchange("T", reply), c.controllerReachesFirmware);
        if (c.controllerReachesFirmware) {
            EXPECT_EQ(reply, "0");
        }
        const std::vector<BoardEvent> &events = board_.events();
        const bool resetOnOpen = std::any_of(events.begin(), events.end(),
                                             [](const BoardEvent &e) { return e.what == "reset open"; });
        EXPECT_EQ(resetOnOpen, c.resetsOnOpening);

        if (c.resetsOnOpening) {
            // Waiting out the bootloader after opening gets through.
            EXPECT_EQ(AskAfterPause(board_.portPath(), "T", 1600ms), "0");
        }
        board_.stop();
    }
}

TEST_F(SimBoard, BadArgumentsAreRefusedWithAMessage)
{
    const std::string bad = home_.path().toStdString() + "/bad.hex";
    struct Case {
        const char *name;
        std::string hex; // written to bad.hex first, when not empty
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {"missing file", "", {"--firmware", home_.path().toStdString() + "/none.hex"}, "cannot open"},
        {"wrong checksum", ":0100000000FE\n:00000001FF\n", {"--firmware", bad}, "checksum"},
        {"no end record", ":0100000000FF\n", {"--firmware", bad}, "no end record"},
        {"beyond the flash", ":0140000000BF\n:00000001FF\n", {"--firmware", bad}, "beyond"},
        {"far address", ":020000040001F9\n:0100000000FF\n:00000001FF\n", {"--firmware", bad}, "beyond"},
        {"not hex", "hello\n", {"--firmware", bad}, "not an Intel hex record"},
        {"unknown mode", "", {"--reset-on-open", "sometimes"}, "unknown --reset-on-open mode"},
        {"unknown option", "", {"--bogus"}, "unknown argument"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.hex.empty()) {
            FILE *f = std::fopen(bad.c_str(), "w");
            ASSERT_NE(f, nullptr);
            std::fputs(c.hex.c_str(), f);
            std::fclose(f);
        }
        SimBoardProcess board;
        EXPECT_FALSE(board.start(c.args, 3s));
        EXPECT_NE(board.errorText().find(c.message), std::string::npos) << board.errorText();
        EXPECT_EQ(board.errorText().find("exit code 0"), std::string::npos) << board.errorText();
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
