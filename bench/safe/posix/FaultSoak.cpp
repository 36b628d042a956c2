// SPDX-License-Identifier: GPL-3.0-or-later
// The fault soak: many exchanges through SafeExchange() against simulated
// safes whose replies break in a way drawn at random for each exchange
// (silence, slow bytes, a cut, a split, copies that disagree, a NUL, junk
// after the reply, a reply too long for the read, a hang-up). It counts
//  - wrong successes: an exchange reported as a success whose reply is not
//    the one the safe meant, or that succeeded on bytes that can never agree
//    (must be 0);
//  - late exchanges: ones that ended after the time-outs allow (three writes
//    of 10 ms a byte + 50 ms, the 2650 ms read) plus a grace for opening and
//    closing the port (must be 0);
// and prints the distribution of exchange times, for each fault and in all.
// Figures only: it never fails on time, and fails only on a wrong success.
//
//   bench_fault_soak [exchanges] [--workers N] [--seed S] [--grace MS] [--keep-unread]
//
// exchanges: in all (default 10000), shared among N worker processes
// (default 8), each with its own simulated safe and settings home, so that
// the waits of silent safes overlap. The safe answers either a fixed reply
// text drawn at random (its "reply" control line) or its own reply to
// "T", "V", "X", "Y" or other text, so the bench always knows what it meant.
// With --keep-unread the safes keep sending what a closed exchange left
// unread (the rest of a slow reply, junk, the tail of a long reply) to the
// next one, as a serial line does, instead of throwing it away.
// The drawing and the figures are FaultSoakCore's, shared with the Windows
// soak (win/FaultSoak.cpp).

#include "BenchStats.h"
#include "FaultSoakCore.h"
#include "SafeExchange.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "TempSettingsHome.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

int Worker(int argc, char **argv, const faultsoak::Options &options, int index, const std::string &out)
{
    QCoreApplication app(argc, argv);
    testsupport::TempSettingsHome home;
    if (!home.isValid()) {
        std::fprintf(stderr, "bench_fault_soak: no temporary settings home\n");
        return 1;
    }
    // The link follows the safe to its new terminal after a hang-up.
    const std::string link = home.path().toStdString() + "/safe";
    testsupport::SimSafeProcess safe;
    std::vector<std::string> args{"--link", link};
    if (options.keepUnread)
        args.push_back("--keep-unread");
    if (!safe.start(args)) {
        std::fprintf(stderr, "bench_fault_soak: %s\n", safe.errorText().c_str());
        return 1;
    }
    if (!settings::SetSerialPort(link)) {
        std::fprintf(stderr, "bench_fault_soak: the settings store did not keep the port\n");
        return 1;
    }
    std::vector<faultsoak::Record> records;
    if (!faultsoak::RunExchanges(options, index, faultsoak::WorkerShare(options, index),
                                 [&safe](const std::string &line) { return safe.control(line); }, records))
        return 1;
    if (!faultsoak::WriteRecords(out, records)) {
        std::fprintf(stderr, "bench_fault_soak: could not write %s\n", out.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    faultsoak::Options options;
    if (!faultsoak::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options)) {
        std::fprintf(stderr, "usage: bench_fault_soak %s\n", faultsoak::UsageText());
        return 2;
    }

    char dir[] = "/tmp/vandrel-soak-XXXXXX";
    if (::mkdtemp(dir) == nullptr) {
        std::perror("bench_fault_soak: mkdtemp");
        return 1;
    }
    const bench::Clock::time_point start = bench::Clock::now();
    std::vector<pid_t> children;
    std::vector<std::string> files;
    for (int w = 0; w < options.workers; ++w) {
        files.push_back(std::string(dir) + "/worker" + std::to_string(w));
        const pid_t pid = ::fork();
        if (pid < 0) {
            std::perror("bench_fault_soak: fork");
            return 1;
        }
        if (pid == 0)
            ::_exit(Worker(argc, argv, options, w, files.back()));
        children.push_back(pid);
    }
    bool workersOk = true;
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        workersOk = workersOk && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    const double seconds = std::chrono::duration<double>(bench::Clock::now() - start).count();

    std::vector<faultsoak::Record> all;
    for (const std::string &path : files) {
        faultsoak::AppendRecords(path, all);
        std::remove(path.c_str());
    }
    ::rmdir(dir);

    const int wrong = faultsoak::PrintFigures(all, options, seconds, "");
    if (!workersOk)
        std::printf("a worker failed: the figures are incomplete\n");
    return wrong == 0 && workersOk ? 0 : 1;
}
