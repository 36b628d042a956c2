// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated safe: the safe's own logic served on a pseudo-terminal, with
// the host's clock, for tests and for trying the controller without a board.
#include "Options.h"
#include "PseudoTerminal.h"
#include "ReplyShape.h"

#include "SafeLogic.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const char kVersion[] = "Cadrelle 1 simulated";

int gSignalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

std::uint32_t NowMs()
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

// Text for the log, with the bytes a terminal would not show written out.
std::string Printable(std::string_view bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return out;
}

void Say(const std::string &line)
{
    // Standard output carries the port path and the control answers; a reader
    // that went away is no reason to stop serving.
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

class Server {
public:
    explicit Server(const simsafe::Options &options) : options_(options), safe_(kVersion) {}

    int Run();

private:
    struct Pending {
        std::string bytes;
        std::size_t written = 0;
        std::uint32_t dueMs = 0;
        bool hangUpAfter = false;
    };

    bool Start();
    void Stop();
    bool OpenTerminal(simsafe::PseudoTerminal &terminal);
    void Log(const std::string &text) const;
    void FollowPeers();
    void ReadLine();
    bool LineAsTheSafes();
    void Answer();
    void WriteDue();
    void HangUp();
    void ReadControl();
    void Control(std::string_view line);
    void AfterTick();
    void LoadState();
    void SaveState();
    int PollTimeout() const;

    simsafe::Options options_;
    safelogic::SafeLogic safe_;
    std::unique_ptr<simsafe::PseudoTerminal> terminal_ = std::make_unique<simsafe::PseudoTerminal>();
    std::deque<Pending> output_;
    std::size_t replies_ = 0;
    std::string received_; // bytes since the last reply, for the log
    std::string byteLog_;  // bytes since the last "received" control line
    std::string lineFault_; // what was wrong with the controller's line settings
    bool latchClosed_ = false;
    bool controlOpen_ = true;
    std::string controlBuffer_;
    std::uint32_t masterQuietUntil_ = 0;
    bool masterQuiet_ = false;
};

void Server::Log(const std::string &text) const
{
    if (options_.verbose)
        std::fprintf(stderr, "simsafe: %s\n", text.c_str());
}

bool Server::OpenTerminal(simsafe::PseudoTerminal &terminal)
{
    std::string error;
    if (!terminal.Open(error)) {
        std::fprintf(stderr, "simsafe: %s\n", error.c_str());
        return false;
    }
    if (terminal.WatchFd() < 0)
        Log("inotify is not available: what a controller leaves unread stays queued");
    if (!options_.linkPath.empty() && !simsafe::PlaceLink(options_.linkPath, terminal.Path(), error)) {
        std::fprintf(stderr, "simsafe: %s\n", error.c_str());
        return false;
    }
    return true;
}

bool Server::Start()
{
    safe_.Tick(NowMs());
    LoadState();
    if (options_.startLock) {
        const simsafe::StartLock &lock = *options_.startLock;
        const safelogic::LockMode mode =
            lock.seconds == 0 ? safelogic::kLockedUntilUnlockCode : safelogic::kLockedForTime;
        safe_.Restore(safelogic::SealedState(mode, lock.hidden, lock.nonce,
                                             static_cast<std::uint32_t>(lock.seconds)));
        SaveState();
    }
    latchClosed_ = safe_.LatchClosed();
    return OpenTerminal(*terminal_);
}

void Server::LoadState()
{
    if (options_.stateFile.empty())
        return;
    std::FILE *file = std::fopen(options_.stateFile.c_str(), "rb");
    if (!file)
        return;
    safelogic::PersistentState state{};
    const bool whole = std::fread(&state, sizeof state, 1, file) == 1;
    std::fclose(file);
    if (!whole || !safe_.Restore(state))
        std::fprintf(stderr, "simsafe: %s holds no usable state; starting unlocked\n",
                     options_.stateFile.c_str());
}

void Server::SaveState()
{
    if (options_.stateFile.empty())
        return;
    const safelogic::PersistentState state = safe_.Snapshot();
    const std::string temporary = options_.stateFile + ".new";
    std::FILE *file = std::fopen(temporary.c_str(), "wb");
    bool ok = file != nullptr && std::fwrite(&state, sizeof state, 1, file) == 1;
    if (file != nullptr)
        ok = std::fclose(file) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), options_.stateFile.c_str()) != 0) {
        std::fprintf(stderr, "simsafe: could not store the lock in %s: %s\n",
                     options_.stateFile.c_str(), std::strerror(errno));
        std::remove(temporary.c_str());
    }
}

void Server::AfterTick()
{
    if (safe_.LatchClosed() != latchClosed_) {
        latchClosed_ = safe_.LatchClosed();
        Log(latchClosed_ ? "latch closed" : "latch open");
    }
    if (safe_.TakePersistRequest())
        SaveState();
}

void Server::FollowPeers()
{
    if (!terminal_->ReadPeerEvents())
        return;
    // A real port that is closed receives nothing: whatever the safe still
    // had to say, and a command cut off by the close, go nowhere.
    if (!options_.goOnSending)
        output_.clear();
    if (!options_.keepUnread)
        terminal_->DiscardUnread();
    safe_.AbandonInput();
    received_.clear();
    Log(terminal_->PeerPresent() ? "port opened" : "port closed");
}

void Server::ReadLine()
{
    char buffer[512];
    while (true) {
        const ssize_t n = ::read(terminal_->MasterFd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            // Not expected while the server holds the slave side itself;
            // back off rather than poll a broken descriptor in a loop.
            Log(std::string("reading the terminal: ") + (n == 0 ? "end" : std::strerror(errno)));
            masterQuiet_ = true;
            masterQuietUntil_ = NowMs() + 100;
            return;
        }
        if (!terminal_->PeerPresent())
            continue; // written by a controller that has closed the port since
        if (!LineAsTheSafes())
            continue;
        safe_.Tick(NowMs());
        for (ssize_t i = 0; i < n; ++i) {
            if (received_.size() < 300)
                received_ += buffer[i];
            if (byteLog_.size() < 65536)
                byteLog_ += buffer[i];
            if (safe_.Feed(static_cast<std::uint8_t>(buffer[i])))
                Answer();
        }
        AfterTick();
    }
}

// A board's UART at 9600 bit/s, 8N1 makes only noise of bytes sent at
// another speed, framing or parity: the safe hears no command, and says why
// on its standard error once. It is stricter than a board (which would read
// bytes sent with two stop bits) so that a test sees any setting other than
// the controller's own.
bool Server::LineAsTheSafes()
{
    const std::string fault = terminal_->LineFault();
    if (!fault.empty() && fault != lineFault_)
        std::fprintf(stderr, "simsafe: the controller's line is set wrong (%s): its bytes are noise to the safe\n",
                     fault.c_str());
    lineFault_ = fault;
    if (fault.empty())
        return true;
    safe_.AbandonInput();
    received_.clear();
    return false;
}

void Server::Answer()
{
    const std::string reply = options_.fixedReply ? *options_.fixedReply
                                                  : std::string(safe_.Reply(), safe_.ReplyLength());
    simsafe::Misbehaviour how = simsafe::Misbehaviour::None;
    if (!options_.misbehaviour.empty())
        how = options_.misbehaviour[std::min(replies_, options_.misbehaviour.size() - 1)];
    ++replies_;
    Log("received \"" + Printable(received_) + "\", answering \"" + Printable(reply) + "\"" +
        (how == simsafe::Misbehaviour::None ? "" : " (" + std::string(simsafe::MisbehaviourName(how)) + ")"));
    received_.clear();

    std::uint32_t due = NowMs();
    if (!output_.empty())
        due = std::max(due, output_.back().dueMs);
    for (simsafe::Segment &segment : simsafe::ShapeReply(reply, how, options_.gap)) {
        due += static_cast<std::uint32_t>(segment.delayBefore.count());
        output_.push_back(Pending{std::move(segment.bytes), 0, due, segment.hangUpAfter});
    }
}

void Server::WriteDue()
{
    const std::uint32_t now = NowMs();
    while (!output_.empty()) {
        if (static_cast<std::int32_t>(now - output_.front().dueMs) < 0)
            return;
        // Nothing goes to a controller that has closed the port meanwhile.
        FollowPeers();
        if (output_.empty())
            return;
        Pending &next = output_.front();
        while (next.written < next.bytes.size()) {
            const ssize_t n = ::write(terminal_->MasterFd(), next.bytes.data() + next.written,
                                      next.bytes.size() - next.written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return; // full: poll waits for room
            next.written += static_cast<std::size_t>(n);
        }
        const bool hangUp = next.hangUpAfter;
        output_.pop_front();
        if (hangUp) {
            HangUp();
            return;
        }
    }
}

void Server::HangUp()
{
    // Closing the master is what a pseudo-terminal has for a hang-up. The
    // safe then goes on serving on a new terminal, which the link follows;
    // the link moves first, so a controller that reopens it at once after
    // the hang-up finds the new one.
    output_.clear();
    safe_.AbandonInput();
    received_.clear();
    auto next = std::make_unique<simsafe::PseudoTerminal>();
    if (!OpenTerminal(*next)) {
        Log("could not open a new terminal after the hang-up");
        ::raise(SIGTERM);
        return;
    }
    const std::string old = terminal_->Path();
    terminal_ = std::move(next);
    Log("hung up " + old + ", now serving " + terminal_->Path());
    Say("port " + terminal_->Path());
}

void Server::ReadControl()
{
    char buffer[512];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        controlOpen_ = false; // no more control lines; the safe goes on serving
        return;
    }
    controlBuffer_.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = controlBuffer_.find('\n')) != std::string::npos) {
        std::string line = controlBuffer_.substr(0, end);
        controlBuffer_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Control(line);
    }
    if (controlBuffer_.size() > 4096)
        controlBuffer_.clear();
}

void Server::Control(std::string_view line)
{
    const std::size_t space = line.find(' ');
    const std::string_view word = line.substr(0, space);
    const std::string_view rest = space == std::string_view::npos ? "" : line.substr(space + 1);
    std::string error;
    if (word == "status") {
        const char *lock = safe_.Mode() == safelogic::kUnlocked              ? "none"
                           : safe_.Mode() == safelogic::kLockedUntilUnlockCode ? "until-unlock"
                                                                               : "timed";
        Say(std::string("status latch=") + (safe_.LatchClosed() ? "closed" : "open") +
            " lock=" + lock + " seconds=" + std::to_string(safe_.SecondsLeft()) +
            " hidden=" + (safe_.TimeHidden() ? "1" : "0"));
    } else if (word == "misbehave") {
        std::vector<simsafe::Misbehaviour> modes;
        if (!simsafe::ParseMisbehaviourList(rest, modes, error)) {
            Say("error " + error);
            return;
        }
        options_.misbehaviour = modes;
        replies_ = 0;
        Say("ok");
    } else if (word == "gap") {
        if (!simsafe::ParseGap(rest, options_.gap)) {
            Say("error gap takes milliseconds from 0 to 60000");
            return;
        }
        Say("ok");
    } else if (word == "reply") {
        options_.fixedReply = std::string(rest);
        Say("ok");
    } else if (word == "reply-off") {
        options_.fixedReply.reset();
        Say("ok");
    } else if (word == "received") {
        // Hexadecimal, so that any byte, a line end included, fits the line.
        std::string hex;
        for (unsigned char c : byteLog_) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02x", c);
            hex += pair;
        }
        byteLog_.clear();
        Say("received " + hex);
    } else {
        Say("error unknown control line \"" + Printable(line) + "\"");
    }
}

int Server::PollTimeout() const
{
    std::uint32_t wait = safe_.MillisecondsUntilDue();
    const std::uint32_t now = NowMs();
    if (!output_.empty()) {
        const std::int32_t untilDue = static_cast<std::int32_t>(output_.front().dueMs - now);
        wait = std::min<std::uint32_t>(wait, untilDue > 0 ? static_cast<std::uint32_t>(untilDue) : 0);
    }
    if (masterQuiet_) {
        const std::int32_t untilLoud = static_cast<std::int32_t>(masterQuietUntil_ - now);
        wait = std::min<std::uint32_t>(wait, untilLoud > 0 ? static_cast<std::uint32_t>(untilLoud) : 0);
    }
    if (wait == 0xFFFFFFFFu)
        return -1;
    return static_cast<int>(std::min<std::uint32_t>(wait, 60000));
}

int Server::Run()
{
    if (!Start())
        return 1;
    Say(terminal_->Path());
    Log("serving " + terminal_->Path());

    while (true) {
        safe_.Tick(NowMs());
        AfterTick();
        if (masterQuiet_ && static_cast<std::int32_t>(NowMs() - masterQuietUntil_) >= 0)
            masterQuiet_ = false;

        pollfd fds[4];
        nfds_t count = 0;
        fds[count++] = {gSignalPipe[0], POLLIN, 0};
        fds[count++] = {terminal_->WatchFd(), POLLIN, 0}; // -1 is skipped by poll
        const nfds_t masterAt = count;
        short masterEvents = masterQuiet_ ? 0 : POLLIN;
        if (!output_.empty() && output_.front().written > 0)
            masterEvents |= POLLOUT; // a write stopped part-way
        fds[count++] = {masterQuiet_ ? -1 : terminal_->MasterFd(), masterEvents, 0};
        const nfds_t controlAt = count;
        fds[count++] = {controlOpen_ ? STDIN_FILENO : -1, POLLIN, 0};

        const int ready = ::poll(fds, count, PollTimeout());
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "simsafe: poll: %s\n", std::strerror(errno));
            break;
        }
        if (ready > 0 && fds[0].revents != 0)
            break;
        // Open and close events first: they were queued before any byte the
        // new controller wrote, and after any byte the old one wrote.
        FollowPeers();
        if (ready > 0 && (fds[masterAt].revents & (POLLIN | POLLHUP | POLLERR)))
            ReadLine();
        if (ready > 0 && fds[controlAt].revents != 0)
            ReadControl();
        safe_.Tick(NowMs());
        AfterTick();
        WriteDue();
    }
    Stop();
    return 0;
}

void Server::Stop()
{
    SaveState();
    if (!options_.linkPath.empty())
        simsafe::RemoveLink(options_.linkPath, terminal_->Path());
    Log("stopped");
    terminal_->Close();
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string_view> args(argv + 1, argv + argc);
    simsafe::Options options;
    std::string error;
    if (!simsafe::ParseOptions(args, options, error)) {
        std::fprintf(stderr, "simsafe: %s\n%s", error.c_str(), simsafe::UsageText().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(simsafe::UsageText().c_str(), stdout);
        return 0;
    }

    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("simsafe: pipe");
        return 1;
    }
    struct sigaction stop{};
    stop.sa_handler = OnStopSignal;
    sigemptyset(&stop.sa_mask);
    // Set even where the shell started us with SIGINT ignored, so that
    // Ctrl+C and a script's kill both end the safe the same clean way.
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        sigaction(s, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Server server(options);
    return server.Run();
}
