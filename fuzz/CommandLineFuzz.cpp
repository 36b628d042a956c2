// The uploader's Windows command line: any words, quoted and joined, read
// back with the Microsoft C runtime's rules (written out below as the
// runtime documents them) give the same words. A command line cannot carry
// a NUL, so the input's NUL bytes separate the words.
#include "FuzzCheck.h"

#include "WindowsCommandLine.h"

#include <vector>

namespace {

// The C runtime's reading of the arguments after the program's name:
//  - blanks (space, tab) outside quotes end a word;
//  - 2n backslashes before a quote give n backslashes, and the quote opens
//    or closes quoting; 2n+1 give n backslashes and a literal quote;
//  - backslashes before anything else are literal;
//  - inside quotes, "" gives a literal quote and quoting goes on.
std::vector<std::string> ReadWindowsArguments(const std::string &line)
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

std::string Shown(const std::vector<std::string> &words)
{
    std::string out;
    for (const std::string &w : words)
        out += "[" + fuzz::Shown(w) + "]";
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::vector<std::string> words(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += char(data[i]);
    }
    if (size == 0)
        words.clear();

    const std::string line = upload::WindowsCommandLine(words);
    const std::vector<std::string> back = ReadWindowsArguments(line);
    FUZZ_CHECK(back == words, "words %s, line \"%s\", read back %s", Shown(words).c_str(),
               fuzz::Shown(line).c_str(), Shown(back).c_str());

    for (const std::string &word : words) {
        const std::string quoted = upload::QuoteWindowsArgument(word);
        FUZZ_CHECK(ReadWindowsArguments(quoted) == std::vector<std::string>{word}, "word [%s] quoted as \"%s\"",
                   fuzz::Shown(word).c_str(), fuzz::Shown(quoted).c_str());
    }
    return 0;
}
