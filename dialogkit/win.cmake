# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(dialogkit PRIVATE win/Win32DialogWindow.cpp win/BusyPointer.cpp win/LiveWait.cpp)
target_link_libraries(dialogkit PRIVATE user32 comctl32 shell32 ole32 oleacc uuid)
