#include "WindowsCommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace upload;

namespace {

// How the Microsoft C runtime (UCRT) splits the arguments after the program
// name: written from its documented rules, so the quoting is checked against
// the reader rather than against itself.
std::vector<std::string> SplitLikeMsvcRuntime(const std::string& line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    const std::size_t n = line.size();
    for (;;) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= n)
            return words;
        std::string word;
        bool inQuotes = false;
        while (i < n && (inQuotes || (line[i] != ' ' && line[i] != '\t'))) {
            std::size_t backslashes = 0;
            while (i < n && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < n && line[i] == '"') {
                word.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    word += '"';
                    ++i;
                } else if (inQuotes && i + 1 < n && line[i + 1] == '"') {
                    word += '"';
                    i += 2;
                } else {
                    inQuotes = !inQuotes;
                    ++i;
                }
            } else if (backslashes > 0) {
                word.append(backslashes, '\\');
            } else {
                word += line[i++];
            }
        }
        words.push_back(word);
    }
}

} // namespace

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
        EXPECT_EQ(SplitLikeMsvcRuntime(QuoteWindowsArgument(c.word)), std::vector<std::string>{c.word})
            << c.word;
    }
}

TEST(WindowsCommandLine, UploaderWordsComeBackWhole)
{
    const std::vector<std::string> words = {
        "-v", "-C", "C:\\Program Files\\Arduino\\\\hardware\\tools\\avr\\etc\\avrdude.conf",
        "-p", "atmega168", "-P", "", "-c", "stk500v1", "-b19200", "-U", "flash:w:Blink.hex"};
    const std::string line = WindowsCommandLine(words);
    EXPECT_EQ(line, "-v -C \"C:\\Program Files\\Arduino\\\\hardware\\tools\\avr\\etc\\avrdude.conf\" "
                    "-p atmega168 -P \"\" -c stk500v1 -b19200 -U flash:w:Blink.hex");
    EXPECT_EQ(SplitLikeMsvcRuntime(line), words);
}
