// The clipboard poll driven over the fake with fuzzed clipboard texts, one tick after another, some
// of them failing to read the clipboard. The input: one byte for the narrow code page (even: one byte
// per character, Windows-1252; odd: up to four, UTF-8), then the clipboard text of each tick in
// UTF-16LE, ticks separated by U+FFFF; a tick whose text is U+FFFE alone cannot read the clipboard.
// After each tick:
// - a failed read changed nothing: captions, enabled states and the last tray request are as before;
// - otherwise the nine captions are their prefix + the quoted text (or the no-text captions), all nine
//   enabled (or disabled), and one modify request went out whose record is 88 bytes with its fixed
//   fields unchanged, the right icon, and a tooltip field that holds a NUL: exactly the visible text,
//   a NUL and spaces when each character takes one byte; whole characters only when they take more.

#include "FuzzSupport.h"
#include "Oracles.h"
#include "ExpectedPollTexts.h"
#include "TestSupport.h"
#include "app/FormDefinitions.h"
#include "tray/TrayRecordFields.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace vorda::fuzz {
namespace {

using test::UInt32At;

using test::kExpectedNoTextTip;
using test::kExpectedPollCaptions;
using test::kExpectedTextTipPrefix;

constexpr char16_t kTickSeparator = 0xFFFF;
constexpr std::u16string_view kCannotRead = u"\uFFFE";

// A code page whose characters take up to four bytes, so that the 64-byte field can overflow.
std::string Utf8CodePage(std::u16string_view text) { return OracleUtf8(text); }

// The tooltip field for a stored text: the 64-unit field (text, then spaces) converted character by
// character, a pair as one; a character whose bytes would not fit is left out with all after it, the
// rest is spaces, and the last byte becomes a NUL if no NUL made it in.
std::string ExpectedTipField(test::FakePlatform& platform, std::u16string_view text)
{
    std::u16string field(text.substr(0, kTipBytes));
    field.resize(kTipBytes, u' ');
    std::string bytes;
    for (std::size_t i = 0; i < field.size();) {
        const std::size_t units = OracleIsHigh(field[i]) && i + 1 < field.size() && OracleIsLow(field[i + 1]) ? 2 : 1;
        const std::string narrow = platform.ToAnsi(std::u16string_view(field).substr(i, units));
        if (bytes.size() + narrow.size() > kTipBytes - 1) {
            break;
        }
        bytes += narrow;
        i += units;
    }
    bytes.resize(kTipBytes, ' ');
    if (bytes.find('\0') == std::string::npos) {
        bytes.back() = '\0';
    }
    return bytes;
}

// The menu as it must stand: before the first tick that could read the clipboard, every item as the
// window defines it; after it, the nine look-up items as that tick's text makes them and the others
// still as defined.
void CheckMenu(const test::FakePlatform& platform, std::optional<std::u16string_view> lastRead)
{
    const std::u16string_view text = lastRead ? OracleTrim(*lastRead) : std::u16string_view();
    const bool hasText = !text.empty();
    const std::u16string quoted = OracleQuote(text);
    for (const MenuItemDefinition& definition : kMenuDefinition) {
        const auto* poll = std::find_if(kExpectedPollCaptions.begin(), kExpectedPollCaptions.end(),
                                        [&](const test::ExpectedPollCaption& entry) { return entry.item == definition.item; });
        std::u16string caption(definition.caption);
        bool enabled = definition.enabled;
        if (poll != kExpectedPollCaptions.end() && lastRead) {
            caption = hasText ? std::u16string(poll->textPrefix) + quoted : std::u16string(poll->noTextCaption);
            enabled = hasText;
        }
        FUZZ_CHECK(platform.captions.at(definition.item) == caption,
                   "each look-up caption is its prefix + the quoted text, or its no-text caption; the poll "
                   "touches no other item, and a failed read changes none");
        FUZZ_CHECK(platform.enabled.at(definition.item) == enabled,
                   "the nine look-up items are enabled exactly when there is text; nothing else changes");
    }
}

void CheckFailedRead(const test::FakePlatform& platform, const std::optional<test::TrayRequest>& lastRequest,
                     std::uint64_t requestCount)
{
    FUZZ_CHECK(platform.trayRequestCount == requestCount, "a failed read sends no tray request");
    FUZZ_CHECK(lastRequest.has_value() == platform.lastTrayRequest.has_value() &&
                   (!lastRequest || lastRequest->bytes == platform.lastTrayRequest->bytes),
               "a failed read leaves the tray record as it was");
}

void CheckRequest(test::FakePlatform& platform, std::u16string_view clipboard, std::uint64_t requestCount,
                  bool oneBytePerCharacter)
{
    const std::u16string_view text = OracleTrim(clipboard);
    const bool hasText = !text.empty();

    FUZZ_CHECK(platform.trayRequestCount == requestCount + 1 && platform.lastTrayRequest,
               "every tick that reads the clipboard sends one request");
    const test::TrayRequest& request = *platform.lastTrayRequest;
    const TrayRecordBytes& bytes = request.bytes;
    FUZZ_CHECK(request.message == 1, "the tick's request is a modify request");
    FUZZ_CHECK(bytes.size() == 88 && UInt32At(bytes, 0) == 88, "the record is 88 bytes and says so");
    FUZZ_CHECK(UInt32At(bytes, 4) == test::kWindowHandle && UInt32At(bytes, 8) == 1 && UInt32At(bytes, 12) == 7 &&
                   UInt32At(bytes, 16) == 512,
               "hWnd, uID, uFlags and uCallbackMessage keep their start-up values");
    FUZZ_CHECK(ReadTrayRecord(bytes).hIcon == (hasText ? test::kTextIcon : test::kNoTextIcon),
               "the icon is the text icon exactly when there is text");

    const std::string field(bytes.begin() + kTipOffset, bytes.end());
    FUZZ_CHECK(field.find('\0') != std::string::npos, "the tooltip field holds a NUL");
    const std::u16string visible =
        hasText ? std::u16string(kExpectedTextTipPrefix) + OracleQuote(text) : std::u16string(kExpectedNoTextTip);
    const std::string expected = ExpectedTipField(platform, visible + u'\0');
    FUZZ_CHECK(field == expected, "the tooltip field is the visible text, a NUL and spaces, whole characters only");
    if (oneBytePerCharacter) {
        std::string plain = platform.ToAnsi(visible) + '\0';
        plain.resize(kTipBytes, ' ');
        FUZZ_CHECK(field == plain, "with one byte per character the field is the whole text, a NUL and spaces");
    }
}

} // namespace
} // namespace vorda::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    using namespace vorda;
    using namespace vorda::fuzz;
    if (size == 0) {
        return 0;
    }
    test::WindowOverFake fake;
    const bool oneBytePerCharacter = bytes[0] % 2 == 0;
    if (!oneBytePerCharacter) {
        fake.platform.toAnsi = Utf8CodePage;
    }
    fake.LoadAndClearLog();
    fake.platform.recording = false;

    const std::u16string ticks = Utf16FromBytes(bytes + 1, size - 1);
    std::optional<std::u16string_view> lastRead;
    std::size_t start = 0;
    while (start <= ticks.size()) {
        const std::size_t end = std::min(ticks.find(kTickSeparator, start), ticks.size());
        const std::u16string_view clipboard = std::u16string_view(ticks).substr(start, end - start);
        start = end + 1;

        const std::optional<test::TrayRequest> lastRequest = fake.platform.lastTrayRequest;
        const std::uint64_t requestCount = fake.platform.trayRequestCount;
        if (clipboard == kCannotRead) {
            fake.platform.clipboard.reset();
            fake.window.tmrCheckClipboard_Timer();
            CheckFailedRead(fake.platform, lastRequest, requestCount);
        } else {
            fake.platform.clipboard = std::u16string(clipboard);
            fake.window.tmrCheckClipboard_Timer();
            CheckRequest(fake.platform, clipboard, requestCount, oneBytePerCharacter);
            lastRead = clipboard;
        }
        CheckMenu(fake.platform, lastRead);
    }
    return 0;
}
