# SPDX-License-Identifier: GPL-3.0-or-later
# avrdude.exe and its avrdude.conf, which the installer and the zip carry in the
# Arduino folder beside the program, so that a fresh install uploads without
# the Arduino software. Built from Debian's own source of avrdude 7.1 (the
# avrdude Vandrel's Linux side uses), which scripts/setup.d/avrdude-source.sh
# fetches from the Debian registry into build/avrdude-source/, by the same
# MinGW-w64 cross compiler as the program: static, with nothing but the serial
# programmers' needs (Debian's MinGW-w64 has none of avrdude's optional
# libraries: no libusb, libftdi, libhidapi, libelf or readline).
#
# Sets avrdude_exe, avrdude_conf and avrdude_copying (the source's licence,
# GPL-2.0-or-later), made by the target avrdude_windows; returns with
# avrdude_exe empty when the source is not there.

set(VANDREL_AVRDUDE_SOURCE ${PROJECT_SOURCE_DIR}/build/avrdude-source/avrdude_7.1+dfsg.orig.tar.xz
    CACHE FILEPATH "Debian's avrdude_7.1+dfsg.orig.tar.xz (scripts/setup.d/avrdude-source.sh fetches it)")
# As Debian's avrdude_7.1+dfsg-3.dsc names it.
set(avrdude_sha256 91d454994f098f24a1c627036b4c9cec36ad639cda31875e652c104c0bd42906)

set(avrdude_exe "")
if(NOT EXISTS "${VANDREL_AVRDUDE_SOURCE}")
    message(STATUS "avrdude.exe not built: no ${VANDREL_AVRDUDE_SOURCE} (scripts/setup.sh fetches it)")
    return()
endif()
find_program(VANDREL_FLEX flex)
find_program(VANDREL_BISON bison)
if(NOT VANDREL_FLEX OR NOT VANDREL_BISON)
    message(STATUS "avrdude.exe not built: it needs flex and bison (scripts/setup.sh installs them)")
    return()
endif()

include(ExternalProject)
set(avrdude_source_dir ${CMAKE_CURRENT_BINARY_DIR}/avrdude-source)
set(avrdude_build_dir ${CMAKE_CURRENT_BINARY_DIR}/avrdude-build)
set(avrdude_launcher "")
if(VANDREL_CCACHE)
    set(avrdude_launcher -DCMAKE_C_COMPILER_LAUNCHER=${VANDREL_CCACHE})
endif()
ExternalProject_Add(avrdude_windows
    URL ${VANDREL_AVRDUDE_SOURCE}
    URL_HASH SHA256=${avrdude_sha256}
    DOWNLOAD_EXTRACT_TIMESTAMP ON
    SOURCE_DIR ${avrdude_source_dir}
    BINARY_DIR ${avrdude_build_dir}
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
        -DCMAKE_BUILD_TYPE=Release
        ${avrdude_launcher}
        # The version it reports is its own, "7.1", not the commit of the
        # checkout its build folder lies in.
        -DCMAKE_DISABLE_FIND_PACKAGE_Git=ON
        -DBUILD_DOC=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target avrdude conf
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${avrdude_build_dir}/src/avrdude.exe ${avrdude_build_dir}/src/avrdude.conf
    LOG_CONFIGURE ON LOG_BUILD ON LOG_OUTPUT_ON_FAILURE ON)

set(avrdude_exe ${avrdude_build_dir}/src/avrdude.exe)
set(avrdude_conf ${avrdude_build_dir}/src/avrdude.conf)
set(avrdude_copying ${avrdude_source_dir}/COPYING)
