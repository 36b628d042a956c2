// SPDX-License-Identifier: GPL-3.0-or-later
// The fault soak, apart from how each system runs its workers and reaches
// its simulated safes: the faults and how often each is drawn, the drawing
// of each exchange from the seed, the exchange through SafeExchange() and its
// verdicts, and the table of figures. Linux (posix/FaultSoak.cpp) and Windows
// under Wine (win/FaultSoak.cpp) draw the same exchanges from the same
// seed and worker count, so their figures compare row by row.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace faultsoak {

// One exchange as it went.
struct Record {
    int fault;  // index into the fault table
    int gapMs;  // the pause of slow and split, else 0
    bool success;
    bool wrong; // a success the safe did not mean, or on bytes that cannot agree
    bool late;  // ended after the time-outs and the grace allow
    double ms;
};

struct Options {
    int exchanges = 10000;
    int workers = 8;
    int graceMs = 250;
    std::uint64_t seed = 1;
    bool keepUnread = false;
};

// The options every system's soak takes:
//   [exchanges] [--workers N] [--seed S] [--grace MS] [--keep-unread]
// False on an argument it does not know or a value out of range.
bool ParseOptions(const std::vector<std::string> &args, Options &options);
const char *UsageText();

// The exchanges that worker `index` of `workers` makes.
int WorkerShare(const Options &options, int index);

// The simulated safe's control lines ("reply TEXT", "reply-off",
// "misbehave MODE", "gap MS"): sends one and returns its answer line, empty
// when none came.
using SafeControl = std::function<std::string(const std::string &line)>;

// Worker `index`'s exchanges, each drawn from the seed and sent through
// SafeExchange() to the port the settings name. False, with a message on
// standard error, when the safe did not take a control line.
bool RunExchanges(const Options &options, int index, int count, const SafeControl &control,
                  std::vector<Record> &records);

// A worker's records, handed to the process that prints them.
bool WriteRecords(const std::string &path, const std::vector<Record> &records);
void AppendRecords(const std::string &path, std::vector<Record> &records);

// The table of figures for each fault and in all, the spread of times and
// the count of wrong successes and late exchanges; returns the wrong ones.
int PrintFigures(const std::vector<Record> &records, const Options &options, double seconds,
                 const std::string &where);

} // namespace faultsoak
