#pragma once
// What the clipboard poll should show, written out apart from the program's own table: each look-up
// item's caption with a text (then the quoted text) and without one, in the order the poll writes
// them, which differs from the menu's; and the tray icon's two tooltips. One copy for every test.

#include "platform/Platform.h"

#include <array>
#include <string_view>

namespace vorda::test {

struct ExpectedPollCaption {
    MenuItem item;
    std::u16string_view textPrefix;
    std::u16string_view noTextCaption;
};

inline constexpr std::array<ExpectedPollCaption, 9> kExpectedPollCaptions{{
    {MenuItem::mnuLookup, u"&Dictionary look up '", u"&Dictionary look up [No Text in clipboard]"},
    {MenuItem::mnuThesaurus, u"&Thesaurus look up '", u"&Thesaurus look up [No Text in clipboard]"},
    {MenuItem::mnuSearch, u"&Google search for '", u"&Search for [No Text in clipboard]"},
    {MenuItem::mnuSpellCheck, u"S&pell Check '", u"S&pell Check  [No Text in clipboard]"},
    {MenuItem::mnuAnagram, u"&Anagram look up '", u"&Anagram look up [No Text in clipboard]"},
    {MenuItem::mnuEncyclopedia, u"&Encyclopedia look up '", u"&Encyclopedia look up [No Text in clipboard]"},
    {MenuItem::mnuHomophone, u"&Homophone look up '", u"&Homophone look up [No Text in clipboard]"},
    {MenuItem::mnuQuotes, u"&Quotes containing '", u"&Quotes containing [No Text in clipboard]"},
    {MenuItem::mnuRyhme, u"&Ryhming with '", u"&Ryhming with [No Text in clipboard]"},
}};

inline constexpr std::u16string_view kExpectedTextTipPrefix = u"Vorda Dictionary. Look up '";
inline constexpr std::u16string_view kExpectedNoTextTip = u"Vorda Dictionary - No text in clipboard";

} // namespace vorda::test
