# SPDX-License-Identifier: GPL-3.0-or-later
# Run by win/fault-soak.sh, which starts the simulated safes.
add_executable(bench_fault_soak win/FaultSoak.cpp)
target_link_libraries(bench_fault_soak PRIVATE fault_soak_core settings)
