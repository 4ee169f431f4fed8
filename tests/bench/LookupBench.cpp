// The look-up address building and the whole dictionary look-up handler, and the stages between:
// the UTF-8 form, the prepared text, the address, and the platform's narrow copy of the address.

#include "BenchSupport.h"
#include "FakePlatform.h"
#include "app/frmDictionary.h"
#include "lookup/LookupService.h"
#include "text/Utf16.h"

#include <benchmark/benchmark.h>

namespace vorda::bench {
namespace {

using test::FakePlatform;

void CountCharacters(benchmark::State& state)
{
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(LengthOf(state)));
    state.counters["chars"] = static_cast<double>(LengthOf(state));
}

// The UTF-8 form alone, for scale: the encoding visits the same bytes.
void BM_ToUtf8(benchmark::State& state, TextKind kind)
{
    const std::u16string text = MakeClipboardText(LengthOf(state), kind);
    for (auto _ : state) {
        std::string utf8 = ToUtf8(text);
        benchmark::DoNotOptimize(utf8.data());
    }
    CountCharacters(state);
}
BENCHMARK_CAPTURE(BM_ToUtf8, words, TextKind::Words)->Apply(AddLengthArguments);
BENCHMARK_CAPTURE(BM_ToUtf8, cyrillic, TextKind::Cyrillic)->Apply(AddLengthArguments);

void BM_PrepareLookupText(benchmark::State& state, TextKind kind)
{
    const std::u16string text = MakeClipboardText(LengthOf(state), kind);
    for (auto _ : state) {
        std::u16string prepared = PrepareLookupText(text);
        benchmark::DoNotOptimize(prepared.data());
    }
    CountCharacters(state);
}
BENCHMARK_CAPTURE(BM_PrepareLookupText, words, TextKind::Words)->Apply(AddLengthArguments);
BENCHMARK_CAPTURE(BM_PrepareLookupText, cyrillic, TextKind::Cyrillic)->Apply(AddLengthArguments);

void BM_BuildLookupAddress(benchmark::State& state, TextKind kind)
{
    const std::u16string text = MakeClipboardText(LengthOf(state), kind);
    std::size_t addressLength = 0;
    for (auto _ : state) {
        std::u16string address = BuildLookupAddress(kDictionaryService, text);
        addressLength = address.size();
        benchmark::DoNotOptimize(address.data());
    }
    CountCharacters(state);
    state.counters["address_chars"] = static_cast<double>(addressLength);
}
BENCHMARK_CAPTURE(BM_BuildLookupAddress, words, TextKind::Words)->Apply(AddLengthArguments);
BENCHMARK_CAPTURE(BM_BuildLookupAddress, cyrillic, TextKind::Cyrillic)->Apply(AddLengthArguments);

// What building the address in two steps would add: the base address joined in front of the prepared
// text, as `BaseAddress() + PrepareLookupText(text)` would do it. Each join gets a fresh copy of the
// prepared text with the same spare capacity, made outside the timing; at the small lengths the pauses
// dominate.
void BM_JoinBaseAddress(benchmark::State& state, TextKind kind)
{
    const std::u16string prepared = PrepareLookupText(MakeClipboardText(LengthOf(state), kind));
    for (auto _ : state) {
        state.PauseTiming();
        std::u16string fresh;
        fresh.reserve(prepared.capacity());
        fresh = prepared;
        state.ResumeTiming();
        std::u16string address = kDictionaryService.BaseAddress() + std::move(fresh);
        benchmark::DoNotOptimize(address.data());
    }
    CountCharacters(state);
    state.counters["prepared_chars"] = static_cast<double>(prepared.size());
}
BENCHMARK_CAPTURE(BM_JoinBaseAddress, words, TextKind::Words)->Apply(AddLengthArguments)->MinTime(0.2);
BENCHMARK_CAPTURE(BM_JoinBaseAddress, cyrillic, TextKind::Cyrillic)->Apply(AddLengthArguments)->MinTime(0.2);

// The platform's share of a look-up besides the clipboard copy: the address in the narrow code page.
void BM_AddressToAnsi(benchmark::State& state, TextKind kind)
{
    FakePlatform platform;
    const std::u16string address = BuildLookupAddress(kDictionaryService, MakeClipboardText(LengthOf(state), kind));
    for (auto _ : state) {
        std::string narrow = platform.ToAnsi(address);
        benchmark::DoNotOptimize(narrow.data());
    }
    CountCharacters(state);
}
BENCHMARK_CAPTURE(BM_AddressToAnsi, words, TextKind::Words)->Apply(AddLengthArguments);
BENCHMARK_CAPTURE(BM_AddressToAnsi, cyrillic, TextKind::Cyrillic)->Apply(AddLengthArguments);

// The Click handler of mnuLookup, as a double click on the tray icon runs it: read the clipboard,
// refuse an empty text, build the address, convert it and hand it to the shell.
void BM_DictionaryLookup(benchmark::State& state, TextKind kind)
{
    FakePlatform platform;
    frmDictionary window(platform);
    window.Form_Load();
    platform.clipboard = MakeClipboardText(LengthOf(state), kind);

    // One recorded run to check that the handler opens what it should before timing it.
    window.mnuLookup_Click();
    const std::string expected = ToUtf8(BuildLookupAddress(kDictionaryService, *platform.clipboard));
    if (platform.launches.size() != 1 || platform.launches[0].file != expected) {
        state.SkipWithError("the look-up did not open the dictionary address");
        return;
    }
    platform.recording = false;
    platform.launches.clear();
    const std::uint64_t launchesBefore = platform.launchCount;

    for (auto _ : state) {
        window.mnuLookup_Click();
    }

    if (platform.launchCount != launchesBefore + static_cast<std::uint64_t>(state.iterations())) {
        state.SkipWithError("a timed look-up opened nothing");
    }
    CountCharacters(state);
}
BENCHMARK_CAPTURE(BM_DictionaryLookup, words, TextKind::Words)->Apply(AddLengthArguments);
BENCHMARK_CAPTURE(BM_DictionaryLookup, cyrillic, TextKind::Cyrillic)->Apply(AddLengthArguments);

} // namespace
} // namespace vorda::bench
