// SPDX-License-Identifier: GPL-3.0-or-later
#include "Framing.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// The bytes as text, the way the reply buffer is read: at most the buffer's
// size, ending at the first NUL.
std::string_view ReplyText(const char *bytes, std::size_t n)
{
    n = std::min(n, kReplyBufferSize);
    if (n == 0)
        return {};
    const void *nul = std::memchr(bytes, '\0', n);
    return {bytes, nul ? std::size_t(static_cast<const char *>(nul) - bytes) : n};
}

} // namespace

std::string FrameCommand(const std::string &command)
{
    return command + ".";
}

bool SplitAgreedReply(const char *bytes, std::size_t n, std::string &reply)
{
    const std::string_view text = ReplyText(bytes, n);
    std::string_view copies[3];
    std::size_t start = 0;
    for (std::string_view &copy : copies) {
        const std::size_t stop = text.find('.', start);
        if (stop == std::string_view::npos)
            return false;
        copy = text.substr(start, stop - start);
        start = stop + 1;
    }
    if (copies[0] != copies[1] || copies[1] != copies[2])
        return false;
    reply.assign(copies[0]);
    return true;
}

bool HasThreeStops(const char *bytes, std::size_t n)
{
    const std::string_view text = ReplyText(bytes, n);
    return std::count(text.begin(), text.end(), '.') >= 3;
}
