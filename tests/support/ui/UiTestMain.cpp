// SPDX-License-Identifier: GPL-3.0-or-later
// main() of window tests: a QApplication around GoogleTest.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Headless unless told otherwise (QT_QPA_PLATFORM=xcb shows the windows).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
