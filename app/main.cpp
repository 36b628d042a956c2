// SPDX-License-Identifier: GPL-3.0-or-later
#include "CCadrelleControllerApp.h"

int main(int argc, char **argv)
{
    CCadrelleControllerApp theApp;
    return theApp.Run(argc, argv);
}
