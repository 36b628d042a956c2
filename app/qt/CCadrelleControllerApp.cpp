// SPDX-License-Identifier: GPL-3.0-or-later
#include "CCadrelleControllerApp.h"

#include "AppIcon.h"
#include "CCadrelleControllerDlg.h"
#include "QtDialog.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>

int CCadrelleControllerApp::Run(int argc, char **argv)
{
    QApplication app(argc, argv);
    NameApplication();
    QApplication::setWindowIcon(AppIcon());
    QApplication::setDesktopFileName(QStringLiteral("vandrel"));
    CCadrelleControllerDlg dialog;
    dialog.DoModal();
    return 0;
}

void CCadrelleControllerApp::NameApplication()
{
    // Qt's own default comes from argv[0]; applicationFilePath() is the
    // executable itself (on Linux, /proc/self/exe with links resolved).
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (!name.isEmpty())
        QCoreApplication::setApplicationName(name);
}

void CCadrelleControllerApp::ShowIcon(dialogkit::Dialog &mainWindow)
{
    dialogkit::WidgetOf(mainWindow)->setWindowIcon(AppIcon());
}
