# SPDX-License-Identifier: GPL-3.0-or-later
add_executable(dialogkit_tests DialogKitTest.cpp)
target_link_libraries(dialogkit_tests PRIVATE dialogkit testsupport_ui)
gtest_discover_tests(dialogkit_tests PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen
                     DISCOVERY_TIMEOUT 30)
