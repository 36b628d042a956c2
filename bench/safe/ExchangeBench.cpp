// How long one "T" exchange takes over a pseudo-terminal, with the read's
// early end at the third full stop and without it (ended only by the 50 ms
// gap after the last byte). Prints the median and 95th percentile of each
// and their ratio. Figures only: it never fails on time.
//
//   bench_exchange [count] [--peer]
//
// count: exchanges of each kind (default 200). The exchanges go to the
// simulated safe (program simsafe), or with --peer to a scripted peer in this
// process that answers 12.12.12.

#include "BenchStats.h"
#include "SafeCommands.h"
#include "SafeExchange.h"
#include "SafeExchangeDetail.h"
#include "ScriptedPeer.h"
#include "Settings.h"
#include "TempSettingsHome.h"
#ifdef VANDREL_BENCH_SIMSAFE
#include "SimSafeProcess.h"
#endif

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    int count = 200;
    bool usePeer = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--peer") == 0)
            usePeer = true;
        else
            count = std::atoi(argv[i]);
    }
#ifndef VANDREL_BENCH_SIMSAFE
    usePeer = true;
#endif
    if (count <= 0) {
        std::fprintf(stderr, "usage: bench_exchange [count] [--peer]\n");
        return 2;
    }

    testsupport::TempSettingsHome home;
    if (!home.isValid()) {
        std::fprintf(stderr, "bench_exchange: no temporary settings home\n");
        return 1;
    }
    std::string port;
    std::string against;
    testsupport::ScriptedPeer peer;
    if (usePeer) {
        if (!peer.isOpen()) {
            std::fprintf(stderr, "bench_exchange: no pseudo-terminal\n");
            return 1;
        }
        peer.answerAlways(testsupport::PeerReply::Bytes("12.12.12."));
        port = peer.portPath();
        against = "a scripted peer answering 12.12.12.";
    }
#ifdef VANDREL_BENCH_SIMSAFE
    testsupport::SimSafeProcess safe;
    if (!usePeer) {
        if (!safe.start()) {
            std::fprintf(stderr, "bench_exchange: %s\n", safe.errorText().c_str());
            return 1;
        }
        port = safe.portPath();
        against = "the simulated safe";
    }
#endif
    if (!settings::SetSerialPort(QString::fromStdString(port))) {
        std::fprintf(stderr, "bench_exchange: the settings store did not keep the port\n");
        return 1;
    }

    std::string expected;
    if (!safeexchange::detail::Exchange(safecmd::kTime, expected, ReadEnd::AtThirdStop)) {
        std::fprintf(stderr, "bench_exchange: the first exchange failed\n");
        return 1;
    }

    Series series[] = {{"early end", ReadEnd::AtThirdStop, {}}, {"time-outs only", ReadEnd::ByTimeOutsOnly, {}}};
    std::string reply;
    // Interleaved, so that a change in the machine's load hits both alike.
    for (int i = 0; i < count; ++i) {
        for (Series &s : series) {
            const Clock::time_point start = Clock::now();
            const bool ok = safeexchange::detail::Exchange(safecmd::kTime, reply, s.readEnd);
            s.ms.push_back(Millis(Clock::now() - start).count());
            if (!ok || reply != expected)
                ++s.failed;
        }
    }

    std::printf("%d \"T\" exchanges of each kind against %s (%s), reply \"%s\"\n", count,
                against.c_str(), port.c_str(), expected.c_str());
    std::printf("%-16s %10s %10s %8s\n", "read ends", "median ms", "p95 ms", "failed");
    for (const Series &s : series)
        std::printf("%-16s %10.2f %10.2f %8d\n", s.name, Percentile(s.ms, 50), Percentile(s.ms, 95), s.failed);
    const double medianRatio = Percentile(series[1].ms, 50) / Percentile(series[0].ms, 50);
    const double p95Ratio = Percentile(series[1].ms, 95) / Percentile(series[0].ms, 95);
    std::printf("time-outs only / early end: median x%.1f, p95 x%.1f\n", medianRatio, p95Ratio);
    return series[0].failed + series[1].failed == 0 ? 0 : 1;
}
