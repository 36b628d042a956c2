// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for avrdude in the launcher tests: a real program that the
// launcher starts like the uploader. It records what it was given (its words,
// its current folder, where its standard input and output lead), writes a
// line to standard error and one to standard output, and then waits until the
// test lets it finish, so the test can see that the launcher did not wait.
//
// Records go to the folder named by VANDREL_STANDIN_RECORD:
//   words    each argument (without the program name) followed by a NUL
//   cwd      the current folder
//   pid      its process id
//   streams  "stdin=<where>\nstdout=<where>\n", where "null" is /dev/null
//   started  written last of the above, so its presence means all are there
//   go       made by the test: finish now
//   done     written when finishing
// and, made by the test beforehand, an avrdude log to play back:
//   replay   written to standard error at the start, in place of its line
//   rest     written to standard error after "go", in place of its line
//   exit     the exit code, a number (0 when absent)

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

constexpr auto kLongestWait = std::chrono::seconds(30);
constexpr auto kPollInterval = std::chrono::milliseconds(10);

std::string Where(int fd)
{
    struct stat stream {};
    struct stat null {};
    if (fstat(fd, &stream) != 0)
        return "closed";
    if (stat("/dev/null", &null) == 0 && S_ISCHR(stream.st_mode) && stream.st_rdev == null.st_rdev)
        return "null";
    char target[4096] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : "unknown";
}

void WriteWhole(const std::string& path, const std::string& text)
{
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::binary);
        out << text;
    }
    std::rename(partial.c_str(), path.c_str());
}

// The record's text, or `otherwise` when the test made none.
std::string Given(const std::string& path, const std::string& otherwise)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return otherwise;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char** argv)
{
    const char* recordDir = std::getenv("VANDREL_STANDIN_RECORD");
    if (recordDir == nullptr)
        return 2;
    const std::string dir = recordDir;

    std::string words;
    for (int i = 1; i < argc; ++i) {
        words += argv[i];
        words += '\0';
    }
    WriteWhole(dir + "/words", words);

    char cwd[4096] = {};
    WriteWhole(dir + "/cwd", getcwd(cwd, sizeof cwd) != nullptr ? cwd : "");
    WriteWhole(dir + "/pid", std::to_string(getpid()));
    WriteWhole(dir + "/streams", "stdin=" + Where(0) + "\nstdout=" + Where(1) + "\n");

    std::fputs(Given(dir + "/replay", "stand-in error output\n").c_str(), stderr);
    std::fputs("stand-in standard output\n", stdout);
    std::fflush(stdout);
    WriteWhole(dir + "/started", "");

    const auto giveUp = std::chrono::steady_clock::now() + kLongestWait;
    while (access((dir + "/go").c_str(), F_OK) != 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(kPollInterval);

    std::fputs(Given(dir + "/rest", "stand-in finished\n").c_str(), stderr);
    WriteWhole(dir + "/done", "");
    return std::atoi(Given(dir + "/exit", "0").c_str());
}
