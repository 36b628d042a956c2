// SPDX-License-Identifier: GPL-3.0-or-later
// The uploader's Windows command line: any words, quoted and joined, read
// back with the Microsoft C runtime's rules (RefWindowsArguments.h, written
// out as the runtime documents them) give the same words. A command line cannot carry
// a NUL, so the input's NUL bytes separate the words.
#include "FuzzCheck.h"
#include "RefWindowsArguments.h"

#include "WindowsCommandLine.h"

#include <vector>

namespace {

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
    const std::vector<std::string> back = ref::ReadWindowsArguments(line);
    FUZZ_CHECK(back == words, "words %s, line \"%s\", read back %s", Shown(words).c_str(),
               fuzz::Shown(line).c_str(), Shown(back).c_str());

    for (const std::string &word : words) {
        const std::string quoted = upload::QuoteWindowsArgument(word);
        FUZZ_CHECK(ref::ReadWindowsArguments(quoted) == std::vector<std::string>{word}, "word [%s] quoted as \"%s\"",
                   fuzz::Shown(word).c_str(), fuzz::Shown(quoted).c_str());
    }
    return 0;
}
