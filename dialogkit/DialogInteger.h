// SPDX-License-Identifier: GPL-3.0-or-later
// Reading an integer from an edit box the way the dialog toolkit does.
#pragma once

#include <cstdint>
#include <string>

namespace dialogkit {

// The box's text is looked at up to its first 63 characters: optional white
// space, an optional sign, then at least one decimal digit. Digits are taken
// up to the first other character and the rest is ignored ("12abc" is 12).
// The value wraps modulo 2^32 instead of overflowing. Returns false when no
// digit follows, leaving `value` unchanged.
bool ReadDialogInteger(const std::string &text, std::int32_t &value);

} // namespace dialogkit
