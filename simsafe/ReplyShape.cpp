// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReplyShape.h"

#include <array>
#include <utility>

namespace simsafe {

namespace {

constexpr std::array<std::pair<Misbehaviour, std::string_view>, 11> kNames{{
    {Misbehaviour::None, "ok"},
    {Misbehaviour::Silent, "silent"},
    {Misbehaviour::Disagree, "disagree"},
    {Misbehaviour::Slow, "slow"},
    {Misbehaviour::Split, "split"},
    {Misbehaviour::Cut, "cut"},
    {Misbehaviour::Nul, "nul"},
    {Misbehaviour::Junk, "junk"},
    {Misbehaviour::Long, "long"},
    {Misbehaviour::Hangup, "hangup"},
    {Misbehaviour::Stray, "stray"},
}};

std::string Framed(const std::string &copy1, const std::string &copy2, const std::string &copy3)
{
    return copy1 + "." + copy2 + "." + copy3 + ".";
}

} // namespace

std::optional<Misbehaviour> MisbehaviourFromName(std::string_view name)
{
    for (const auto &[m, n] : kNames)
        if (n == name)
            return m;
    return std::nullopt;
}

std::string_view MisbehaviourName(Misbehaviour m)
{
    for (const auto &[mm, n] : kNames)
        if (mm == m)
            return n;
    return "?";
}

std::string MisbehaviourNames()
{
    std::string all;
    for (const auto &entry : kNames) {
        if (!all.empty())
            all += ", ";
        all += entry.second;
    }
    return all;
}

std::vector<Segment> ShapeReply(const std::string &reply, Misbehaviour how,
                                std::chrono::milliseconds gap)
{
    const std::string framed = Framed(reply, reply, reply);
    switch (how) {
    case Misbehaviour::None:
        return {{framed}};
    case Misbehaviour::Silent:
        return {};
    case Misbehaviour::Disagree: {
        std::string third = reply;
        if (third.empty())
            third = "N";
        else
            third.back() = third.back() == 'N' ? 'Y' : 'N';
        return {{Framed(reply, reply, third)}};
    }
    case Misbehaviour::Slow: {
        std::vector<Segment> bytes;
        for (std::size_t i = 0; i < framed.size(); ++i)
            bytes.push_back({framed.substr(i, 1), i == 0 ? std::chrono::milliseconds(0) : gap});
        return bytes;
    }
    case Misbehaviour::Split: {
        const std::size_t half = framed.size() / 2;
        return {{framed.substr(0, half)}, {framed.substr(half), gap}};
    }
    case Misbehaviour::Cut:
        return {{reply + "." + reply + "."}};
    case Misbehaviour::Nul:
        return {{reply + "." + std::string(1, '\0') + reply + "." + reply + "."}};
    case Misbehaviour::Junk:
        return {{framed + std::string(kJunk)}};
    case Misbehaviour::Long: {
        std::string copy = reply;
        if (copy.size() < kLongCopyLength)
            copy.append(kLongCopyLength - copy.size(), '-');
        return {{Framed(copy, copy, copy)}};
    }
    case Misbehaviour::Hangup: {
        Segment half{framed.substr(0, framed.size() / 2)};
        half.hangUpAfter = true;
        return {half};
    }
    case Misbehaviour::Stray:
        return {{std::string(1, kStrayByte)}};
    }
    return {{framed}};
}

} // namespace simsafe
