// A scripted stand-in for the safe on a real pseudo-terminal.
//
// The peer opens a pseudo-terminal pair (raw mode), keeps its own handle on
// the port side so the terminal lives between exchanges, and serves the
// controller side from a thread: every time `stopsPerCommand` full stops have
// come in (three for a command without "." in it: T.T.T.), it takes that as
// one command and plays the next scripted reply: bytes, with pauses before
// them, silence, or hanging up (closing the terminal, as an unplugged board).
// Plain C++ and POSIX; no Qt.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct PeerReply {
    struct Chunk {
        std::chrono::milliseconds pause; // before these bytes are sent
        std::string bytes;
    };
    std::vector<Chunk> chunks;
    bool hangUp = false; // after the chunks, close the pseudo-terminal for good

    static PeerReply Bytes(std::string bytes) { return PeerReply{}.Then({}, std::move(bytes)); }
    static PeerReply Silence() { return PeerReply{}; }
    PeerReply &Then(std::chrono::milliseconds pause, std::string bytes)
    {
        chunks.push_back({pause, std::move(bytes)});
        return *this;
    }
    PeerReply &ThenHangUp()
    {
        hangUp = true;
        return *this;
    }
};

class ScriptedPeer {
public:
    explicit ScriptedPeer(std::size_t stopsPerCommand = 3);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer &) = delete;
    ScriptedPeer &operator=(const ScriptedPeer &) = delete;

    // False when no pseudo-terminal could be opened.
    bool isOpen() const { return !path_.empty(); }
    // The device the controller opens, such as /dev/pts/3.
    const std::string &portPath() const { return path_; }

    // Replies to the next commands, in order, after those already queued.
    void answer(std::vector<PeerReply> replies);
    // The reply once the queue is empty (at first: silence).
    void answerAlways(PeerReply reply);

    // Every byte received so far, and the commands cut from them (each with
    // its framing, such as "T.T.T.").
    std::string received() const;
    std::vector<std::string> commands() const;
    bool hungUp() const;

    // Waits until `count` commands have come in and their replies have been
    // played to the end. False when that did not happen within `limit`.
    bool waitUntilAnswered(std::size_t count, std::chrono::milliseconds limit) const;

private:
    void serve();
    bool play(const PeerReply &reply);
    bool pause(std::chrono::milliseconds pause);
    bool send(const std::string &bytes);
    void closeTerminal();

    const std::size_t stopsPerCommand_;
    int controller_ = -1; // the master side, which the peer serves
    int port_ = -1;       // the peer's own handle on the port side
    int wake_[2] = {-1, -1};
    std::string path_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<PeerReply> queued_;
    PeerReply always_;
    std::string received_;
    std::vector<std::string> commands_;
    std::size_t answered_ = 0;
    bool hungUp_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace testsupport
