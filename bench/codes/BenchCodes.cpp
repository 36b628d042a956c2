// SPDX-License-Identifier: GPL-3.0-or-later
// How many code pairs per second MakeKeyCodes and both checks sustain: one
// pair is made from the clock, its lock code checked and decoded, and its
// unlock code checked against the decoded nonce.
//
// Usage: bench_codes [seconds]   (default 1.5)
#include "KeyCodes.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    using Clock = std::chrono::steady_clock;
    const double runSeconds = argc > 1 ? std::atof(argv[1]) : 1.5;
    if (!(runSeconds > 0)) {
        std::fprintf(stderr, "bench_codes: the run time must be a positive number of seconds\n");
        return 2;
    }

    // A cheap generator so that the durations vary without costing much.
    std::uint32_t seed = 2463534242u;
    long long pairs = 0, failures = 0;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(runSeconds));
    Clock::time_point now = start;
    while (now < end) {
        for (int i = 0; i < 1024; ++i) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            const std::int32_t duration = static_cast<std::int32_t>(seed);
            const int hide = static_cast<int>(seed >> 31);

            const keycodes::KeyCodes k = keycodes::MakeKeyCodes(duration, hide);
            std::uint32_t nonce = 0, hideValue = 0;
            std::int32_t seconds = 0;
            bool match = false;
            const bool good = keycodes::CheckLockCode(k.lockCode, nonce, seconds, hideValue) &&
                              seconds == duration && (hideValue & 1u) == std::uint32_t(hide) &&
                              keycodes::CheckUnlockCode(k.unlockCode, nonce, match) && match;
            if (!good)
                ++failures;
        }
        pairs += 1024;
        now = Clock::now();
    }
    const double elapsed = std::chrono::duration<double>(now - start).count();

    std::printf("key codes: %lld pairs in %.2f s: %.0f pairs/s (make + check lock + check unlock)\n",
                pairs, elapsed, double(pairs) / elapsed);
    if (failures != 0) {
        std::printf("key codes: %lld of %lld pairs did NOT check out\n", failures, pairs);
        return 1;
    }
    return 0;
}
