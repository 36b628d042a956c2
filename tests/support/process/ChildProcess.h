// A program run as a child process of a test or a benchmark: started with its
// standard streams where the caller wants them, its output read with a
// time-out, and stopped. The simulated safe, the simulated board and avrdude
// run through it.
//
//     testsupport::ChildProcess child;
//     ASSERT_TRUE(child.start({"/path/to/program", "--flag"}, {})) << child.errorText();
//     std::string line;
//     ASSERT_TRUE(child.readLine(line, std::chrono::seconds(5)));
//     EXPECT_EQ(child.stop(), 0);
//
// The child dies with the thread that started it (PR_SET_PDEATHSIG), so a test
// that is killed leaves nothing behind: start it from a thread that outlives
// it. Plain C++; not thread-safe; one object per child.
#pragma once

#include <chrono>
#include <csignal>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

// The time from now to `deadline`, never negative.
std::chrono::milliseconds TimeLeft(std::chrono::steady_clock::time_point deadline);

class ChildProcess {
public:
    // Where the child's standard output or standard error leads.
    enum class Stream {
        Null,    // /dev/null
        Inherit, // where this process's own leads
        Read,    // the pipe that readMore() and readLine() read (both streams
                 // share it when both are Read)
        Collect, // a pipe read only at stop(), into errorOutput()
    };

    struct Options {
        // Standard input: a socket that send() writes to, else /dev/null. A
        // socket, so that writing to a child that has died gives an error
        // instead of SIGPIPE.
        bool writableInput = false;
        Stream output = Stream::Read;
        Stream errors = Stream::Inherit;
        // What the child gets when the thread that started it ends.
        int deathSignal = SIGTERM;
        // The child's current folder; empty: this process's.
        std::string workDir;
    };

    ChildProcess() = default;
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    ~ChildProcess();

    // Stops any child this object still has, then starts argv[0] (a path: no
    // search of PATH) with the words after it. False, with errorText(), when
    // no child could be made. A program that cannot be run makes a child that
    // ends at once with exit code 127 (126: it could not enter workDir).
    bool start(const std::vector<std::string> &argv, const Options &options);

    // Waits up to `timeout` for output and adds what came to pendingOutput().
    // False when nothing came in time or the output has ended.
    bool readMore(std::chrono::milliseconds timeout);

    // Takes the next whole line out of pendingOutput(), without its "\n";
    // false when no whole line is there yet.
    bool takeLine(std::string &line);

    // takeLine(), reading more for up to `timeout` until a line is there.
    bool readLine(std::string &line, std::chrono::milliseconds timeout);

    // Output read and not taken as a line yet.
    const std::string &pendingOutput() const { return pending_; }

    // The child closed its output (normally: it has ended).
    bool outputEnded() const { return outputFd_ < 0; }

    // Writes all of `text` to the child's standard input (writableInput).
    // False when it could not: no such input, or the child is gone.
    bool send(const std::string &text);

    // Sends `number` to the child while it runs.
    void signal(int number) const;

    // Waits until the child ends. Returns its exit code (128 + signal when
    // killed by one), or -1 when nothing was running.
    int wait();

    // SIGTERM, then SIGKILL after `grace`; then reads the output that is left
    // and the collected error output, and closes every pipe. Returns the exit
    // code as wait() does.
    int stop(std::chrono::milliseconds grace = std::chrono::seconds(3));

    // What a Collect stream brought, read at the last stop().
    const std::string &errorOutput() const { return errors_; }

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    const std::string &errorText() const { return error_; }

private:
    void collectErrors();
    void closePipes();

    pid_t pid_ = -1;
    int inputFd_ = -1;
    int outputFd_ = -1;
    int errorFd_ = -1;
    std::string pending_;
    std::string errors_;
    std::string error_;
};

} // namespace testsupport
