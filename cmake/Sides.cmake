# SPDX-License-Identifier: GPL-3.0-or-later
# What this system's build takes: its sides, the areas only it has, where its
# documents go and how its tests run. This is the one place in the build
# that asks which system the build is for.
#
# Where the systems differ, an area keeps the header beside its shared code
# and puts each system's code in a side, a folder named for what it uses:
#   qt/      Qt 6 (Core, Gui, Widgets, SerialPort)
#   posix/   POSIX calls (termios, fork and signals, groups, localtime_r)
#   debian/  the Debian package
#   win/     Win32
# A side is built by <side>.cmake beside the area's CMakeLists.txt, which
# the area takes with vandrel_sides(). docs/platforms.md says what each side
# would give another system.
if(WIN32)
    # Cross-built with MinGW-w64: Win32 and no Qt. The tests run under Wine;
    # the simulated safe and board, and the firmware, come from a Linux build.
    set(VANDREL_SIDES win)
    set(VANDREL_SYSTEM_AREAS "")
    set(CMAKE_INSTALL_DOCDIR docs)
    macro(vandrel_test_framework)
        include(${PROJECT_SOURCE_DIR}/cmake/WineTests.cmake)
    endmacro()
else()
    set(VANDREL_SIDES posix qt debian)
    find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets SerialPort Test)
    qt_standard_project_setup()
    # The simulated safe and board, on pseudo-terminals, and the firmware,
    # built for the board with avr-gcc.
    set(VANDREL_SYSTEM_AREAS simsafe firmware simboard)
    set(CMAKE_INSTALL_DOCDIR share/doc/${VANDREL_PACKAGE_NAME})
    macro(vandrel_test_framework)
        find_package(GTest REQUIRED)
        include(GoogleTest)
    endmacro()
endif()

# Builds the sides of the current area that this system's build takes: for
# each, the area's <side>.cmake, read in the area's own scope.
macro(vandrel_sides)
    foreach(vandrel_side IN LISTS VANDREL_SIDES)
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${vandrel_side}.cmake)
            include(${CMAKE_CURRENT_SOURCE_DIR}/${vandrel_side}.cmake)
        endif()
    endforeach()
endmacro()
