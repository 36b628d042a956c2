# SPDX-License-Identifier: GPL-3.0-or-later
# The uploader through CreateProcessW in a job object; the firmware installed
# beside the program; the log opened by the shell.
target_sources(upload_core PRIVATE win/UploaderProcess.cpp win/PortRefusal.cpp)
target_link_libraries(upload_core PRIVATE shell32)
target_sources(upload PRIVATE win/DefaultTools.cpp)
target_sources(upload_view PRIVATE win/UploadLogViewer.cpp)
target_link_libraries(upload_view PRIVATE shell32)
