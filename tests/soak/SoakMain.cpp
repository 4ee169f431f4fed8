// A day of clipboard ticks (432,000 at five a second) over the fake platform, the clipboard changing
// every few ticks: texts of many lengths, empty, spaces only, other scripts, lone surrogates, and reads
// that fail. Every tick is checked against what it must show, a double click looks the text up now and
// then, and memory must stay flat once warmed up (see ResidentMemory.h). Under AddressSanitizer the
// leak check at exit adds that nothing leaked.
//
//     vorda_soak [ticks] [seed]

#include "ExpectedPollTexts.h"
#include "Oracles.h"
#include "ResidentMemory.h"
#include "SoakClipboard.h"
#include "TestSupport.h"
#include "tray/TrayRecordFields.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vorda::soak {
namespace {

constexpr std::uint64_t kDayOfTicks = 432000;
constexpr long kAllowedGrowthKiB = 1024;
constexpr std::uint64_t kDoubleClickEvery = 997; // a prime, so it meets every kind of clipboard

struct Counts {
    std::uint64_t text = 0, noText = 0, failedReads = 0, lookups = 0;
};

[[noreturn]] void Fail(std::uint64_t tick, const std::string& what)
{
    std::fflush(stdout);
    std::fprintf(stderr, "soak: tick %llu: %s\n", static_cast<unsigned long long>(tick), what.c_str());
    std::exit(1);
}

// What one tick must leave behind, checked on the first of the nine items, the icon and the requests.
void CheckTick(std::uint64_t tick, const test::FakePlatform& platform, const std::optional<std::u16string>& clipboard,
               std::uint64_t requestsBefore, const std::u16string& captionBefore, Counts& counts)
{
    if (!clipboard) {
        ++counts.failedReads;
        if (platform.trayRequestCount != requestsBefore || platform.captions.at(MenuItem::mnuLookup) != captionBefore) {
            Fail(tick, "a clipboard that cannot be read changed the menu or sent a request");
        }
        return;
    }
    const std::u16string_view text = fuzz::OracleTrim(*clipboard);
    const bool hasText = !text.empty();
    ++(hasText ? counts.text : counts.noText);
    const test::ExpectedPollCaption& lookup = test::kExpectedPollCaptions[0];
    const std::u16string caption = hasText ? std::u16string(lookup.textPrefix) + fuzz::OracleQuote(text)
                                           : std::u16string(lookup.noTextCaption);
    if (platform.captions.at(MenuItem::mnuLookup) != caption || platform.enabled.at(MenuItem::mnuRyhme) != hasText) {
        Fail(tick, "the menu does not show the clipboard's state");
    }
    if (platform.trayRequestCount != requestsBefore + 1 || !platform.lastTrayRequest ||
        ReadTrayRecord(platform.lastTrayRequest->bytes).hIcon != (hasText ? test::kTextIcon : test::kNoTextIcon)) {
        Fail(tick, "the tick did not send one modify request with the right icon");
    }
}

void DoubleClick(std::uint64_t tick, test::WindowOverFake& fake, const std::optional<std::u16string>& clipboard,
                 Counts& counts)
{
    const std::uint64_t launchesBefore = fake.platform.launchCount;
    fake.window.OnTrayEvent(515);
    const bool opens = clipboard && !fuzz::OracleTrim(*clipboard).empty();
    if (fake.platform.launchCount != launchesBefore + (opens ? 1 : 0)) {
        Fail(tick, "a double click did not open exactly what the clipboard allows");
    }
    counts.lookups += opens ? 1 : 0;
}

int Run(std::uint64_t ticks, std::uint32_t seed)
{
    const auto started = std::chrono::steady_clock::now();
    MemorySamples memory(ticks);

    test::WindowOverFake fake;
    fake.platform.recording = false;
    fake.window.Form_Load();
    SoakClipboard script(seed);
    Counts counts;

    for (std::uint64_t tick = 1; tick <= ticks; ++tick) {
        fake.platform.clipboard = script.ClipboardFor(tick);
        const std::uint64_t requestsBefore = fake.platform.trayRequestCount;
        const std::u16string captionBefore = fake.platform.captions.at(MenuItem::mnuLookup);

        fake.window.OnTimer(TimerId::tmrCheckClipboard);

        CheckTick(tick, fake.platform, fake.platform.clipboard, requestsBefore, captionBefore, counts);
        if (tick % kDoubleClickEvery == 0) {
            DoubleClick(tick, fake, fake.platform.clipboard, counts);
        }
        memory.AfterTick(tick);
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("soak: %llu ticks in %.1f s (%.1f us a tick), seed %u: %llu with text, %llu without, %llu failed "
                "reads, %llu look-ups\n",
                static_cast<unsigned long long>(ticks), seconds, seconds * 1e6 / static_cast<double>(ticks), seed,
                static_cast<unsigned long long>(counts.text), static_cast<unsigned long long>(counts.noText),
                static_cast<unsigned long long>(counts.failedReads), static_cast<unsigned long long>(counts.lookups));
    memory.Resident().Print("resident memory");
    if (kUnderAddressSanitizer) {
        memory.Allocated().Print("allocated memory");
    }
    const char* checked = kUnderAddressSanitizer ? "allocated" : "resident";
    std::printf("flat-memory check on %s memory: growth after warm-up %ld KiB, allowed %ld KiB\n", checked,
                memory.Checked().GrowthAfterWarmUp(), kAllowedGrowthKiB);
    std::fflush(stdout);
    if (memory.Checked().GrowthAfterWarmUp() > kAllowedGrowthKiB) {
        std::fprintf(stderr, "soak: %s memory grew by %ld KiB after warm-up\n", checked,
                     memory.Checked().GrowthAfterWarmUp());
        return 1;
    }
    return 0;
}

} // namespace
} // namespace vorda::soak

int main(int argc, char** argv)
{
    const std::uint64_t ticks = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : vorda::soak::kDayOfTicks;
    const auto seed = static_cast<std::uint32_t>(argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 20240501);
    if (ticks < 100) {
        std::fprintf(stderr, "usage: vorda_soak [ticks, at least 100] [seed]\n");
        return 2;
    }
    return vorda::soak::Run(ticks, seed);
}
