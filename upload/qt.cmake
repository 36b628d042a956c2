# SPDX-License-Identifier: GPL-3.0-or-later
# The default tools for the system's avrdude, and the log opened by the
# desktop's viewer.
target_sources(upload PRIVATE qt/DefaultTools.cpp qt/DefaultTools.h)
target_link_libraries(upload PUBLIC Qt6::Core)
target_sources(upload_view PRIVATE qt/UploadLogViewer.cpp)
target_link_libraries(upload_view PRIVATE Qt6::Gui)
