#pragma once
// What the benchmarks share: clipboard texts of an exact length in 16-bit units, and the lengths.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

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

// Minor page faults of this process so far: fresh memory that a large copy touches shows up here.
inline long PageFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Counts the page faults of the timed loop, per iteration, as the counter "faults".
class PageFaultCounter {
public:
    explicit PageFaultCounter(benchmark::State& state) : state_(state), start_(PageFaults()) {}
    PageFaultCounter(const PageFaultCounter&) = delete;
    PageFaultCounter& operator=(const PageFaultCounter&) = delete;
    ~PageFaultCounter()
    {
        state_.counters["faults"] = benchmark::Counter(static_cast<double>(PageFaults() - start_),
                                                       benchmark::Counter::kAvgIterations);
    }

private:
    benchmark::State& state_;
    long start_;
};

} // namespace vorda::bench
