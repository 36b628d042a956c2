# SPDX-License-Identifier: GPL-3.0-or-later
# The ports SetupAPI lists in the Ports class, named by the registry.
target_sources(port_choices PRIVATE win/SerialDevices.cpp)
target_link_libraries(port_choices PRIVATE advapi32 setupapi)
