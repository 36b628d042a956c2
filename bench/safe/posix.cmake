# SPDX-License-Identifier: GPL-3.0-or-later
add_executable(bench_fault_soak posix/FaultSoak.cpp)
target_link_libraries(bench_fault_soak PRIVATE fault_soak_core settings testsupport_settingshome testsupport_simsafe)

# Prints exchange times with and without the read's early end; not a test.
add_executable(bench_exchange ExchangeBench.cpp)
target_link_libraries(bench_exchange PRIVATE
    safe settings testsupport_simsafe testsupport_settingshome bench_stats)
