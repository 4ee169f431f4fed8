// One tick of the clipboard poll over the fake platform, and its two parts: the platform's copy of the
// clipboard text and the core's own work on it. The core's work must not grow with the text beyond
// the one pass the trim may need.

#include "BenchSupport.h"
#include "FakePlatform.h"
#include "app/frmDictionary.h"
#include "clipboard/ClipboardText.h"
#include "text/Utf16.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace vorda::bench {
namespace {

using test::FakePlatform;

// The whole Timer handler of tmrCheckClipboard: read, trim, quote, eighteen menu writes, one request.
void BM_Tick(benchmark::State& state, TextKind kind)
{
    FakePlatform platform;
    frmDictionary window(platform);
    window.Form_Load();
    platform.recording = false;
    platform.clipboard = MakeClipboardText(LengthOf(state), kind);
    const std::uint64_t requestsBefore = platform.trayRequestCount;

    {
        const PageFaultCounter faults(state);
        for (auto _ : state) {
            window.tmrCheckClipboard_Timer();
        }
    }

    const bool hasText = kind != TextKind::SpacesOnly;
    const auto expectedRequests = requestsBefore + static_cast<std::uint64_t>(state.iterations());
    if (platform.trayRequestCount != expectedRequests || platform.enabled.at(MenuItem::mnuLookup) != hasText) {
        state.SkipWithError("the tick did not run to its modify request");
    }
    state.counters["chars"] = static_cast<double>(LengthOf(state));
}
BENCHMARK_CAPTURE(BM_Tick, words, TextKind::Words)->Apply(AddLengthArguments);
BENCHMARK_CAPTURE(BM_Tick, spaces_only, TextKind::SpacesOnly)->Apply(AddLengthArguments);

// The tick and the platform's copy timed in turn within each iteration, so that both meet the same
// state of the machine (a 10 MiB copy is bound by memory bandwidth, which other processes share, and
// CPU time does not leave that out). The counter tick_less_copy_ns is the core's part of the tick.
void BM_TickLessCopy(benchmark::State& state, TextKind kind)
{
    using Clock = std::chrono::steady_clock;
    FakePlatform platform;
    frmDictionary window(platform);
    window.Form_Load();
    platform.recording = false;
    platform.clipboard = MakeClipboardText(LengthOf(state), kind);

    window.tmrCheckClipboard_Timer(); // the first large allocation touches fresh pages; keep it out

    double tickSeconds = 0;
    double copySeconds = 0;
    for (auto _ : state) {
        const auto copyStart = Clock::now();
        {
            const ClipboardContents text = platform.ClipboardText(ClipboardUse::Tick);
            benchmark::DoNotOptimize(text->data());
            benchmark::ClobberMemory();
        }
        const auto tickStart = Clock::now();
        window.tmrCheckClipboard_Timer();
        const auto tickEnd = Clock::now();
        const double copy = std::chrono::duration<double>(tickStart - copyStart).count();
        const double tick = std::chrono::duration<double>(tickEnd - tickStart).count();
        copySeconds += copy;
        tickSeconds += tick;
    }
    const auto perIteration = [&](double seconds) { return seconds / static_cast<double>(state.iterations()) * 1e9; };
    state.counters["tick_ns"] = perIteration(tickSeconds);
    state.counters["copy_ns"] = perIteration(copySeconds);
    state.counters["tick_less_copy_ns"] = perIteration(tickSeconds - copySeconds);
    state.counters["chars"] = static_cast<double>(LengthOf(state));
}
BENCHMARK_CAPTURE(BM_TickLessCopy, words, TextKind::Words)->Apply(AddLengthArguments);
BENCHMARK_CAPTURE(BM_TickLessCopy, spaces_only, TextKind::SpacesOnly)->Apply(AddLengthArguments);

// The part of a tick that grows with the text over the fake, which hands back a fresh copy of the
// clipboard each time (the real backends share the text they last read).
void BM_ClipboardCopy(benchmark::State& state, TextKind kind)
{
    FakePlatform platform;
    platform.recording = false;
    platform.clipboard = MakeClipboardText(LengthOf(state), kind);

    {
        const PageFaultCounter faults(state);
        for (auto _ : state) {
            const ClipboardContents text = platform.ClipboardText(ClipboardUse::Tick);
            benchmark::DoNotOptimize(text->data());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(LengthOf(state) * sizeof(char16_t)));
    state.counters["chars"] = static_cast<double>(LengthOf(state));
}
BENCHMARK_CAPTURE(BM_ClipboardCopy, words, TextKind::Words)->Apply(AddLengthArguments);
BENCHMARK_CAPTURE(BM_ClipboardCopy, spaces_only, TextKind::SpacesOnly)->Apply(AddLengthArguments);

// The core's own work on the text in a tick, with no copy: the trim and the quoted form.
void BM_TickTextRule(benchmark::State& state, TextKind kind)
{
    const std::u16string clipboard = MakeClipboardText(LengthOf(state), kind);

    for (auto _ : state) {
        const std::u16string_view text = TrimSpaces(clipboard);
        if (!text.empty()) {
            std::u16string quoted = QuoteForCaption(text);
            benchmark::DoNotOptimize(quoted.data());
        }
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["chars"] = static_cast<double>(LengthOf(state));
}
BENCHMARK_CAPTURE(BM_TickTextRule, words, TextKind::Words)->Apply(AddLengthArguments);
BENCHMARK_CAPTURE(BM_TickTextRule, spaces_only, TextKind::SpacesOnly)->Apply(AddLengthArguments);

} // namespace
} // namespace vorda::bench
