// SPDX-License-Identifier: GPL-3.0-or-later
// The uploader's Windows quoting, read back with the C runtime's rules as the
// fuzz target reads it (fuzz/RefWindowsArguments.h).
#include "RefWindowsArguments.h"
#include "WindowsCommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace upload;

TEST(WindowsCommandLine, QuotesOnlyWhatNeedsIt)
{
    struct Case {
        std::string word, quoted;
    };
    const std::vector<Case> cases = {
        {"-v", "-v"},
        {"flash:w:Blink.hex", "flash:w:Blink.hex"},
        {"", "\"\""},
        {"C:\\arduino\\\\hardware\\avrdude.conf", "C:\\arduino\\\\hardware\\avrdude.conf"},
        {"C:\\Program Files\\Arduino\\hardware\\tools\\avr\\etc\\avrdude.conf",
         "\"C:\\Program Files\\Arduino\\hardware\\tools\\avr\\etc\\avrdude.conf\""},
        {"C:\\Program Files\\", "\"C:\\Program Files\\\\\""},
        {"C:\\Program Files\\\\", "\"C:\\Program Files\\\\\\\\\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"a\\\"b", "\"a\\\\\\\"b\""},
        {"a\\\\b c", "\"a\\\\b c\""},
        {"tab\there", "\"tab\there\""},
        {"\"", "\"\\\"\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QuoteWindowsArgument(c.word), c.quoted) << c.word;
        EXPECT_EQ(ref::ReadWindowsArguments(QuoteWindowsArgument(c.word)), std::vector<std::string>{c.word})
            << c.word;
    }
}
