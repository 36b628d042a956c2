// SPDX-License-Identifier: GPL-3.0-or-later
// SafeExchange under Wine through COM7, which the CTest fixture maps to the
// simulated safe's pseudo-terminal; the port name comes from the registry.
// The safe breaks its replies in the order of its --misbehave list (see
// CMakeLists.txt), one row of the table after another.

#include "SafeExchange.h"
#include "Settings.h"
#include "TestClock.h"
#include "win/ComLine.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <string>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Far below the 2.65 s read time-out: an exchange that ends by the reply
// (or fails at once) ends within this.
constexpr auto kAtOnce = 1000ms;

TEST(ComExchange, RepliesThroughACOMPortAreAcceptedOnlyWhenTheyAgree)
{
    constexpr auto kTotalTimeOut = 2600ms; // less a little for clock steps
    constexpr auto kHandOver = safeexchange::kBootloaderHandOver;
    struct Case {
        const char *what; // the safe's misbehaviour
        const char *port;
        std::string command;
        bool agreed;
        std::string reply;
        std::chrono::milliseconds atLeast; // 0: at once
    };
    const Case cases[] = {
        {"ok", "COM7", "X", true, "Y", 0ms},
        {"silent", "COM7", "X", false, "", kTotalTimeOut},
        {"disagree", "COM7", "X", false, "", 0ms},
        {"cut", "COM7", "X", false, "", 0ms},
        {"junk", "COM7", "X", true, "Y", 0ms},
        {"split, with a gap over 50 ms", "COM7", "X", false, "", 0ms},
        {"long: over 260 bytes", "COM7", "X", false, "", 0ms},
        {"no safe on COM8", "COM8", "X", false, "", 0ms},
        // A "T" met by one stray byte alone, as a reset that nothing showed
        // (a driver that raises DTR at every opening) leaves it, goes again
        // once the board has handed over...
        {"stray, then ok", "COM7", "T", true, "0", kHandOver},
        // ... and from then on, what must not go twice waits for the board.
        {"ok, a test command after the hand-over", "COM7", "X", true, "Y", kHandOver},
        {"ok, a harmless command at once", "COM7", "V", true, "Cadrelle 1 simulated", 0ms},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(settings::SetSerialPort(c.port));
        std::string reply = "unchanged";
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(SafeExchange(c.command, reply), c.agreed);
        const auto took = Clock::now() - start;
        EXPECT_EQ(reply, c.agreed ? c.reply : "unchanged");
        if (c.atLeast > 0ms)
            EXPECT_GE(took, testclock::AtLeast(c.atLeast));
        else
            EXPECT_LT(took, kAtOnce);
    }
}

// What the last program left in the driver never stays (avrdude leaves DTR
// and RTS disabled; here every flag is on). Wine's pseudo-terminal has no
// modem lines to show, so they are checked in the DCB an opening sets; the
// simulated safe checks the speed and framing that reach it.
TEST(ComLine, AnOpeningSetsItsOwnLinesWhateverTheLastProgramLeft)
{
    DCB line;
    std::memset(&line, 0xFF, sizeof line);
    comline::SetExchangeLine(line);
    // DTR, RTS, abort on error, speed, framing, and no flow control.
    EXPECT_EQ((std::array<DWORD, 12>{line.fDtrControl, line.fRtsControl, line.fAbortOnError, line.BaudRate,
                                     line.ByteSize, line.Parity, line.StopBits, line.fOutxCtsFlow, line.fOutxDsrFlow,
                                     line.fDsrSensitivity, line.fOutX, line.fInX}),
              (std::array<DWORD, 12>{DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE, FALSE, CBR_9600, 8, NOPARITY,
                                     ONESTOPBIT, 0, 0, 0, 0, 0}));
}

} // namespace
