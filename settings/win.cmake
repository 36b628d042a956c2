# SPDX-License-Identifier: GPL-3.0-or-later
target_sources(settings PRIVATE win/SettingsStore.cpp win/UserFolders.cpp)
target_link_libraries(settings PRIVATE advapi32 shell32 ole32)
