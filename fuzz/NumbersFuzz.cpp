// SPDX-License-Identifier: GPL-3.0-or-later
// The reading of the safe's "T" reply, the status text made from it, and the
// reading of an integer box, against models of their rules:
//  - the "T" reply: "X" is a hidden time; anything else reads as the standard
//    library's strtoll reads it, clamped to 32 bits (no digits: 0);
//  - the status: days, hours, minutes and seconds each truncated toward zero,
//    and the moment of opening in local time (here UTC), as gmtime and
//    strftime write it, whenever that moment lies from 1970 to 9999;
//  - an integer box: its first 63 characters, blanks, a sign, at least one
//    digit, the number taken modulo 2^32; the value is left alone otherwise.
#include "FuzzCheck.h"

#include "DialogInteger.h"
#include "RemainingTime.h"
#include "SafeCommands.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

namespace {

std::int32_t ModelTimeSeconds(const std::string &reply)
{
    errno = 0;
    const long long v = std::strtoll(reply.c_str(), nullptr, 10);
    return std::int32_t(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

std::string ModelStatus(const std::string &reply)
{
    if (reply == "X")
        return "Safe locked for limited time, but time hidden";
    const std::int64_t n = ModelTimeSeconds(reply);
    const std::int64_t sign = n < 0 ? -1 : 1, a = n < 0 ? -n : n;
    std::string text = std::to_string(sign * (a / 86400)) + " days " + std::to_string(sign * (a / 3600 % 24)) +
                       " hours " + std::to_string(sign * (a / 60 % 60)) + " minutes " +
                       std::to_string(sign * (a % 60)) + " seconds remaining, open at ";
    return text;
}

// The moment's text when the model is sure of it; "?" when it does not judge.
std::string ModelMoment(std::int64_t now, std::int64_t n)
{
    constexpr std::int64_t kYear10000 = 253402300800;
    if (now > 0 && n > INT64_MAX - now)
        return "?";
    if (now < 0 && n < INT64_MIN - now)
        return ""; // before 1970 by far
    const std::int64_t moment = now + n;
    if (moment < 0)
        return "";
    if (moment >= kYear10000)
        return "?";
    const std::time_t t = std::time_t(moment);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%d %b, %Y at %H:%M:%S", &utc);
    return text;
}

std::int32_t ModelInteger(const std::string &text, bool &ok)
{
    const std::string head = text.substr(0, 63);
    std::size_t i = head.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        i = head.size();
    bool negative = false;
    if (i < head.size() && (head[i] == '-' || head[i] == '+'))
        negative = head[i++] == '-';
    ok = i < head.size() && head[i] >= '0' && head[i] <= '9';
    std::uint64_t r = 0; // the number modulo 2^32, reduced at every digit
    for (; i < head.size() && head[i] >= '0' && head[i] <= '9'; ++i)
        r = (r * 10 + std::uint64_t(head[i] - '0')) % 4294967296u;
    if (negative)
        r = (4294967296u - r) % 4294967296u;
    return r >= 2147483648u ? std::int32_t(std::int64_t(r) - 4294967296) : std::int32_t(r);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setenv("TZ", "UTC", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string whole(reinterpret_cast<const char *>(data), size);

    // The whole input as a "T" reply. strtoll stops at a NUL, and so must
    // the reading, since no digit or blank is a NUL.
    const safecmd::TimeReply t = safecmd::ReadTimeReply(whole);
    const bool hidden = whole == "X";
    FUZZ_CHECK(t.hidden == hidden && t.seconds == (hidden ? 0 : ModelTimeSeconds(whole)),
               "\"T\" reply \"%s\": hidden %d, %d s; model %d s", fuzz::Shown(whole).c_str(), t.hidden, t.seconds,
               ModelTimeSeconds(whole));

    // Its status at a moment taken from the input's first bytes.
    fuzz::Input in(data, size);
    std::int64_t now = std::int64_t(in.u64());
    if (size > 8 && (data[8] & 1))
        now = std::int64_t(in.u32()); // mostly moments near today's
    const std::string status = safetime::TimeReplyStatus(whole, now);
    const std::string head = ModelStatus(whole);
    if (hidden) {
        FUZZ_CHECK(status == head, "hidden status \"%s\"", status.c_str());
    } else {
        FUZZ_CHECK(status.compare(0, head.size(), head) == 0, "status \"%s\", model \"%s\"", status.c_str(),
                   head.c_str());
        const std::string moment = ModelMoment(now, t.seconds);
        if (moment != "?")
            FUZZ_CHECK(status.substr(head.size()) == moment, "now %lld + %d s: \"%s\", model \"%s\"",
                       (long long)now, t.seconds, status.c_str(), moment.c_str());
    }

    // The whole input as the text of an integer box.
    bool modelOk = false;
    const std::int32_t model = ModelInteger(whole, modelOk);
    std::int32_t value = 0x5EED;
    const bool ok = dialogkit::ReadDialogInteger(whole, value);
    FUZZ_CHECK(ok == modelOk && value == (ok ? model : 0x5EED), "integer box \"%s\": %d %d, model %d %d",
               fuzz::Shown(whole).c_str(), ok, value, modelOk, model);
    return 0;
}
