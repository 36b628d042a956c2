# SPDX-License-Identifier: GPL-3.0-or-later
# The COM port through the Win32 communications calls, its line settings
# (win/ComLine.h), the access advice, and the ANSI code page.
target_sources(safe PRIVATE win/SerialPort.cpp win/ComLine.h win/PortAccess.cpp win/SafeText.cpp)
