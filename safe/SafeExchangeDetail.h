// SPDX-License-Identifier: GPL-3.0-or-later
// Not for the program: lets the exchange benchmark measure the read without
// its early end. SafeExchange() always ends the read at the third full stop.
#pragma once

#include <string>

namespace safeexchange::detail {

enum class ReadEnd {
    AtThirdStop,    // as SafeExchange(): also end as soon as three full stops are in
    ByTimeOutsOnly, // end only by the time-outs or a full buffer
};

bool Exchange(const std::string &command, std::string &reply, ReadEnd readEnd);

} // namespace safeexchange::detail
