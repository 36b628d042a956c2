// SPDX-License-Identifier: GPL-3.0-or-later
// main() of tests that need Qt's core application (the settings store is
// named after it) but no windows.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
