# SPDX-License-Identifier: GPL-3.0-or-later
# Fails the build when the lock that Cadrelle keeps in RAM across a reset
# (gKeptLock, KeptLock.h) lies where the Diecimila bootloader writes: its
# variables and 256-byte page buffer from the start of RAM (0x100) up to
# KEPT_FROM, and its stack at the top.
execute_process(COMMAND ${AVR_NM} -S ${ELF} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "avr-nm failed on ${ELF}")
endif()
if(NOT symbols MATCHES "([0-9a-f]+) ([0-9a-f]+) [bBdD] gKeptLock\n")
    message(FATAL_ERROR "${ELF} has no gKeptLock")
endif()
math(EXPR start "0x${CMAKE_MATCH_1} - 0x800000")
math(EXPR end "${start} + 0x${CMAKE_MATCH_2}")
if(start LESS ${KEPT_FROM} OR end GREATER ${KEPT_BELOW})
    math(EXPR start_hex "${start}" OUTPUT_FORMAT HEXADECIMAL)
    math(EXPR end_hex "${end}" OUTPUT_FORMAT HEXADECIMAL)
    message(FATAL_ERROR "gKeptLock lies at ${start_hex} to ${end_hex}, where the bootloader writes "
                        "(it must lie within ${KEPT_FROM} to ${KEPT_BELOW})")
endif()
