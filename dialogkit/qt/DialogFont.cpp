// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogFont.h"

#include <QFontMetrics>

#include <cmath>

namespace dialogkit {

namespace {
int MulDiv(int number, int numerator, int denominator)
{
    const long long product = static_cast<long long>(number) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}
} // namespace

QFont DialogFont(const char *name, int pointSize)
{
    QFont font;
#ifdef Q_OS_WIN
    font.setFamily(QString::fromUtf8(name));
#else
    Q_UNUSED(name);
    font.setFamily(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
#endif
    font.setPointSize(pointSize);
    return font;
}

DialogBaseUnits MeasureBaseUnits(const QFont &font)
{
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {static_cast<int>(std::lround(width / 52.0)), metrics.height()};
}

int DialogUnitsToPixelsX(int units, DialogBaseUnits base)
{
    return MulDiv(units, base.x, 4);
}

int DialogUnitsToPixelsY(int units, DialogBaseUnits base)
{
    return MulDiv(units, base.y, 8);
}

} // namespace dialogkit
