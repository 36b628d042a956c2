# SPDX-License-Identifier: GPL-3.0-or-later
# Under Wine: Windows' own dialog manager runs the templates.
add_executable(win32_dialog_tests win/Win32DialogTest.cpp)
target_link_libraries(win32_dialog_tests PRIVATE dialogkit GTest::gtest_main)
gtest_discover_tests(win32_dialog_tests)
