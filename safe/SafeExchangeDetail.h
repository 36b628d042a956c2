// SPDX-License-Identifier: GPL-3.0-or-later
// Not for the program: lets the benchmarks measure the read without its early
// end and the first exchange after a reset with other waits for the
// hand-over. SafeExchange() always ends the read at the third full stop and
// waits kBootloaderHandOver.
#pragma once

#include <chrono>
#include <string>

namespace safeexchange::detail {

enum class ReadEnd {
    AtThirdStop,    // as SafeExchange(): also end as soon as three full stops are in
    ByTimeOutsOnly, // end only by the time-outs or a full buffer
};

bool Exchange(const std::string &command, std::string &reply, ReadEnd readEnd,
              std::chrono::milliseconds handOver);

} // namespace safeexchange::detail
