// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

// The application icon (resource 128) in all its sizes.
QIcon AppIcon();
