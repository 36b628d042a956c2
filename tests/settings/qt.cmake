# SPDX-License-Identifier: GPL-3.0-or-later
add_executable(settings_tests SettingsTest.cpp)
target_link_libraries(settings_tests PRIVATE settings testsupport_settingshome GTest::gtest)
gtest_discover_tests(settings_tests DISCOVERY_TIMEOUT 30)
