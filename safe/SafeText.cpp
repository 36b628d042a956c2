// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafeText.h"

std::string ToSafeText(const QString &text)
{
    return text.toLocal8Bit().toStdString();
}

QString FromSafeText(const std::string &bytes)
{
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
