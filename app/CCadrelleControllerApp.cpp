#include "CCadrelleControllerApp.h"

#include "AppIcon.h"
#include "CCadrelleControllerDlg.h"

#include <QApplication>

int CCadrelleControllerApp::Run(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(AppIcon());
    QApplication::setDesktopFileName(QStringLiteral("vandrel"));
    CCadrelleControllerDlg dialog;
    dialog.DoModal();
    return 0;
}
