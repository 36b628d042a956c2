# SPDX-License-Identifier: GPL-3.0-or-later
# Copies a text file with Windows line ends (CR LF), which every Windows
# editor and the installer's licence page show as lines.
#     cmake -DIN=<file> -DOUT=<file> -P Crlf.cmake
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
