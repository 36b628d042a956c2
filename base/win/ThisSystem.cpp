// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/ThisSystem.h"

System ThisSystem()
{
    return System::Windows;
}
