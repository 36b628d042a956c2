// SPDX-License-Identifier: GPL-3.0-or-later
// The system this build is for, where a plain rule depends on it (how a port
// name becomes a device, which separator a path takes). The rules themselves
// take the system as an argument, so both are tested on either system.
#pragma once

enum class System { Linux, Windows };

// Defined by posix/ThisSystem.cpp or win/ThisSystem.cpp, whichever the
// build chose.
System ThisSystem();
