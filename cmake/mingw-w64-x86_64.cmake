# SPDX-License-Identifier: GPL-3.0-or-later
# Cross build for 64-bit Windows with Debian's MinGW-w64 (GCC 12, the -posix
# flavour, which has std::thread). Programs are linked statically, so each
# .exe needs nothing but the system's own DLLs. Building needs no Wine; where
# Wine is installed, CMake runs built programs through it (the tests:
# WineTests.cmake, which skips them when Wine is missing).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VANDREL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VANDREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANDREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VANDREL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VANDREL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
# GCC 12 warns wrongly about std::string's operator+ when it inlines it for
# this target (GCC bug 105651): a false warning would fail a -Werror build.
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections -Wno-restrict")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--gc-sections")

find_program(VANDREL_WINE wine)
if(VANDREL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VANDREL_WINE})
endif()
