// SPDX-License-Identifier: GPL-3.0-or-later
// The reply framing and agreement check on any bytes, against a small model
// written here: only the first 260 bytes count, the text ends at the first
// NUL, it must hold three full stops, and the three copies before them must
// be the same. Also: once the bytes read so far hold three stops, more bytes
// change nothing (the read may end there), and a framed command comes back
// as itself.
#include "FuzzCheck.h"

#include "Framing.h"

#include <vector>

namespace {

constexpr std::size_t kBuffer = 260;

struct ModelResult {
    bool agreed;
    std::string reply;
};

// The bytes as text: at most the buffer, up to the first NUL.
std::string ModelText(const std::uint8_t *data, std::size_t n)
{
    std::string text;
    for (std::size_t i = 0; i < n && i < kBuffer && data[i] != 0; ++i)
        text += char(data[i]);
    return text;
}

ModelResult Model(const std::uint8_t *data, std::size_t n)
{
    const std::string text = ModelText(data, n);
    std::vector<std::string> copies(1);
    for (char c : text) {
        if (c == '.') {
            if (copies.size() == 3)
                return {copies[0] == copies[1] && copies[1] == copies[2], copies[0]};
            copies.emplace_back();
        } else {
            copies.back() += c;
        }
    }
    return {false, {}};
}

bool ModelThreeStops(const std::uint8_t *data, std::size_t n)
{
    int stops = 0;
    for (char c : ModelText(data, n))
        stops += c == '.';
    return stops >= 3;
}

void Compare(const std::uint8_t *data, std::size_t n)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    const std::string untouched = "\x01untouched";
    std::string reply = untouched;
    const bool agreed = SplitAgreedReply(bytes, n, reply);
    const ModelResult model = Model(data, n);
    const auto shown = [&] { return fuzz::Shown(std::string_view(bytes, n)); };
    FUZZ_CHECK(agreed == model.agreed, "%zu bytes \"%s\": product %d, model %d", n, shown().c_str(), agreed,
               model.agreed);
    FUZZ_CHECK(reply == (agreed ? model.reply : untouched), "\"%s\": reply \"%s\", model \"%s\"", shown().c_str(),
               fuzz::Shown(reply).c_str(), fuzz::Shown(model.reply).c_str());
    FUZZ_CHECK(HasThreeStops(bytes, n) == ModelThreeStops(data, n), "\"%s\": three stops %d", shown().c_str(),
               HasThreeStops(bytes, n));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Compare(data, size);

    // A read that ended early, after `k` bytes, must make of them what the
    // whole read makes of all of them.
    if (size > 0) {
        const std::size_t k = data[0] % (size + 1);
        Compare(data, k);
        const char *bytes = reinterpret_cast<const char *>(data);
        if (HasThreeStops(bytes, k)) {
            std::string early = "-", whole = "-";
            const bool earlyOk = SplitAgreedReply(bytes, k, early);
            const bool wholeOk = SplitAgreedReply(bytes, size, whole);
            FUZZ_CHECK(earlyOk == wholeOk && early == whole, "early end after %zu of %zu bytes changed the result",
                       k, size);
        }
    }

    // The input as a command or reply text: framed three times it agrees as
    // itself, when it fits the buffer and holds no stop or NUL.
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::string framed = FrameCommand(text);
    FUZZ_CHECK(framed == text + ".", "framed \"%s\"", fuzz::Shown(framed).c_str());
    const std::string three = framed + framed + framed;
    if (text.find_first_of(std::string(".\0", 2)) == std::string::npos && three.size() <= kBuffer) {
        std::string reply;
        FUZZ_CHECK(SplitAgreedReply(three.data(), three.size(), reply) && reply == text,
                   "three copies of \"%s\" did not agree as themselves", fuzz::Shown(text).c_str());
    }
    return 0;
}
