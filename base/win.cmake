# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(base PRIVATE win/Files.cpp win/LocalTime.cpp win/Program.cpp win/ThisSystem.cpp win/WideText.cpp win/WideText.h)
