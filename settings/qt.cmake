# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(settings PRIVATE qt/SettingsStore.cpp qt/UserFolders.cpp)
target_link_libraries(settings PRIVATE Qt6::Core)
