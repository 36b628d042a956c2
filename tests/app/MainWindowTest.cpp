// SPDX-License-Identifier: GPL-3.0-or-later
// The main window, driven headless.
#include "CCadrelleControllerApp.h"
#include "CCadrelleControllerDlg.h"
#include "Resource.h"
#include "UiTest.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

using namespace res::main_window;
using namespace uitest;

namespace {
// Runs only the test that prints the application's name.
const QStringList kPrintName{QStringLiteral("--gtest_also_run_disabled_tests"),
                             QStringLiteral("--gtest_filter=Application.DISABLED_PrintsItsName")};
} // namespace

// The window as it opens; Enter on "Master" opens the Master window, and
// Enter on "Close" ends the program once it is back.
TEST(MainWindow, OpensWithFocusOnCloseAndTheVersionLineAndNoCloseBox)
{
    CCadrelleControllerDlg dialog;
    bool masterOpened = false;
    OnNextModal([&](QWidget *w) {
        EXPECT_EQ(FocusedId(w), dialogkit::IDCANCEL);
        // A normal application window (in the task bar), not a dialog.
        EXPECT_EQ(w->windowType(), Qt::Window);
        EXPECT_FALSE(w->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(w->windowFlags() & Qt::WindowSystemMenuHint);
        const QList<QSize> iconSizes = w->windowIcon().availableSizes();
        EXPECT_TRUE(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(256, 256)));

        const QString line = TextOf(w, VersionLine);
        const QRegularExpression form(
            QStringLiteral(R"(^Vandrel version 1 - [A-Z][a-z]{2} [ 123]\d \d{4}, \d\d:\d\d:\d\d$)"));
        EXPECT_TRUE(form.match(line).hasMatch()) << line.toStdString();
        // Screen readers read the line itself: a static text has no name of its own.
        EXPECT_EQ(SpokenName(w, VersionLine), line);
        ExpectEveryControlReachable(w);

        PressKey(w, Qt::Key_Tab); // from "Close" to "Master"
        ASSERT_EQ(FocusedId(w), Master);
        OnNextModal([&](QWidget *master) {
            masterOpened = master->windowTitle() == "Master";
            PressKey(master, Qt::Key_Escape);
        });
        PressKey(w, Qt::Key_Return);
        EXPECT_EQ(QApplication::activeModalWidget(), w);
        Control(w, dialogkit::IDCANCEL)->setFocus(Qt::TabFocusReason);
        PressKey(w, Qt::Key_Return); // Enter on "Close" ends the program
    });
    EXPECT_EQ(dialog.DoModal(), dialogkit::IDCANCEL);
    EXPECT_TRUE(masterOpened);
}

// The program named by a link to it, or by a launcher that passes another
// argv[0], still names itself after its executable: this test program, run
// again in a child, names itself as the application does and prints the name.
TEST(Application, DISABLED_PrintsItsName)
{
    CCadrelleControllerApp::NameApplication();
    std::printf("application name: %s\n", qPrintable(QCoreApplication::applicationName()));
}

TEST(Application, IsNamedAfterItsExecutableWhateverItWasStartedAs)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString self = QCoreApplication::applicationFilePath();
    const QString link = dir.path() + QStringLiteral("/Launcher");
    ASSERT_TRUE(QFile::link(self, link));

    const struct {
        const char *what;
        QString program;
        QStringList arguments;
    } rows[] = {
        {"through a link", link, kPrintName},
        {"with another argv[0]", QStringLiteral("/bin/bash"),
         {QStringLiteral("-c"), "exec -a Another.exe \"$0\" " + kPrintName.join(' '), link}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        QProcess child;
        child.start(row.program, row.arguments);
        ASSERT_TRUE(child.waitForFinished(20000));
        EXPECT_EQ(child.exitCode(), 0);
        const QRegularExpression printed(QStringLiteral("^application name: (.*)$"), QRegularExpression::MultilineOption);
        EXPECT_EQ(printed.match(QString::fromLocal8Bit(child.readAllStandardOutput())).captured(1),
                  QFileInfo(self).completeBaseName());
    }
}
