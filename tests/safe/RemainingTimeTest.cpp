// SPDX-License-Identifier: GPL-3.0-or-later
// The Sub window's status text for the safe's time reply, with the time zone
// fixed for each case.

#include "RemainingTime.h"
#include "TimeZone.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using safetime::FormatRemaining;
using safetime::MomentText;
using safetime::TimeReplyStatus;

constexpr std::int64_t kNow = 1796516635; // 06 Dec, 2026 at 00:23:55 UTC

// Sets TZ for one test and puts back what was there.
class RemainingTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char *tz = std::getenv("TZ"))
            saved_ = tz;
        // POSIX rule strings, so no time-zone database is needed.
        testsupport::SetTimeZoneRule("UTC0");
    }
    void TearDown() override
    {
        testsupport::SetTimeZoneRule(saved_ ? saved_->c_str() : nullptr);
    }

private:
    std::optional<std::string> saved_;
};

// Each field of a time on both sides of zero, and a hidden time. (Every
// reply, clamped to 32 bits, against a model in UTC: fuzz_numbers.)
TEST_F(RemainingTime, StatusForEachKindOfTimeReply)
{
    struct Case {
        std::string reply;
        std::string status;
    };
    const Case cases[] = {
        {"93784", "1 days 2 hours 3 minutes 4 seconds remaining, open at 07 Dec, 2026 at 02:26:59"},
        {"-3661", "0 days -1 hours -1 minutes -1 seconds remaining, open at 05 Dec, 2026 at 23:22:54"},
        {"X", "Safe locked for limited time, but time hidden"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TimeReplyStatus(c.reply, kNow), c.status) << "reply \"" << c.reply << '"';
}

// Only a moment before 1970 in UTC has no text, whatever the local date.
TEST_F(RemainingTime, MomentIsShownInTheLocalZoneWithItsDaylightSaving)
{
    const char *const cet = "CET-1CEST,M3.5.0,M10.5.0/3";
    struct Case {
        const char *zone;
        std::int64_t moment;
        const char *text;
    };
    const Case cases[] = {
        {cet, 1768478400, "15 Jan, 2026 at 13:00:00"}, // winter: UTC+1
        {cet, 1782907200, "01 Jul, 2026 at 14:00:00"}, // summer: UTC+2
        {cet, 1774745999, "29 Mar, 2026 at 01:59:59"}, // the last second before the change
        {cet, 1774746000, "29 Mar, 2026 at 03:00:00"},
        {cet, -1, ""}, // after midnight locally, but before 1970 in UTC
        {"EST5", 0, "31 Dec, 1969 at 19:00:00"},
        {"UTC0", -1, ""},
    };
    for (const Case &c : cases) {
        if (c.zone == cet && !testsupport::TimeZoneRulesHaveDates())
            continue;
        testsupport::SetTimeZoneRule(c.zone);
        EXPECT_EQ(MomentText(c.moment), c.text) << c.zone << " " << c.moment;
    }
}

// A clock reading far beyond any real one gives no moment, not a wrong one.
// (The first moment of 1970 and the one before it are the cases above.)
TEST_F(RemainingTime, AClockFarBeyondAnyRealOneGivesNoMoment)
{
    EXPECT_EQ(FormatRemaining(2147483647, INT64_MAX - 5),
              "24855 days 3 hours 14 minutes 7 seconds remaining, open at ");
}

} // namespace
