# SPDX-License-Identifier: GPL-3.0-or-later
# The installer and the zip, with avrdude.exe built from Debian's source.
add_subdirectory(win)
