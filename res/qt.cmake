# SPDX-License-Identifier: GPL-3.0-or-later
# The application icon (resource 128) in the sizes a desktop wants, and the
# desktop entry. (On Windows the icon is the program's own resource: app/win.cmake.)
set(VANDREL_ICON_SIZES 16 24 32 48 64 128 256)
set(icon_files "")
foreach(size ${VANDREL_ICON_SIZES})
    list(APPEND icon_files icon/vandrel-${size}.png)
    install(FILES icon/vandrel-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME vandrel.png)
endforeach()
qt_add_resources(vandrel_res "icons" PREFIX "/icons" BASE icon FILES ${icon_files})
install(FILES icon/vandrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES icon/vandrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
