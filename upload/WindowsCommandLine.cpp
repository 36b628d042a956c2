// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowsCommandLine.h"

#include <cstddef>

namespace upload {

std::string QuoteWindowsArgument(const std::string& word)
{
    if (!word.empty() && word.find_first_of(" \t\n\v\"") == std::string::npos)
        return word;

    // Backslashes are literal except in a run that ends at a double quote:
    // there 2n backslashes read as n, and 2n+1 as n and a literal quote.
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            quoted.append(2 * backslashes + 1, '\\');
        else
            quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    // The closing quote follows: double the trailing run so it stays literal.
    quoted.append(2 * backslashes, '\\');
    quoted += '"';
    return quoted;
}

std::string WindowsCommandLine(const std::vector<std::string>& words)
{
    std::string line;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0)
            line += ' ';
        line += QuoteWindowsArgument(words[i]);
    }
    return line;
}

} // namespace upload
