// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated board (program `simboard`) as a child process of a test or a
// benchmark, with the events it reports (resets, the firmware's start, the
// latch output).
//
//     testsupport::SimBoardProcess board;
//     ASSERT_TRUE(board.start({"--firmware", testsupport::FirmwarePath("Cadrelle")}))
//         << board.errorText();
//     ASSERT_TRUE(board.waitFor("start", 5s));   // the bootloader handed over
//     ASSERT_TRUE(board.waitFor("listen", 1s));  // the firmware's receiver is on
//     ... exchanges on board.portPath() ...
//     EXPECT_TRUE(board.waitFor("latch 0", 2s));
//
// The child is stopped by stop() or the destructor, and dies with the thread
// that started it. Not thread-safe.
#pragma once

#include "ChildProcess.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// One event line of simboard: the seconds since it started and the text after
// them ("reset upload", "start", "listen 9615", "latch 1", ...).
struct BoardEvent {
    double seconds = 0;
    std::string what;
};

// Blink.hex or Cadrelle.hex as the build made them.
std::string FirmwarePath(const std::string &name);

// The bootloader waits about 1.3 s after a reset before it starts the program.
inline constexpr std::chrono::seconds kBootWait{5};

// The safe's reply to `command` through the stored port, or "<no reply>".
std::string Ask(const std::string &command);

// avrdude with the uploader's words of the Test window, against Debian's
// avrdude and its configuration: -v -C /etc/avrdude.conf -p atmega168 -P <port>
// -c stk500v1 -b19200 -U flash:w:<hex>. Runs it to its end in `workDir` and
// returns its exit code; its standard error goes to `log`.
int RunAvrdude(const std::string &port, const std::string &hexFile, const std::string &workDir,
               std::string &log);

class SimBoardProcess {
public:
    SimBoardProcess() = default;
    SimBoardProcess(const SimBoardProcess &) = delete;
    SimBoardProcess &operator=(const SimBoardProcess &) = delete;
    ~SimBoardProcess();

    // Starts the board and waits for its port's path. False, with
    // errorText(), when it did not come up (it is then stopped).
    bool start(const std::vector<std::string> &args = {},
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

    const std::string &portPath() const { return portPath_; }

    // Waits for the next event, after those already passed over, whose text
    // begins with `prefix`; events before it are passed over.
    std::optional<BoardEvent> waitFor(const std::string &prefix, std::chrono::milliseconds timeout);

    // Waits until the board has seen the port closed by everyone who opened
    // it (as many "close" events as "open" ones). The board reads the port's
    // HUPCL flag a moment after each close; a test that opens the port and
    // changes the flag at once waits for this first, as a person would.
    bool waitUntilPortClosed(std::chrono::milliseconds timeout);

    // Every event so far, passed over or not (reads what is waiting).
    const std::vector<BoardEvent> &events();

    // Presses the board's reset button.
    void pressReset();

    // Drops DTR as another program's uploader does when it leaves the port,
    // with HUPCL clear: the next opening resets a board as sold, and the
    // port's flag does not show it.
    void dropDtr();

    // SIGTERM, then SIGKILL after `grace`; returns the exit code, -1 when it
    // ended by a signal.
    int stop(std::chrono::milliseconds grace = std::chrono::seconds(3));

    // What the board wrote to its standard error (read at stop()).
    const std::string &errorOutput() const { return errorOutput_; }
    const std::string &errorText() const { return error_; }

private:
    bool readMore(std::chrono::milliseconds timeout);
    void takeEvents();

    QProcess child_;
    std::string errorOutput_;
    std::string portPath_;
    std::string error_;
    std::vector<BoardEvent> events_;
    std::size_t next_ = 0;
};

} // namespace testsupport
