# SPDX-License-Identifier: GPL-3.0-or-later
# The launcher's Windows side (CreateProcessW) with a Windows stand-in,
# which the test copies into an Arduino folder of its own, and the
# firmware installed beside the program.
add_executable(upload_standin win/StandIn.cpp)
target_link_options(upload_standin PRIVATE -municode)
add_executable(upload_launcher_tests win/LauncherTest.cpp)
target_link_libraries(upload_launcher_tests PRIVATE upload settings GTest::gtest_main)
add_dependencies(upload_launcher_tests upload_standin)
gtest_discover_tests(upload_launcher_tests TEST_PREFIX upload.)
