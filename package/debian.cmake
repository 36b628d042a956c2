# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package.
# Debian wants the manual page and the changelog compressed, with no name or
# time stamp inside.
set(package_gz "")
foreach(file CadrelleController.1 changelog)
    add_custom_command(
        OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${file}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${file} ${CMAKE_CURRENT_BINARY_DIR}/${file}
        COMMAND gzip -9nf ${CMAKE_CURRENT_BINARY_DIR}/${file}
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${file}
        COMMENT "Compressing ${file}"
        VERBATIM)
    list(APPEND package_gz ${CMAKE_CURRENT_BINARY_DIR}/${file}.gz)
endforeach()
add_custom_target(package_documents ALL DEPENDS ${package_gz})

# Stripped as Debian strips a program (dh_strip): CPack's strip leaves the
# compiler's .comment section and the .note section in it. Runs after the
# program's own install rule (app/ comes first).
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:CadrelleController>\"
                        RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR \"stripping the program failed\")
        endif()
    endif()")

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/CadrelleController.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
# No udev rule of our own: Debian's avrdude (7.1+dfsg-3, Debian 12), which
# the package depends on, brings /lib/udev/rules.d/60-avrdude.rules, and
# that tags every USB serial device with "uaccess" (ttyUSB by its usb-serial
# driver, ttyACM by cdc_acm), so the user at the seat may open the board. It
# covers every bridge a rule of ours named (FTDI 0403:6001, CH340/CH341
# 1a86:7523 and 5523, CP210x 10c4:ea60, the Arduino's own USB chip, vendors
# 2341 and 2a03), on the events that give the seat its access (a device
# added, or changed): ours added nothing, so the package keeps none.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VANDREL_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "The Vandrel developers")
set(CPACK_PACKAGE_CONTACT "The Vandrel developers <vandrel@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "controller for the Vandrel electronic key safe")
# CPack puts the summary first.
set(CPACK_PACKAGE_DESCRIPTION "Vandrel controls a lockable key box whose latch is driven by an Arduino
board (ATmega168) on a serial port. The key-holder makes a lock code and its
one unlock code, for a lock until the unlock code is used or for a set time,
optionally hidden from the wearer; the wearer applies codes and sees when the
safe opens. A test window uploads the board's firmware, which comes with the
package, through avrdude, and sends test commands to the safe.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from its binary; the uploader is
# started as a program, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "avrdude (>= 7.1+dfsg-3)")
# What opens the upload log from the Test window.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/deb)
include(CPack)
