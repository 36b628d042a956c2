// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog units: a template's positions are in units of a quarter of the
// dialog font's average character width and an eighth of its height.
#pragma once

#include <QFont>

namespace dialogkit {

struct DialogBaseUnits {
    int x; // average character width in pixels
    int y; // character height in pixels
};

// The template's font. "MS Shell Dlg" names the system's dialog font, which
// outside Windows is the default sans-serif font.
QFont DialogFont(const char *name, int pointSize);

// Base units measured the way Windows measures them.
DialogBaseUnits MeasureBaseUnits(const QFont &font);

// Rounded like MulDiv.
int DialogUnitsToPixelsX(int units, DialogBaseUnits base);
int DialogUnitsToPixelsY(int units, DialogBaseUnits base);

} // namespace dialogkit
