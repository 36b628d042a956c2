# SPDX-License-Identifier: GPL-3.0-or-later
list(APPEND bench_areas codes dialogs upload firmware)
