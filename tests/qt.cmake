# SPDX-License-Identifier: GPL-3.0-or-later
# The shared helpers first (a settings home, child processes, the simulated
# safe, recorded message boxes); then the main window, the whole journey on
# the simulated board (posix.cmake comes first), and the screenshots of the
# windows.
list(PREPEND test_areas support)
list(APPEND test_areas app e2e screenshots)
