# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, installed.
list(APPEND test_areas package)
