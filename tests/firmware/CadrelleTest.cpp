// SPDX-License-Identifier: GPL-3.0-or-later
// Cadrelle on the simulated board, asked through the controller's own
// exchange (real pseudo-terminal, real settings store in a temporary home).
// Its answers in each state are the safe's logic, tested byte by byte in
// tests/safelogic; here, what the board adds: the UART, the latch output, the
// timer, 32-bit counts where an int has 16 bits, and the lock in EEPROM across
// a reset and a power cut.

#include "KeyCodes.h"
#include "LockStore.h"
#include "PortLine.h"
#include "Settings.h"
#include "SimBoardProcess.h"
#include "TempSettingsHome.h"


#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <regex>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using testsupport::Ask;
using testsupport::BoardEvent;
using testsupport::FirmwarePath;
using testsupport::SimBoardProcess;
using testsupport::kBootWait;

long Seconds(const std::string &reply)
{
    char *end = nullptr;
    const long value = std::strtol(reply.c_str(), &end, 10);
    return (end != nullptr && *end == '\0' && !reply.empty()) ? value : -1;
}

// True when the latch went high (open) after the given moment.
bool OpenedAfter(const std::vector<BoardEvent> &events, double after)
{
    return std::any_of(events.begin(), events.end(),
                       [after](const BoardEvent &e) { return e.seconds > after && e.what == "latch 1"; });
}

class Cadrelle : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home_.isValid()); }

    // A board as sold, just plugged in: the first exchange's opening of the
    // port restarts it and waits until the firmware listens again.
    void StartBoard(std::vector<std::string> args = {})
    {
        args.insert(args.begin(), {"--firmware", FirmwarePath("Cadrelle")});
        ASSERT_TRUE(board_.start(args)) << board_.errorText();
        ASSERT_TRUE(settings::SetSerialPort(board_.portPath()));
    }

    // The firmware takes commands once it has turned the UART's receiver on
    // (at 9615 bit/s, 9600 as the 16 MHz clock divides it), a moment after
    // the bootloader hands over to it ("start"); what is sent before is lost,
    // as on a real board.
    void AwaitListening() { ASSERT_TRUE(board_.waitFor("listen 9615", 1s)) << "the firmware does not listen"; }

    testsupport::TempSettingsHome home_;
    SimBoardProcess board_;
};

// A timed lock counts down on the board's clock, and neither a restart nor a
// power cut opens it or shortens it; its unlock is kept as well. Across a
// restart the lock is kept in RAM to the millisecond, so a restart lengthens a
// timed lock by the time the board was down (the bootloader's wait) and no
// more, long after the lock's last EEPROM record; a power cut, which leaves
// RAM random, falls back to that record. The latch output follows the lock.
TEST_F(Cadrelle, RestartsAndAPowerCutKeepTheLock)
{
    const std::string eeprom = home_.path().toStdString() + "/eeprom.bin";
    StartBoard({"--eeprom", eeprom});
    EXPECT_TRUE(std::regex_match(Ask("V"), std::regex(R"(Firmware version: 1 - [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4}, [0-2][0-9]:[0-5][0-9]:[0-5][0-9])")));
    // Unlocked, the latch is open as soon as the firmware runs.
    ASSERT_TRUE(board_.waitFor("latch 1", 1s));
    // Over 65535 s: the duration and the time left need all 32 bits.
    constexpr long kLockSeconds = 100000;
    const keycodes::KeyCodes codes = keycodes::MakeKeyCodes(kLockSeconds, 0);
    ASSERT_EQ(Ask(codes.lockCode), "Y");
    const auto lockedAt = std::chrono::steady_clock::now();
    const auto locked = board_.waitFor("latch 0", 1s);
    ASSERT_TRUE(locked);
    // How much longer than a lock that ran undisturbed the board's answer is.
    const auto lengthening = [&](long secondsLeft) {
        const double ran = std::chrono::duration<double>(std::chrono::steady_clock::now() - lockedAt).count();
        return static_cast<double>(secondsLeft) - (static_cast<double>(kLockSeconds) - ran);
    };
    // Whole seconds on the board's side, and the exchanges' own time here.
    constexpr double kRounding = 1.25;
    std::this_thread::sleep_for(5s);
    EXPECT_NEAR(lengthening(Seconds(Ask("T"))), 0, kRounding) << "the board's clock runs at another speed";
    EXPECT_EQ(Ask("Y"), "N"); // the test command must not open a lock

    // The board restarts once: a program closes the port with HUPCL set (as
    // the upload does before the uploader opens it), and the next exchange's
    // opening resets the board.
    ASSERT_TRUE(portline::DropDtrUntilNextOpening(QString::fromStdString(board_.portPath())));
    const long afterRestart = Seconds(Ask("T"));
    const double lengthened = lengthening(afterRestart);
    const auto restart = board_.waitFor("reset open", 1s);
    ASSERT_TRUE(restart);
    const auto listening = board_.waitFor("listen", 1s);
    ASSERT_TRUE(listening);
    const double down = listening->seconds - restart->seconds;
    EXPECT_GE(lengthened, -kRounding) << "the restart shortened the lock";
    EXPECT_LE(lengthened, down + kRounding) << "down " << down << " s, "
        << restart->seconds - locked->seconds << " s after the lock's record";

    // (That later exchanges neither reset the board nor wait is the
    // simulated board's tests' business.)
    EXPECT_FALSE(OpenedAfter(board_.events(), locked->seconds)) << "the latch opened during the restart";
    const long before = afterRestart;

    board_.pressReset();
    const auto reset = board_.waitFor("reset button", 2s);
    ASSERT_TRUE(reset);
    const auto started = board_.waitFor("start", kBootWait);
    ASSERT_TRUE(started);
    EXPECT_GT(started->seconds - reset->seconds, 1.0) << "the bootloader's wait is missing";
    ASSERT_NO_FATAL_FAILURE(AwaitListening());
    const long afterReset = Seconds(Ask("T"));
    EXPECT_NEAR(lengthening(afterReset), lengthened + (started->seconds - reset->seconds), 2 * kRounding);
    EXPECT_FALSE(OpenedAfter(board_.events(), locked->seconds)) << "the latch opened during the reset";
    board_.stop();

    StartBoard({"--eeprom", eeprom});
    const long afterPowerCut = Seconds(Ask("T"));
    EXPECT_GE(afterPowerCut, before - 1);
    EXPECT_LE(afterPowerCut, kLockSeconds);
    EXPECT_FALSE(OpenedAfter(board_.events(), -1)) << "the latch opened after the power came back";
    EXPECT_EQ(Ask(codes.unlockCode), "Y");
    EXPECT_TRUE(board_.waitFor("latch 1", 1s));
    board_.stop();

    StartBoard({"--eeprom", eeprom});
    EXPECT_EQ(Ask("T"), "0");
    EXPECT_TRUE(board_.waitFor("latch 1", 1s));
}

// A board that has been locked for a while holds a record in every slot,
// and reading them all at start-up takes longer than the UART can hold
// characters by itself: a command sent the moment the firmware listens must
// still come through whole. The port is held open from before the start, so
// that nothing stands between that moment and the command.
TEST_F(Cadrelle, CommandSentAsItStartsComesThroughWhileAFullRingIsRead)
{
    struct Memory {
        std::array<std::uint8_t, 512> bytes;
        std::uint8_t Read(std::uint16_t address) { return bytes.at(address); }
        void Write(std::uint16_t address, std::uint8_t value) { bytes.at(address) = value; }
    } memory;
    memory.bytes.fill(0xFF);
    lockstore::LockStore<Memory> store(memory);
    // A timed lock's checkpoints in every slot but one, and its unlock last.
    for (int slot = 1; slot < lockstore::kSlotCount; ++slot) {
        const auto secondsLeft = static_cast<std::uint32_t>(86400 - slot * lockstore::kCheckpointSeconds);
        ASSERT_TRUE(store.Save(safelogic::SealedState(safelogic::kLockedForTime, false, 12345, secondsLeft)));
    }
    ASSERT_TRUE(store.Save(safelogic::SealedState(safelogic::kUnlocked, false, 0, 0)));
    const std::string eeprom = home_.path().toStdString() + "/full-ring.bin";
    ASSERT_TRUE(std::ofstream(eeprom, std::ios::binary)
                    .write(reinterpret_cast<const char *>(memory.bytes.data()), std::streamsize(memory.bytes.size())));

    ASSERT_TRUE(board_.start({"--firmware", FirmwarePath("Cadrelle"), "--eeprom", eeprom})) << board_.errorText();
    const int fd = ::open(board_.portPath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, B9600);
    t.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &t);
    // Three copies of a lock code, the longest command there is.
    const std::string lockCode = keycodes::MakeKeyCodes(3600, 0).lockCode;
    const std::string copies = lockCode + "." + lockCode + "." + lockCode + ".";
    std::string bytes;
    if (board_.waitFor("start", kBootWait) && board_.waitFor("listen", 1s) &&
        ::write(fd, copies.data(), copies.size()) == static_cast<ssize_t>(copies.size())) {
        pollfd p{fd, POLLIN, 0};
        char c = 0;
        while (std::count(bytes.begin(), bytes.end(), '.') < 3 && ::poll(&p, 1, 2650) > 0 && ::read(fd, &c, 1) == 1)
            bytes += c;
    }
    ::close(fd);
    EXPECT_EQ(bytes, "Y.Y.Y.");
}

} // namespace
