// SPDX-License-Identifier: GPL-3.0-or-later
// The exchange with the safe as the windows make it: it runs to its end
// before the handler goes on (up to a few seconds with a silent safe), while
// the windows keep painting and answering the system but take no input and
// the pointer shows the program busy (dialogkit/LiveWait.h); and a failure on
// a port this user may not open is told with its fix in place of the
// window's own words.
#pragma once

#include <string>

// SafeExchange(command, reply), with the windows kept alive meanwhile.
bool ExchangeShowingWait(const std::string &command, std::string &reply);

// What a window shows for a failed exchange: the advice when the port in the
// settings exists but this user may not open it, `usual` otherwise. The
// advice comes in the length the place has room for.
enum class FailurePlace { MessageBox, StatusLines, OneLine };
std::string FailureText(const std::string &usual, FailurePlace place);
