# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(safe_core_tests PRIVATE win/TimeZone.cpp)

# The exchange through COM7 under Wine, mapped to the simulated safe that
# the Linux build made (VANDREL_SIMSAFE): the fixture starts it with the
# replies broken in the order the test's table expects.
if(NOT EXISTS "${VANDREL_SIMSAFE}")
    message(STATUS "COM port tests skipped: no simulated safe at VANDREL_SIMSAFE='${VANDREL_SIMSAFE}'")
    return()
endif()
add_executable(safe_com_tests win/ComExchangeTest.cpp)
target_link_libraries(safe_com_tests PRIVATE safe testsupport_clock GTest::gtest_main)
gtest_discover_tests(safe_com_tests PROPERTIES FIXTURES_REQUIRED com7 TIMEOUT 120)
set(com_state ${CMAKE_CURRENT_BINARY_DIR}/com7)
add_test(NAME safe.com7.start
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/win/com-safe.sh start ${VANDREL_SIMSAFE}
                 ${VANDREL_WINEPREFIX}/dosdevices/com7 ${com_state}
                 --gap 150 --misbehave ok,silent,disagree,cut,junk,split,long,stray,ok)
add_test(NAME safe.com7.stop COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/win/com-safe.sh stop ${com_state})
set_tests_properties(safe.com7.start PROPERTIES FIXTURES_SETUP com7 FIXTURES_REQUIRED wine)
set_tests_properties(safe.com7.stop PROPERTIES FIXTURES_CLEANUP com7)
