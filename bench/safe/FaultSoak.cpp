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

#include "BenchStats.h"
#include "ExchangeRules.h"
#include "SafeExchange.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "TempSettingsHome.h"

#include <QCoreApplication>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using bench::Clock;
using bench::Millis;
using bench::Percentile;

struct Fault {
    const char *mode;   // the simulated safe's misbehaviour
    int weight;         // per thousand exchanges
    bool canAgree;      // false: no success is possible on these bytes
    std::array<int, 5> gaps; // ms, for slow and split; one drawn at random
};

// Silence costs the whole 2650 ms read, so it is drawn rarely.
const Fault kFaults[] = {
    {"ok", 290, true, {}},
    {"junk", 90, true, {}},
    {"split", 100, true, {5, 20, 80, 150, 500}},
    {"slow", 80, true, {2, 5, 10, 80, 150}},
    {"disagree", 80, false, {}},
    {"cut", 80, false, {}},
    {"nul", 80, false, {}},
    {"long", 80, false, {}},
    {"hangup", 60, false, {}},
    {"silent", 60, false, {}},
};
constexpr int kFaultCount = int(sizeof kFaults / sizeof kFaults[0]);

const char kSafeVersion[] = "Cadrelle 1 simulated";

struct Record {
    int fault;
    int gapMs;
    bool success;
    bool wrong;
    bool late;
    double ms;
};

std::string RandomText(std::mt19937_64 &random, std::size_t maxLength, const char *alphabet)
{
    const std::size_t n = std::strlen(alphabet);
    std::string text(random() % (maxLength + 1), ' ');
    for (char &c : text)
        c = alphabet[random() % n];
    return text;
}

int Worker(int argc, char **argv, int index, int count, std::uint64_t seed, int graceMs, bool keepUnread,
           const std::string &out)
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
    if (keepUnread)
        args.push_back("--keep-unread");
    if (!safe.start(args)) {
        std::fprintf(stderr, "bench_fault_soak: %s\n", safe.errorText().c_str());
        return 1;
    }
    if (!settings::SetSerialPort(link)) {
        std::fprintf(stderr, "bench_fault_soak: the settings store did not keep the port\n");
        return 1;
    }

    std::mt19937_64 random(seed * 1000003u + std::uint64_t(index));
    std::vector<Record> records;
    records.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        int draw = int(random() % 1000), f = 0;
        while (f + 1 < kFaultCount && draw >= kFaults[f].weight)
            draw -= kFaults[f++].weight;
        const Fault &fault = kFaults[f];
        const int gap = fault.gaps[0] ? fault.gaps[random() % fault.gaps.size()] : 0;

        // What to send, and what the safe will mean by its answer. The safe
        // stays unlocked: no code is ever sent.
        static const char *const kCommands[] = {"T", "V", "X", "Y"};
        const std::size_t pick = random() % 5;
        const std::string command =
            pick < 4 ? kCommands[pick] : RandomText(random, 12, "abcdefghijklmnopqrstuvwxyz0123456789 ");
        std::string meant;
        bool ok = true;
        if (random() % 10 < 7) {
            meant = RandomText(random, 24, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -");
            ok = safe.control("reply " + meant) == "ok";
        } else {
            meant = command == "T" ? "0" : command == "V" ? kSafeVersion : command == "X" || command == "Y" ? "Y" : "?";
            ok = safe.control("reply-off") == "ok";
        }
        ok = ok && safe.control(std::string("misbehave ") + fault.mode) == "ok";
        ok = ok && safe.control("gap " + std::to_string(gap)) == "ok";
        if (!ok) {
            std::fprintf(stderr, "bench_fault_soak: the simulated safe did not take a control line\n");
            return 1;
        }

        std::string reply = "\x01 unchanged";
        const Clock::time_point start = Clock::now();
        const bool success = SafeExchange(command, reply);
        const double ms = Millis(Clock::now() - start).count();

        const std::size_t sent = command.size() + 1;
        // A harmless command that met silence is sent once more.
        const int attempts = safeexchange::HarmlessToRepeat(command) ? 2 : 1;
        const double allowed = double(attempts * (3 * safeexchange::WriteTimeout(sent).count() +
                                                  safeexchange::kReadTotalTimeout.count()) +
                                      graceMs);
        const bool wrong = success && (reply != meant || !fault.canAgree);
        if (wrong)
            std::fprintf(stderr, "bench_fault_soak: WRONG SUCCESS: \"%s\" with fault %s (gap %d ms) gave \"%s\", the safe meant \"%s\"\n",
                         command.c_str(), fault.mode, gap, reply.c_str(), meant.c_str());
        records.push_back({f, gap, success, wrong, ms > allowed, ms});
    }

    std::FILE *file = std::fopen(out.c_str(), "wb");
    if (file == nullptr || std::fwrite(records.data(), sizeof(Record), records.size(), file) != records.size()) {
        std::fprintf(stderr, "bench_fault_soak: could not write %s\n", out.c_str());
        return 1;
    }
    std::fclose(file);
    return 0;
}

void PrintRow(const char *name, const std::vector<const Record *> &rows)
{
    std::vector<double> ms;
    int successes = 0, wrong = 0, late = 0;
    for (const Record *r : rows) {
        ms.push_back(r->ms);
        successes += r->success;
        wrong += r->wrong;
        late += r->late;
    }
    std::printf("%-10s %7zu %9d %6d %5d %9.1f %8.1f %8.1f %8.1f\n", name, rows.size(), successes, wrong, late,
                Percentile(ms, 50), Percentile(ms, 95), Percentile(ms, 99), Percentile(ms, 100));
}

} // namespace

int main(int argc, char **argv)
{
    int exchanges = 10000, workers = 8, graceMs = 250;
    std::uint64_t seed = 1;
    bool keepUnread = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--workers") == 0 && hasValue)
            workers = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--seed") == 0 && hasValue)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--keep-unread") == 0)
            keepUnread = true;
        else if (std::strcmp(argv[i], "--grace") == 0 && hasValue)
            graceMs = std::atoi(argv[++i]);
        else
            exchanges = std::atoi(argv[i]);
    }
    if (exchanges <= 0 || workers <= 0 || graceMs < 0) {
        std::fprintf(stderr, "usage: bench_fault_soak [exchanges] [--workers N] [--seed S] [--grace MS] [--keep-unread]\n");
        return 2;
    }

    char dir[] = "/tmp/vandrel-soak-XXXXXX";
    if (::mkdtemp(dir) == nullptr) {
        std::perror("bench_fault_soak: mkdtemp");
        return 1;
    }
    const Clock::time_point start = Clock::now();
    std::vector<pid_t> children;
    std::vector<std::string> files;
    for (int w = 0; w < workers; ++w) {
        const int share = exchanges / workers + (w < exchanges % workers ? 1 : 0);
        files.push_back(std::string(dir) + "/worker" + std::to_string(w));
        const pid_t pid = ::fork();
        if (pid < 0) {
            std::perror("bench_fault_soak: fork");
            return 1;
        }
        if (pid == 0)
            ::_exit(Worker(argc, argv, w, share, seed, graceMs, keepUnread, files.back()));
        children.push_back(pid);
    }
    bool workersOk = true;
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        workersOk = workersOk && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<Record> all;
    for (const std::string &path : files) {
        if (std::FILE *file = std::fopen(path.c_str(), "rb")) {
            Record r;
            while (std::fread(&r, sizeof r, 1, file) == 1)
                all.push_back(r);
            std::fclose(file);
        }
        std::remove(path.c_str());
    }
    ::rmdir(dir);

    std::printf("%zu exchanges through SafeExchange against %d simulated safes in %.0f s (seed %llu%s)\n",
                all.size(), workers, seconds, static_cast<unsigned long long>(seed),
                keepUnread ? ", unread bytes kept for the next exchange" : "");
    std::printf("%-10s %7s %9s %6s %5s %9s %8s %8s %8s\n", "fault", "count", "succeeded", "wrong", "late",
                "median ms", "p95 ms", "p99 ms", "max ms");
    std::vector<const Record *> every;
    for (const Record &r : all)
        every.push_back(&r);
    for (int f = 0; f < kFaultCount; ++f) {
        std::vector<const Record *> rows;
        for (const Record &r : all)
            if (r.fault == f)
                rows.push_back(&r);
        PrintRow(kFaults[f].mode, rows);
        if (kFaults[f].gaps[0] != 0) {
            for (int gap : kFaults[f].gaps) {
                std::vector<const Record *> gapRows;
                for (const Record *r : rows)
                    if (r->gapMs == gap)
                        gapRows.push_back(r);
                const std::string name = "  " + std::to_string(gap) + " ms";
                PrintRow(name.c_str(), gapRows);
            }
        }
    }
    PrintRow("all", every);

    const double edges[] = {25, 50, 100, 250, 500, 1000, 2000, 3000};
    std::printf("exchange times:");
    double below = 0;
    for (double edge : edges) {
        int n = 0;
        for (const Record &r : all)
            n += r.ms >= below && r.ms < edge;
        std::printf("  %g-%g ms: %d", below, edge, n);
        below = edge;
    }
    int rest = 0, wrong = 0, late = 0;
    for (const Record &r : all) {
        rest += r.ms >= below;
        wrong += r.wrong;
        late += r.late;
    }
    std::printf("  %g ms and over: %d\n", below, rest);
    std::printf("wrong successes: %d; late exchanges (over 3 writes + %lld ms read + %d ms grace): %d\n", wrong,
                static_cast<long long>(safeexchange::kReadTotalTimeout.count()), graceMs, late);
    if (!workersOk)
        std::printf("a worker failed: the figures are incomplete\n");
    return wrong == 0 && workersOk ? 0 : 1;
}
