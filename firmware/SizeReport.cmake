# SPDX-License-Identifier: GPL-3.0-or-later
# Writes avr-size's flash and RAM figures of one firmware into a file and shows
# them in the build log.
execute_process(COMMAND ${AVR_SIZE} -C --mcu=${MCU} ${ELF}
                OUTPUT_VARIABLE report RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "avr-size failed on ${ELF}")
endif()
file(WRITE ${OUT} "${report}")
string(REGEX MATCH "Program: +[0-9]+ bytes \\([^)]*\\)" program "${report}")
string(REGEX MATCH "Data: +[0-9]+ bytes \\([^)]*\\)" data "${report}")
get_filename_component(name ${ELF} NAME_WE)
message(STATUS "${name}: flash ${program}, RAM ${data}")
