# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(port_choices PRIVATE qt/SerialDevices.cpp)
target_link_libraries(port_choices PRIVATE Qt6::SerialPort)
