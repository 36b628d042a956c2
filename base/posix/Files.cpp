// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace files {

bool Exists(const std::string &path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::exists(path, error);
}

bool ReadFrom(const std::string &path, std::size_t offset, std::size_t limit, std::string &bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(static_cast<std::streamoff>(offset));
    std::string more((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes += more.substr(0, limit);
    return true;
}

} // namespace files
