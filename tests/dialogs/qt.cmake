# SPDX-License-Identifier: GPL-3.0-or-later
# One folder of tests per window.
foreach(window master sub test version)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${window}/CMakeLists.txt)
        add_subdirectory(${window})
    endif()
endforeach()
