#pragma once
// The two windows as fixed data: names, captions, periods and initial states.

#include "platform/Platform.h"
#include "platform/PlatformNumbers.h"

#include <array>
#include <string_view>

namespace vorda {

inline constexpr std::u16string_view kDisplayName = u"Vorda Dictionary";
inline constexpr std::u16string_view kManualLookupPrompt = u"Enter the word to look up in the dictionary:";

inline constexpr std::array<MenuItemDefinition, 18> kMenuDefinition{{
    {MenuItem::mnuSysTray, "mnuSysTray", 0, u"SysTray", true, false},
    {MenuItem::mnuLookup, "mnuLookup", 1, u"&Dictionary look up...", true, true},
    {MenuItem::mnuSearch, "mnuSearch", 1, u"&Google Search...", true, true},
    {MenuItem::mnuThesaurus, "mnuThesaurus", 1, u"&Thesauraus look up...", true, true},
    {MenuItem::mnuSpellCheck, "mnuSpellCheck", 1, u"S&pell Check...", true, true},
    {MenuItem::mnuAnagram, "mnuAnagram", 1, u"&Anagram lookup...", true, true},
    {MenuItem::mnuHomophone, "mnuHomophone", 1, u"&Homophone lookup...", true, true},
    {MenuItem::mnuRyhme, "mnuRyhme", 1, u"&Rhyming with...", true, true},
    {MenuItem::mnuQuotes, "mnuQuotes", 1, u"Quotes containing...", true, true},
    {MenuItem::mnuEncyclopedia, "mnuEncyclopedia", 1, u"Encyclopedia lookup...", true, true},
    {MenuItem::mnuSep20, "mnuSep20", 1, u"-", true, false},
    {MenuItem::mnuManualLookup, "mnuManualLookup", 1, u"&Look up...", true, true},
    {MenuItem::mnuSep67, "mnuSep67", 1, u"-", true, false},
    {MenuItem::mnuVorda, "mnuVorda", 1, u"Go to Vorda web site...", true, true},
    {MenuItem::mnuSep70, "mnuSep70", 1, u"-", true, false},
    {MenuItem::mnuCancel, "mnuCancel", 1, u"&Cancel", true, false},
    {MenuItem::mnuSep30, "mnuSep30", 1, u"-", true, false},
    {MenuItem::mnuExit, "mnuExit", 1, u"E&xit", true, true},
}};

inline constexpr std::array<TimerDefinition, 2> kTimerDefinition{{
    {TimerId::tmrCheckClipboard, "tmrCheckClipboard", 200, true},
    {TimerId::tmrSetHomePage, "tmrSetHomePage", 60000, true},
}};

inline constexpr WindowDefinition kFrmDictionary{u"System Tray Form", kScaleModeTwips, kMenuDefinition,
                                                 kTimerDefinition};

inline constexpr IconWindowDefinition kFrmIconForm{
    u"Form1", "Label1",
    u"This form is only used for the icon.  In this way we did not need to use an image list which would "
    u"require that the ccmmon controls would need to be distributed"};

[[nodiscard]] constexpr const MenuItemDefinition& MenuDefinitionOf(MenuItem item)
{
    return kMenuDefinition[static_cast<std::size_t>(item)];
}

} // namespace vorda
