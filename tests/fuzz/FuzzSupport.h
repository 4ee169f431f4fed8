#pragma once
// What the fuzz targets share: a check that stops the run with a message, and the reading of the
// fuzzer's bytes as 16-bit text (UTF-16, little-endian; an odd last byte is dropped), which keeps
// the seed files plain UTF-16 texts that anyone can write.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A broken invariant is a finding: say which, then abort so the fuzzer keeps the input.
#define FUZZ_CHECK(condition, what)                                                                    \
    do {                                                                                               \
        if (!(condition)) {                                                                            \
            std::fprintf(stderr, "\nbroken invariant: %s\n  check: %s\n  at %s:%d\n", what, #condition, \
                         __FILE__, __LINE__);                                                          \
            std::abort();                                                                              \
        }                                                                                              \
    } while (false)

namespace vorda::fuzz {

inline std::u16string Utf16FromBytes(const std::uint8_t* bytes, std::size_t size)
{
    std::u16string text(size / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return text;
}

} // namespace vorda::fuzz
