// The application object: prepares the toolkit, runs the main window
// modally and ends when it closes. It also owns the two settings.
#pragma once

#include <QString>

class CCadrelleControllerApp {
public:
    int Run(int argc, char **argv);
};
