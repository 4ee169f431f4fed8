#pragma once
// What the clipboard poll shows: each look-up item's caption with a text and without one, in the order
// the poll writes them, and the tray icon's two tooltips.

#include "platform/Platform.h"

#include <array>
#include <string_view>

namespace vorda {

struct PollCaption {
    MenuItem item;
    std::u16string_view textPrefix; // followed by the quoted text
    std::u16string_view noTextCaption;
};

// The order in which the poll writes the items.
inline constexpr std::array<PollCaption, 9> kPollCaptions{{
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

inline constexpr std::u16string_view kTextTipPrefix = u"Vorda Dictionary. Look up '";
inline constexpr std::u16string_view kNoTextTip = u"Vorda Dictionary - No text in clipboard";

} // namespace vorda
