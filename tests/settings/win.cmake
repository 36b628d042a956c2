# SPDX-License-Identifier: GPL-3.0-or-later
# The registry under Wine; the executable's name keys the settings.
add_executable(settings_registry_tests win/RegistryStoreTest.cpp)
target_link_libraries(settings_registry_tests PRIVATE settings GTest::gtest_main)
gtest_discover_tests(settings_registry_tests)
