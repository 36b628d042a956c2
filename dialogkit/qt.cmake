# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(dialogkit PRIVATE
    qt/Accessibility.cpp qt/Accessibility.h
    qt/BusyPointer.cpp
    qt/DialogFont.cpp qt/DialogFont.h
    qt/LiveWait.cpp
    qt/QtDialog.h
    qt/QtDialogWindow.cpp qt/QtDialogWindow.h)
target_include_directories(dialogkit PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/qt)
target_link_libraries(dialogkit PUBLIC Qt6::Widgets)
