# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(safe_core_tests PRIVATE posix/TimeZone.cpp)
