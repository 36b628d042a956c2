# SPDX-License-Identifier: GPL-3.0-or-later
add_executable(upload_standin StandInUploader.cpp)
set_target_properties(upload_words_tests upload_standin PROPERTIES AUTOMOC OFF)

# The stand-in's records and the folders around its runs, also for the Test
# window's upload tests; VANDREL_STANDIN is the stand-in's path, VANDREL_UPLOAD_LOGS
# the folder of real avrdude logs it plays back.
add_library(upload_standin_support STATIC StandInRecords.cpp StandInRecords.h UploadTestSupport.h)
set_target_properties(upload_standin_support PROPERTIES AUTOMOC OFF)
target_include_directories(upload_standin_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(upload_standin_support PUBLIC Qt6::Core Qt6::Test GTest::gtest)
target_compile_definitions(upload_standin_support PUBLIC VANDREL_STANDIN="$<TARGET_FILE:upload_standin>"
                           VANDREL_UPLOAD_LOGS="${CMAKE_CURRENT_SOURCE_DIR}/logs")
# Every test that links this also gets the stand-in built.
add_dependencies(upload_standin_support upload_standin)

add_executable(upload_launcher_tests UploaderTest.cpp)
target_link_libraries(upload_launcher_tests PRIVATE upload upload_standin_support testsupport_coremain)
gtest_discover_tests(upload_launcher_tests TEST_PREFIX upload. PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)

add_test(NAME upload.ArduinoFolderSetup
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/ArduinoFolderSetupTest.sh
                 ${PROJECT_SOURCE_DIR}/scripts/setup.d/arduino-folder.sh)
