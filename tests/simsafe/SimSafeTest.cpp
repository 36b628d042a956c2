// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated safe as a program: exchanges over its real pseudo-terminal,
// opened and closed for every exchange as the controller does.
#include "SimSafeProcess.h"

#include "KeyCodes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using testsupport::SimSafeProcess;
namespace fs = std::filesystem;

// One exchange as a controller makes it: open, three copies, read until the
// line goes quiet for 50 ms, close. Reads everything, the bytes after a third
// stop included, so the tests see exactly what the safe sent.
std::string Reply(const std::string &path, const std::string &command)
{
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        ADD_FAILURE() << "cannot open " << path << ": " << std::strerror(errno);
        return bytes;
    }
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    const std::string copy = command + ".";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(::write(fd, copy.data(), copy.size()), static_cast<ssize_t>(copy.size()));
    pollfd p{fd, POLLIN, 0};
    char chunk[512];
    ssize_t n = 0;
    while (::poll(&p, 1, bytes.empty() ? 1000 : 50) > 0 && (n = ::read(fd, chunk, sizeof chunk)) > 0)
        bytes.append(chunk, static_cast<std::size_t>(n));
    ::close(fd);
    return bytes;
}

// The CPU time a process has used so far.
std::chrono::milliseconds CpuTime(pid_t pid)
{
    clockid_t clock;
    timespec t{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &t) != 0)
        return std::chrono::milliseconds(-1000);
    return std::chrono::seconds(t.tv_sec) + std::chrono::milliseconds(t.tv_nsec / 1000000);
}

// Between exchanges the safe waits for its port or its clock without
// spinning (a busy loop would use a second a second): unlocked with its
// port closed, and locked with its port held open by an idle controller. And
// it keeps its own time: a timed lock opens with no exchange to wake it.
TEST(SimSafe, KeepsItsOwnTimeAndWaitsWithoutSpinning)
{
    SimSafeProcess safe;
    ASSERT_TRUE(safe.start()) << safe.errorText();
    const auto unlockedBefore = CpuTime(safe.pid());
    std::this_thread::sleep_for(1000ms);
    const auto unlockedAfter = CpuTime(safe.pid());

    ASSERT_EQ(Reply(safe.portPath(), keycodes::MakeKeyCodesAt(99, 1, 1).lockCode), "Y.Y.Y.");
    EXPECT_EQ(Reply(safe.portPath(), "T"), "X.X.X.");
    EXPECT_EQ(safe.control("status").rfind("status latch=closed lock=timed", 0), 0u);
    const auto lockedBefore = CpuTime(safe.pid());
    const int fd = ::open(safe.portPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::this_thread::sleep_for(1300ms);
    const auto lockedAfter = CpuTime(safe.pid());
    ::close(fd);

    EXPECT_LE(unlockedAfter - unlockedBefore, 50ms);
    EXPECT_LE(lockedAfter - lockedBefore, 50ms);
    EXPECT_EQ(safe.control("status"), "status latch=open lock=none seconds=0 hidden=0");
    EXPECT_EQ(Reply(safe.portPath(), "T"), "0.0.0.");
}

TEST(SimSafe, StartsInAGivenLock)
{
    const keycodes::KeyCodes pair = keycodes::MakeKeyCodesAt(4242, 0, 0);
    const std::string nonce = pair.lockCode.substr(1, 4); // the lock code's first field
    const struct {
        std::vector<std::string> args;
        std::string time;
    } cases[] = {
        {{"--locked", "0", "--nonce", nonce}, "2147483647"},
        {{"--locked", "90", "--nonce", nonce}, "90"},
        {{"--locked", "90", "--hidden", "--nonce", nonce}, "X"},
    };
    for (const auto &c : cases) {
        SimSafeProcess safe;
        ASSERT_TRUE(safe.start(c.args)) << safe.errorText();
        EXPECT_EQ(Reply(safe.portPath(), "T"), c.time + "." + c.time + "." + c.time + ".");
        EXPECT_EQ(Reply(safe.portPath(), pair.lockCode), "N.N.N.");
        EXPECT_EQ(Reply(safe.portPath(), pair.unlockCode), "Y.Y.Y.");
        EXPECT_EQ(Reply(safe.portPath(), "T"), "0.0.0.");
    }
}

// The answers themselves are the safe's logic, tested byte by byte on its
// own; here, that a lock holds across many openings of the port and across a
// restart with a state file.
TEST(SimSafe, KeepsItsLockAcrossOpeningsAndRestarts)
{
    const QTemporaryDir dir;
    const std::string state = dir.path().toStdString() + "/safe-state";
    const keycodes::KeyCodes pair = keycodes::MakeKeyCodesAt(1234567, 7200, 0);
    {
        SimSafeProcess safe;
        ASSERT_TRUE(safe.start({"--state-file", state})) << safe.errorText();
        const std::string port = safe.portPath();
        EXPECT_EQ(Reply(port, "V"), "Cadrelle 1 simulated.Cadrelle 1 simulated.Cadrelle 1 simulated.");
        ASSERT_EQ(Reply(port, pair.lockCode), "Y.Y.Y.");
        EXPECT_EQ(Reply(port, "T"), "7200.7200.7200.");
        EXPECT_EQ(safe.control("status"), "status latch=closed lock=timed seconds=7200 hidden=0");
        EXPECT_EQ(safe.stop(), 0);
    }
    {
        SimSafeProcess safe;
        ASSERT_TRUE(safe.start({"--state-file", state})) << safe.errorText();
        EXPECT_EQ(safe.control("status"), "status latch=closed lock=timed seconds=7200 hidden=0");
        for (int i = 0; i < 30; ++i)
            ASSERT_EQ(Reply(safe.portPath(), "X"), "Y.Y.Y.") << "exchange " << i;
        EXPECT_EQ(Reply(safe.portPath(), pair.unlockCode), "Y.Y.Y.");
        EXPECT_EQ(safe.control("status"), "status latch=open lock=none seconds=0 hidden=0");
        EXPECT_EQ(safe.stop(), 0);
    }
    std::ofstream(state, std::ios::trunc) << "damaged";
    SimSafeProcess safe;
    ASSERT_TRUE(safe.start({"--state-file", state})) << safe.errorText();
    EXPECT_EQ(safe.control("status"), "status latch=open lock=none seconds=0 hidden=0");
}

TEST(SimSafe, LinkLivesAsLongAsTheSafe)
{
    const QTemporaryDir dir;
    const std::string link = dir.path().toStdString() + "/safe";
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        ASSERT_EQ(::symlink("/nonexistent/stale", link.c_str()), 0); // left by a crash
        SimSafeProcess safe;
        ASSERT_TRUE(safe.start({"--link", link})) << safe.errorText();
        EXPECT_EQ(fs::read_symlink(link).string(), safe.portPath());
        EXPECT_EQ(Reply(link, "T"), "0.0.0.");
        ::kill(safe.pid(), signal);
        EXPECT_EQ(safe.stop(), 0); // already on its way out: ends by the signal above
        EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    }

    // Anything but a link stays untouched, and the safe does not start.
    std::ofstream(link) << "mine";
    SimSafeProcess safe;
    EXPECT_FALSE(safe.start({"--link", link}));
    std::string content;
    std::ifstream(link) >> content;
    EXPECT_EQ(content, "mine");
}

} // namespace
