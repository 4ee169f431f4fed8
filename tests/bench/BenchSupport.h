#pragma once
// What the benchmarks share: clipboard texts of an exact length in 16-bit units, and the lengths.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorda::bench {

enum class TextKind {
    Words,      // ASCII words, two spaces at each end: the trim stops at once
    SpacesOnly, // the one text the trim has to read whole
    Cyrillic,   // two UTF-8 bytes per character: six address characters each once encoded
};

// The lengths measured: 10 B, 1 KiB, 1 MiB and 10 MiB of ASCII text (twice that in memory).
inline constexpr std::size_t kLengths[] = {10, 1024, 1024 * 1024, 10 * 1024 * 1024};

inline std::u16string MakeClipboardText(std::size_t length, TextKind kind)
{
    if (kind == TextKind::SpacesOnly) {
        return std::u16string(length, u' ');
    }
    const std::u16string_view words =
        kind == TextKind::Words ? std::u16string_view(u"lorem ipsum dolor sit amet ") : u"\u0441\u043b\u043e\u0432\u043e ";
    std::u16string text(length, u' ');
    for (std::size_t i = 2; i + 2 < length; ++i) {
        text[i] = words[(i - 2) % words.size()];
    }
    return text;
}

inline void AddLengthArguments(benchmark::internal::Benchmark* benchmark)
{
    for (const std::size_t length : kLengths) {
        benchmark->Arg(static_cast<std::int64_t>(length));
    }
}

inline std::size_t LengthOf(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

} // namespace vorda::bench
