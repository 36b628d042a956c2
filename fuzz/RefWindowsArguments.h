// SPDX-License-Identifier: GPL-3.0-or-later
// The Microsoft C runtime's reading of a command line, written from its
// documented rules, for the fuzz target and the tests to hold the uploader's
// Windows quoting against: the quoting is checked against the reader rather
// than against itself.
#pragma once

#include <string>
#include <vector>

namespace ref {

// The C runtime's reading of the arguments after the program's name:
//  - blanks (space, tab) outside quotes end a word;
//  - 2n backslashes before a quote give n backslashes, and the quote opens
//    or closes quoting; 2n+1 give n backslashes and a literal quote;
//  - backslashes before anything else are literal;
//  - inside quotes, "" gives a literal quote and quoting goes on.
inline std::vector<std::string> ReadWindowsArguments(const std::string &line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (true) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= n)
            return words;
        std::string word;
        bool quoted = false;
        while (i < n) {
            const char c = line[i];
            if (c == '\\') {
                std::size_t run = 0;
                while (i < n && line[i] == '\\') {
                    ++run;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    word.append(run / 2, '\\');
                    if (run % 2 == 1) {
                        word += '"';
                        ++i;
                    }
                } else {
                    word.append(run, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    word += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && (c == ' ' || c == '\t'))
                break;
            word += c;
            ++i;
        }
        words.push_back(word);
    }
}

} // namespace ref
