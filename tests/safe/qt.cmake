# SPDX-License-Identifier: GPL-3.0-or-later
# The simulated safe on its pseudo-terminal, the real settings store in a temporary home.
add_executable(safe_exchange_tests ExchangeTest.cpp)
target_link_libraries(safe_exchange_tests PRIVATE
    safe settings codes testsupport_simsafe testsupport_settingshome testsupport_clock Qt6::SerialPort
    testsupport_coremain)
gtest_discover_tests(safe_exchange_tests DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120)
