// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExchangeRules.h"

#include <map>

namespace safeexchange {

namespace {

std::map<std::string, Openings, std::less<>> &Memory()
{
    static std::map<std::string, Openings, std::less<>> memory;
    return memory;
}

// No full stop: no reply at all, or only what a reset left on the line.
bool NoReply(std::string_view bytes)
{
    return bytes.find('.') == std::string_view::npos;
}

} // namespace

bool HarmlessToRepeat(std::string_view command)
{
    return command == "T" || command == "V";
}

bool IsCode(std::string_view command)
{
    return !command.empty() && (command.front() == 'L' || command.front() == 'U');
}

bool LearnPortFirst(std::string_view command, Openings known)
{
    return IsCode(command) && known == Openings::Unknown;
}

bool WaitAfterOpening(bool flagShowsReset, Openings known, std::string_view command)
{
    return flagShowsReset || (known == Openings::ResetTheBoard && !HarmlessToRepeat(command));
}

bool RepeatAfterSilence(std::string_view command, std::string_view bytesReceived)
{
    return HarmlessToRepeat(command) && NoReply(bytesReceived);
}

Openings LearnFrom(Openings known, bool flagShowsReset, bool waited, bool repeated, bool answered)
{
    if (!answered)
        return known;
    if (waited)
        return flagShowsReset ? Openings::KeepTheBoard : known;
    return repeated ? Openings::ResetTheBoard : Openings::KeepTheBoard;
}

Openings KnownOpenings(const std::string &device)
{
    const auto found = Memory().find(device);
    return found == Memory().end() ? Openings::Unknown : found->second;
}

void RememberOpenings(const std::string &device, Openings openings)
{
    Memory()[device] = openings;
}

} // namespace safeexchange
