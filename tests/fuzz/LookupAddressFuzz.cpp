// The look-up text rule and the address building, alone and through the Click handlers over the fake.
// The input is the clipboard text (UTF-16LE).
// - PrepareLookupText gives only unreserved characters and %XX with upper-case hex digits, never an
//   unreserved byte written as %XX;
// - decoding the %XX gives back the UTF-8 of the trimmed text, unpaired surrogates as U+FFFD;
// - every address is ASCII, starts with its service's base address and ends with the prepared text,
//   or, where that would be longer than kLongestAddress, with as many whole characters of it as fit;
// - the handlers open exactly those addresses, and the dictionary refuses an empty text.

#include "FuzzSupport.h"
#include "Oracles.h"
#include "TestSupport.h"
#include "lookup/LookupService.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vorda::fuzz {
namespace {

void CheckPreparedText(std::u16string_view text, std::u16string_view prepared)
{
    std::string decoded;
    for (std::size_t i = 0; i < prepared.size(); ++i) {
        const char16_t c = prepared[i];
        if (IsUnreserved(c)) {
            decoded += static_cast<char>(c);
            continue;
        }
        FUZZ_CHECK(c == u'%', "the prepared text holds only unreserved characters and %XX");
        FUZZ_CHECK(i + 2 < prepared.size(), "a % is followed by two hex digits");
        const auto high = UpperHexDigit(prepared[i + 1]);
        const auto low = UpperHexDigit(prepared[i + 2]);
        FUZZ_CHECK(high && low, "the two digits after % are upper-case hex");
        const auto byte = static_cast<char16_t>(*high * 16 + *low);
        FUZZ_CHECK(!IsUnreserved(byte), "an unreserved byte is written as itself, not as %XX");
        decoded += static_cast<char>(byte);
        i += 2;
    }
    FUZZ_CHECK(decoded == OracleUtf8(OracleTrim(text)),
               "decoding the prepared text gives the UTF-8 of the trimmed text");
}

// The units of the address that the character starting at whole[at] takes: itself, or %XX for each of
// its UTF-8 bytes (the lead byte tells how many).
std::size_t CharacterLength(std::u16string_view whole, std::size_t at)
{
    if (whole[at] != u'%') {
        return 1;
    }
    const auto lead = *UpperHexDigit(whole[at + 1]) * 16 + *UpperHexDigit(whole[at + 2]);
    FUZZ_CHECK((lead & 0xC0) != 0x80, "the cut falls before a whole character, not inside one");
    return 3 * static_cast<std::size_t>((lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 1);
}

// The address is the whole one where it fits; else its start, cut before a character that would not
// have fitted.
void CheckCut(std::u16string_view address, std::u16string_view whole)
{
    if (whole.size() <= kLongestAddress) {
        FUZZ_CHECK(address == whole, "the address is the base address followed by the prepared text");
        return;
    }
    FUZZ_CHECK(address.size() <= kLongestAddress, "a cut address keeps to the limit");
    FUZZ_CHECK(whole.starts_with(address), "a cut address is the start of the whole one");
    FUZZ_CHECK(address.size() + CharacterLength(whole, address.size()) > kLongestAddress,
               "the cut keeps every character that fits");
}

std::u16string ExpectedBaseAddress(const LookupService& service)
{
    return u"http://" + std::u16string(service.host) + std::u16string(service.pathAndQuery);
}

// Returns the nine addresses, in table order, narrowed (they are ASCII) as the shell gets them.
std::vector<std::string> CheckAddresses(std::u16string_view text, std::u16string_view prepared)
{
    std::vector<std::string> narrowed;
    for (const LookupService& service : kLookupServices) {
        const std::u16string base = ExpectedBaseAddress(service);
        FUZZ_CHECK(service.BaseAddress() == base, "the base address is http:// + host + path-and-query");
        FUZZ_CHECK(!service.host.empty() && service.pathAndQuery.ends_with(u'='),
                   "every service has a host and a query that ends in =");
        const std::u16string address = BuildLookupAddress(service, text);
        FUZZ_CHECK(std::all_of(address.begin(), address.end(), [](char16_t c) { return c < 0x80; }),
                   "the address is ASCII");
        FUZZ_CHECK(address.starts_with(base), "the address starts with its service's base address");
        CheckCut(address, base + std::u16string(prepared));
        narrowed.emplace_back(address.begin(), address.end());
    }
    return narrowed;
}

void CheckLaunch(const test::BrowserLaunch& launch, const std::string& address)
{
    FUZZ_CHECK(launch.file == address, "the handler opens the address built from the clipboard text");
    FUZZ_CHECK(launch.owner == test::kWindowHandle && launch.operation == "Open" && launch.parameters.empty() &&
                   launch.directory == "C:\\" && launch.showCommand == 1,
               "the shell gets the owner window, \"Open\", \"\", \"C:\\\" and kShowNormal");
}

void CheckHandlers(const std::u16string& text, const std::vector<std::string>& addresses)
{
    test::WindowOverFake fake;
    fake.LoadAndClearLog();
    fake.platform.clipboard = text;
    fake.platform.inputBoxAnswer = text;
    const bool empty = OracleTrim(text).empty();

    for (std::size_t row = 0; row < kLookupServices.size(); ++row) {
        const LookupService& service = kLookupServices[row];
        fake.platform.launches.clear();
        fake.window.MenuItem_Click(service.item);
        if (service.refusesEmptyText && empty) {
            FUZZ_CHECK(fake.platform.launches.empty(), "the dictionary opens nothing for an empty text");
            continue;
        }
        FUZZ_CHECK(fake.platform.launches.size() == 1, "a look-up opens one address");
        CheckLaunch(fake.platform.launches[0], addresses[row]);
    }

    // The double click on the tray icon and the typed-in look-up end in the dictionary's address too.
    const auto checkDictionaryRoad = [&](auto run) {
        fake.platform.launches.clear();
        run();
        if (empty) {
            FUZZ_CHECK(fake.platform.launches.empty(), "an empty text opens no dictionary look-up");
            return;
        }
        FUZZ_CHECK(fake.platform.launches.size() == 1, "a dictionary look-up opens one address");
        CheckLaunch(fake.platform.launches[0], addresses[0]); // the dictionary row
    };
    checkDictionaryRoad([&] { fake.window.DispatchTrayEvent(515); });
    checkDictionaryRoad([&] { fake.window.MenuItem_Click(MenuItem::mnuManualLookup); });
}

} // namespace
} // namespace vorda::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    using namespace vorda;
    using namespace vorda::fuzz;
    const std::u16string text = Utf16FromBytes(bytes, size);

    const std::u16string prepared = PrepareLookupText(text);
    CheckPreparedText(text, prepared);
    CheckHandlers(text, CheckAddresses(text, prepared));
    return 0;
}
