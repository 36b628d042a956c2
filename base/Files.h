// SPDX-License-Identifier: GPL-3.0-or-later
// Files by their UTF-8 paths, each system its own way: posix/ with the
// standard library, win/ with the wide Win32 calls. (The standard
// library's file streams and std::filesystem bring about a megabyte of
// locale code into a static Windows program, which otherwise weighs a few
// hundred kilobytes.)
#pragma once

#include <cstddef>
#include <string>

namespace files {

// Whether anything (a file, a folder) is there. An empty path names nothing.
bool Exists(const std::string &path);

// Appends to `bytes` what the file holds from `offset` on, at most `limit`
// bytes, while another program may still be writing it. False when the
// file cannot be opened.
bool ReadFrom(const std::string &path, std::size_t offset, std::size_t limit, std::string &bytes);

} // namespace files
