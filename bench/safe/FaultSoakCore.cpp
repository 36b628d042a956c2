// SPDX-License-Identifier: GPL-3.0-or-later
#include "FaultSoakCore.h"

#include "BenchStats.h"
#include "ExchangeRules.h"
#include "SafeExchange.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace faultsoak {

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

std::string RandomText(std::mt19937_64 &random, std::size_t maxLength, const char *alphabet)
{
    const std::size_t n = std::strlen(alphabet);
    std::string text(random() % (maxLength + 1), ' ');
    for (char &c : text)
        c = alphabet[random() % n];
    return text;
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

bool ParseOptions(const std::vector<std::string> &args, Options &options)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--workers" && hasValue)
            options.workers = std::atoi(args[++i].c_str());
        else if (args[i] == "--seed" && hasValue)
            options.seed = std::strtoull(args[++i].c_str(), nullptr, 10);
        else if (args[i] == "--keep-unread")
            options.keepUnread = true;
        else if (args[i] == "--grace" && hasValue)
            options.graceMs = std::atoi(args[++i].c_str());
        else if (args[i].empty() || args[i][0] == '-')
            return false;
        else
            options.exchanges = std::atoi(args[i].c_str());
    }
    return options.exchanges > 0 && options.workers > 0 && options.graceMs >= 0;
}

const char *UsageText()
{
    return "[exchanges] [--workers N] [--seed S] [--grace MS] [--keep-unread]";
}

int WorkerShare(const Options &options, int index)
{
    return options.exchanges / options.workers + (index < options.exchanges % options.workers ? 1 : 0);
}

bool RunExchanges(const Options &options, int index, int count, const SafeControl &control,
                  std::vector<Record> &records)
{
    std::mt19937_64 random(options.seed * 1000003u + std::uint64_t(index));
    records.reserve(records.size() + std::size_t(count));
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
            ok = control("reply " + meant) == "ok";
        } else {
            meant = command == "T" ? "0" : command == "V" ? kSafeVersion : command == "X" || command == "Y" ? "Y" : "?";
            ok = control("reply-off") == "ok";
        }
        ok = ok && control(std::string("misbehave ") + fault.mode) == "ok";
        ok = ok && control("gap " + std::to_string(gap)) == "ok";
        if (!ok) {
            std::fprintf(stderr, "bench_fault_soak: the simulated safe did not take a control line\n");
            return false;
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
                                      options.graceMs);
        const bool wrong = success && (reply != meant || !fault.canAgree);
        if (wrong)
            std::fprintf(stderr, "bench_fault_soak: WRONG SUCCESS: \"%s\" with fault %s (gap %d ms) gave \"%s\", the safe meant \"%s\"\n",
                         command.c_str(), fault.mode, gap, reply.c_str(), meant.c_str());
        records.push_back({f, gap, success, wrong, ms > allowed, ms});
    }
    return true;
}

bool WriteRecords(const std::string &path, const std::vector<Record> &records)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(records.data(), sizeof(Record), records.size(), file) == records.size();
    return std::fclose(file) == 0 && written;
}

void AppendRecords(const std::string &path, std::vector<Record> &records)
{
    if (std::FILE *file = std::fopen(path.c_str(), "rb")) {
        Record r;
        while (std::fread(&r, sizeof r, 1, file) == 1)
            records.push_back(r);
        std::fclose(file);
    }
}

int PrintFigures(const std::vector<Record> &all, const Options &options, double seconds, const std::string &where)
{
    std::printf("%zu exchanges through SafeExchange against %d simulated safes%s in %.0f s (seed %llu%s)\n",
                all.size(), options.workers, where.c_str(), seconds, static_cast<unsigned long long>(options.seed),
                options.keepUnread ? ", unread bytes kept for the next exchange" : "");
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
                static_cast<long long>(safeexchange::kReadTotalTimeout.count()), options.graceMs, late);
    return wrong;
}

} // namespace faultsoak
