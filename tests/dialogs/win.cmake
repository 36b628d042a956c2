# SPDX-License-Identifier: GPL-3.0-or-later
# Under Wine: the port list from the ports Windows lists.
add_executable(port_list_tests win/PortListTest.cpp)
target_link_libraries(port_list_tests PRIVATE port_choices setupapi GTest::gtest_main)
gtest_discover_tests(port_list_tests)
