# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(app PRIVATE win/CCadrelleControllerApp.cpp)

# The program's resources (win/CadrelleController.rc.in): the icon 128, made
# here from the pictures in res/icon, the version and the manifest.
enable_language(RC)
set(icon_file ${CMAKE_CURRENT_BINARY_DIR}/vandrel.ico)
set(icon_pictures "")
set(icon_entries "")
foreach(size 16 24 32 48 64 128 256)
    set(picture ${PROJECT_SOURCE_DIR}/res/icon/vandrel-${size}.png)
    list(APPEND icon_pictures ${picture})
    list(APPEND icon_entries ${size}:${picture})
endforeach()
add_custom_command(
    OUTPUT ${icon_file}
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/win/MakeIcon.sh ${icon_file} ${icon_entries}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/win/MakeIcon.sh ${icon_pictures}
    COMMENT "Windows icon: vandrel.ico"
    VERBATIM)
set(manifest_file ${CMAKE_CURRENT_SOURCE_DIR}/win/CadrelleController.manifest)
set(rc_file ${CMAKE_CURRENT_BINARY_DIR}/CadrelleController.rc)
configure_file(win/CadrelleController.rc.in ${rc_file} @ONLY)
set_source_files_properties(${rc_file} PROPERTIES OBJECT_DEPENDS "${icon_file};${manifest_file}")
target_sources(CadrelleController PRIVATE ${rc_file})
target_link_libraries(CadrelleController PRIVATE comctl32)
