# SPDX-License-Identifier: GPL-3.0-or-later
# The program's name and folder, as QCoreApplication reports them.
target_sources(base PRIVATE qt/Program.cpp)
target_link_libraries(base PRIVATE Qt6::Core)
