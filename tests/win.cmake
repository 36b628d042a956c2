# SPDX-License-Identifier: GPL-3.0-or-later
# The whole product under Wine: installer, upload, windows, uninstaller.
list(APPEND test_areas product)
