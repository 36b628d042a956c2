# SPDX-License-Identifier: GPL-3.0-or-later
# The port through QSerialPort, and its DTR line (qt/PortLine.h), which a
# board as sold turns into a reset; the upload uses it too.
target_sources(safe PRIVATE qt/SerialPort.cpp qt/PortLine.cpp qt/PortLine.h)
target_include_directories(safe PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/qt)
target_link_libraries(safe PUBLIC Qt6::Core PRIVATE Qt6::SerialPort)
