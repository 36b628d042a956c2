# SPDX-License-Identifier: GPL-3.0-or-later
# The uploader as a child process in a group of its own, ended with the program.
target_sources(upload_core PRIVATE posix/UploaderProcess.cpp posix/PortRefusal.cpp)
