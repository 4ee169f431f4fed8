#pragma once
// The nine web look-ups: where each one goes and how the text becomes part of the address.

#include "platform/Platform.h"

#include <array>
#include <string>
#include <string_view>

namespace vorda {

struct LookupService {
    MenuItem item;
    std::u16string_view host;
    std::u16string_view pathAndQuery; // ends in "=": the text is the last query value
    bool refusesEmptyText;

    [[nodiscard]] std::u16string BaseAddress() const;
};

// In the order of the popup's items.
inline constexpr std::array<LookupService, 9> kLookupServices{{
    {MenuItem::mnuLookup, u"www.dictionary.com", u"/search?q=", true},
    {MenuItem::mnuSearch, u"www.google.com", u"/search?q=", false},
    {MenuItem::mnuThesaurus, u"www.thesaurus.com", u"/search?q=", false},
    {MenuItem::mnuSpellCheck, u"www.spellcheck.net", u"/cgi-bin/spell.exe?action=CHECKWORD&string=", false},
    {MenuItem::mnuAnagram, u"wordsmith.org", u"/anagram/anagram.cgi?anagram=", false},
    {MenuItem::mnuHomophone, u"www.homophone.com", u"/cgi-bin/data.asp?test=not&SearchVal=", false},
    {MenuItem::mnuRyhme, u"www.rhymezone.com", u"/r/rhyme.cgi?typeofrhyme=perfect&org1=syl&org2=l&Word=", false},
    {MenuItem::mnuQuotes, u"www.quotationspage.com", u"/search.php3?Search=", false},
    {MenuItem::mnuEncyclopedia, u"www.encyclopedia.com",
     u"/cgi-bin/texis/webinator/65search?search_type=full&query=", false},
}};

// The dictionary row also serves the typed-in look-up.
inline constexpr const LookupService& kDictionaryService = kLookupServices[0];

// The maker's site: the host alone, nothing after it.
inline constexpr std::u16string_view kHomeSiteAddress = u"http://www.vorda.com";

// The longest look-up address handed to the shell, in characters (all ASCII), on every platform.
// Browsers and web servers take far more: Internet Explorer and the Windows shell's URL handling
// 2,083 (INTERNET_MAX_URL_LENGTH), IIS 2,048 for a query string, Apache 8,190 and nginx 8 KiB for
// the request line. The shortest launch is Wine's: its shell (8.0) writes the browser command with
// the address in place of "%1" into 1,024 characters, and the command of a fresh prefix,
// "C:\windows\system32\winebrowser.exe" "%1", leaves room for 983. 960 fits all of them, and is far
// more than any of the word look-ups reads. A longer address is cut, so that a look-up always opens.
inline constexpr std::size_t kLongestAddress = 960;

// The row whose Click handler is `item`'s; throws std::out_of_range for an item with no look-up.
[[nodiscard]] const LookupService& LookupServiceFor(MenuItem item);

// Spaces trimmed at both ends, the rest percent-encoded as UTF-8: the address stays plain ASCII.
[[nodiscard]] std::u16string PrepareLookupText(std::u16string_view text);

// The row's base address followed by the prepared text; where that is longer than kLongestAddress,
// by as many whole characters of it as fit.
[[nodiscard]] std::u16string BuildLookupAddress(const LookupService& service, std::u16string_view text);

} // namespace vorda
