# SPDX-License-Identifier: GPL-3.0-or-later
# The simulated safe and board on pseudo-terminals, and the firmware in the board.
list(APPEND test_areas simsafe firmware simboard)
