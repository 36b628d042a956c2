// SPDX-License-Identifier: GPL-3.0-or-later
// How long one "T" exchange takes over a pseudo-terminal, with the read's
// early end at the third full stop and without it (ended only by the 50 ms
// gap after the last byte). Prints the median and 95th percentile of each
// and their ratio. Figures only: it never fails on time.
//
//   bench_exchange [count]
//
// count: exchanges of each kind (default 200). The exchanges go to the
// simulated safe (program simsafe).

#include "BenchStats.h"
#include "SafeCommands.h"
#include "SafeExchange.h"
#include "SafeExchangeDetail.h"
#include "Settings.h"
#include "SimSafeProcess.h"
#include "TempSettingsHome.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::Millis;
using bench::Percentile;
using safeexchange::detail::ReadEnd;

struct Series {
    const char *name;
    ReadEnd readEnd;
    std::vector<double> ms;
    int failed = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;
    if (count <= 0 || argc > 2) {
        std::fprintf(stderr, "usage: bench_exchange [count]\n");
        return 2;
    }

    testsupport::TempSettingsHome home;
    if (!home.isValid()) {
        std::fprintf(stderr, "bench_exchange: no temporary settings home\n");
        return 1;
    }
    testsupport::SimSafeProcess safe;
    if (!safe.start()) {
        std::fprintf(stderr, "bench_exchange: %s\n", safe.errorText().c_str());
        return 1;
    }
    const std::string port = safe.portPath();
    if (!settings::SetSerialPort(port)) {
        std::fprintf(stderr, "bench_exchange: the settings store did not keep the port\n");
        return 1;
    }

    std::string expected;
    if (!safeexchange::detail::Exchange(safecmd::kTime, expected, ReadEnd::AtThirdStop,
                                        safeexchange::kBootloaderHandOver)) {
        std::fprintf(stderr, "bench_exchange: the first exchange failed\n");
        return 1;
    }

    Series series[] = {{"early end", ReadEnd::AtThirdStop, {}}, {"time-outs only", ReadEnd::ByTimeOutsOnly, {}}};
    std::string reply;
    // Interleaved, so that a change in the machine's load hits both alike.
    for (int i = 0; i < count; ++i) {
        for (Series &s : series) {
            const Clock::time_point start = Clock::now();
            const bool ok = safeexchange::detail::Exchange(safecmd::kTime, reply, s.readEnd,
                                                           safeexchange::kBootloaderHandOver);
            s.ms.push_back(Millis(Clock::now() - start).count());
            if (!ok || reply != expected)
                ++s.failed;
        }
    }

    std::printf("%d \"T\" exchanges of each kind against the simulated safe (%s), reply \"%s\"\n",
                count, port.c_str(), expected.c_str());
    std::printf("%-16s %10s %10s %8s\n", "read ends", "median ms", "p95 ms", "failed");
    for (const Series &s : series)
        std::printf("%-16s %10.2f %10.2f %8d\n", s.name, Percentile(s.ms, 50), Percentile(s.ms, 95), s.failed);
    const double medianRatio = Percentile(series[1].ms, 50) / Percentile(series[0].ms, 50);
    const double p95Ratio = Percentile(series[1].ms, 95) / Percentile(series[0].ms, 95);
    std::printf("time-outs only / early end: median x%.1f, p95 x%.1f\n", medianRatio, p95Ratio);
    return series[0].failed + series[1].failed == 0 ? 0 : 1;
}
