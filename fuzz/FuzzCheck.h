// SPDX-License-Identifier: GPL-3.0-or-later
// What every fuzz target uses: a check that stops the run with a message
// (libFuzzer keeps the input that broke it), and a reader that takes numbers
// and choices from the fuzzer's bytes. Plain C++, no library code.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition, ...)                                                        \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            std::fprintf(stderr, "\n%s:%d: check failed: %s\n", __FILE__, __LINE__,      \
                         #condition);                                                     \
            std::fprintf(stderr, __VA_ARGS__);                                            \
            std::fprintf(stderr, "\n");                                                   \
            std::abort();                                                                 \
        }                                                                                 \
    } while (false)

namespace fuzz {

// Takes values from the front of the input; past its end every value is 0.
class Input {
public:
    Input(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::size_t left() const { return size_ - pos_; }

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    std::uint32_t u16() { return std::uint32_t(byte()) | std::uint32_t(byte()) << 8; }
    std::uint32_t u32() { return u16() | u16() << 16; }
    std::uint64_t u64() { return std::uint64_t(u32()) | std::uint64_t(u32()) << 32; }

    // Up to `max` bytes as text.
    std::string text(std::size_t max)
    {
        const std::size_t n = std::min<std::size_t>(max, left());
        std::string s(reinterpret_cast<const char *>(data_ + pos_), n);
        pos_ += n;
        return s;
    }

    std::string rest() { return text(left()); }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Bytes written out for a failure message.
inline std::string Shown(std::string_view bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += char(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return out;
}

} // namespace fuzz
