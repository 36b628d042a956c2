# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(app PRIVATE qt/AppIcon.cpp qt/AppIcon.h qt/CCadrelleControllerApp.cpp)
target_include_directories(app PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/qt)
