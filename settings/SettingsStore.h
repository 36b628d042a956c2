// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user store of the section "Setting" under the root "Vandrel" and
// the application's name. Each system has its own (qt/: QSettings' file;
// win/: the registry). Every call reaches the store at once: nothing is
// kept between calls.
#pragma once

#include <optional>
#include <string>

namespace settings::store {

// The text of the value `name`, also when it is empty; nothing when the store
// holds no such value or cannot be read.
std::optional<std::string> Read(const std::string &name);

// Stores the text exactly as given. False when the store did not keep it;
// no later read then serves it.
bool Write(const std::string &name, const std::string &text);

} // namespace settings::store
