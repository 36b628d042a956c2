# SPDX-License-Identifier: GPL-3.0-or-later
# The driver: another Windows program, which walks the windows with window messages.
add_executable(product_driver win/Driver.cpp)
target_include_directories(product_driver PRIVATE ${PROJECT_SOURCE_DIR}/res)
target_link_options(product_driver PRIVATE -municode)
target_link_libraries(product_driver PRIVATE base)

# The Linux build's simulated board, which the installed avrdude.exe uploads Cadrelle into.
set(VANDREL_SIMBOARD "" CACHE FILEPATH "The Linux build's simboard program, for the whole-product test")
if(NOT TARGET windows_package OR NOT EXISTS "${VANDREL_SIMBOARD}" OR NOT EXISTS "${VANDREL_SIMSAFE}")
    message(STATUS "The whole-product test under Wine is skipped: it needs the installer and the simulated board "
                   "(VANDREL_SIMBOARD) and the simulated safe (VANDREL_SIMSAFE)")
    return()
endif()
add_test(NAME product.windows
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/win/product.sh ${CMAKE_CURRENT_BINARY_DIR}/run
                 ${PROJECT_BINARY_DIR}/VandrelSetup-${PROJECT_VERSION}.exe
                 ${PROJECT_BINARY_DIR}/Vandrel-${PROJECT_VERSION}-win64.zip $<TARGET_FILE:product_driver>
                 ${VANDREL_SIMBOARD} ${VANDREL_FIRMWARE_DIR} ${VANDREL_SIMSAFE})
# Its own prefix, Wine server and display, not the fixture's; 270 s is its own watchdog.
set_tests_properties(product.windows PROPERTIES TIMEOUT 320)
