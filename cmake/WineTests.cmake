# SPDX-License-Identifier: GPL-3.0-or-later
# Tests of the Windows build, run under Wine (CMAKE_CROSSCOMPILING_EMULATOR).
#
# GoogleTest is built from Debian's sources by the cross compiler. Each test
# program is one CTest test: listing a program's cases would start Wine at
# build time, and the cases of a program are reported by GoogleTest itself.
#
# Every test runs in a Wine prefix of the build's own, with Wine's messages
# off and no Mono or Gecko offered. Wine's server would inherit the output
# pipe of whatever first starts it, and CTest then waits for that pipe to
# close: every test took seconds, or CTest hung. The fixture "wine"
# (wine-session.sh) starts an X server for the windows, the server
# (persistent) and makes the prefix with every stream redirected, before any
# test, and stops both after the last.
#
# Only the tests need Wine (and Xvfb): without them the program, the
# installer and the zip are built as ever, and the tests are left out with a
# warning, so that `ctest --preset windows` then finds none and fails rather
# than passing on nothing.
find_program(VANDREL_WINESERVER wineserver)
find_program(VANDREL_XVFB Xvfb)
if(NOT VANDREL_WINE OR NOT VANDREL_WINESERVER OR NOT VANDREL_XVFB)
    message(WARNING "The Windows tests are not built: they run under Wine on an X server of their own, and "
                    "wine, wineserver or Xvfb is missing (scripts/setup.sh installs them).")
    set(VANDREL_BUILD_TESTS OFF)
    return()
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Not our code: its warnings are not ours to fail on.
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)

set(VANDREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(VANDREL_WINE_ENVIRONMENT
    WINEPREFIX=${VANDREL_WINEPREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)

# The simulated safe of a Linux build, which the COM port tests talk to.
set(VANDREL_SIMSAFE "" CACHE FILEPATH "The Linux build's simsafe program, for the COM port tests")

set(VANDREL_WINE_SESSION ${CMAKE_BINARY_DIR}/wine-session)
set(wine_session bash ${PROJECT_SOURCE_DIR}/cmake/wine-session.sh)
add_test(NAME wine.start
         COMMAND ${wine_session} start ${VANDREL_WINE_SESSION} ${VANDREL_WINESERVER} ${VANDREL_WINE}
                 ${VANDREL_XVFB})
add_test(NAME wine.stop COMMAND ${wine_session} stop ${VANDREL_WINE_SESSION} ${VANDREL_WINESERVER})
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${VANDREL_WINE_ENVIRONMENT}")
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${VANDREL_WINE_ENVIRONMENT}")
# Every test program runs on the session's display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${wine_session} run ${VANDREL_WINE_SESSION} ${VANDREL_WINE})

# In place of GoogleTest's own: the test areas' CMakeLists.txt call it as
# they do in the Linux build (TEST_PREFIX and PROPERTIES are kept).
function(gtest_discover_tests target)
    cmake_parse_arguments(arg "" "TEST_PREFIX;DISCOVERY_TIMEOUT;DISCOVERY_MODE" "PROPERTIES;EXTRA_ARGS" ${ARGN})
    set(name ${arg_TEST_PREFIX}${target})
    add_test(NAME ${name} COMMAND ${target} ${arg_EXTRA_ARGS})
    if(arg_PROPERTIES)
        set_tests_properties(${name} PROPERTIES ${arg_PROPERTIES})
    endif()
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT ${VANDREL_WINE_ENVIRONMENT})
    set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED wine)
endfunction()
