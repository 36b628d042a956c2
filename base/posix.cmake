# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(base PRIVATE posix/Files.cpp posix/LocalTime.cpp posix/ThisSystem.cpp)
