// SPDX-License-Identifier: GPL-3.0-or-later
// The exchange with the safe as the windows make it: the pointer shows the
// program busy while the exchange holds the window (up to a few seconds after
// a reset), and a failure on a port this user may not open is told with its
// fix in place of the window's own words.
#pragma once

#include <string>

// SafeExchange(command, reply) with the busy pointer.
bool ExchangeShowingWait(const std::string &command, std::string &reply);

// What a window shows for a failed exchange: the advice when the port in the
// settings exists but this user may not open it, `usual` otherwise. The
// advice comes in the length the place has room for.
enum class FailurePlace { MessageBox, StatusLines, OneLine };
std::string FailureText(const std::string &usual, FailurePlace place);
