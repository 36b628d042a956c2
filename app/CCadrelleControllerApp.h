// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: prepares the toolkit, runs the main window
// modally and ends when it closes. It also owns the two settings. Each
// system has its own side (qt/, win/).
#pragma once

namespace dialogkit {
class Dialog;
}

class CCadrelleControllerApp {
public:
    int Run(int argc, char **argv);

    // Names the application (message-box captions, the settings key) after
    // the executable's file name without its extension, as the running
    // program really is: a link to it, or a launcher that starts it under
    // another name, does not rename it. On Linux it needs the QApplication.
    static void NameApplication();

    // Gives the main window the application's icon (resource 128), which
    // the title bar and the task bar show.
    static void ShowIcon(dialogkit::Dialog &mainWindow);
};
