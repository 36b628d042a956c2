# SPDX-License-Identifier: GPL-3.0-or-later
# Who may open a device (its owner, group and mode), and the 8-bit text as
# UTF-8.
target_sources(safe PRIVATE posix/PortAccess.cpp posix/SafeText.cpp)
