// The clipboard poll: every tick rewrites the nine look-up captions and states, the tray icon and its
// tooltip from the clipboard's text alone. There is deliberately no change test.

#include "app/ErrorRules.h"
#include "app/frmDictionary.h"
#include "clipboard/ClipboardText.h"

#include <array>

namespace vorda {
namespace {

struct PollCaption {
    MenuItem item;
    std::u16string_view textPrefix; // followed by the quoted text
    std::u16string_view noTextCaption;
};

// The order in which the poll writes the items.
constexpr std::array<PollCaption, 9> kPollCaptions{{
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

constexpr std::u16string_view kTextTipPrefix = u"Vorda Dictionary. Look up '";
constexpr std::u16string_view kNoTextTip = u"Vorda Dictionary - No text in clipboard";

} // namespace

void frmDictionary::tmrCheckClipboard_Timer() { UpdateFromClipboard(); }

void frmDictionary::UpdateFromClipboard()
{
    IgnoringFailure([&] {
        const ClipboardContents clipboard = platform_.ClipboardText(ClipboardUse::Tick);
        const std::u16string_view text = TrimSpaces(clipboard ? *clipboard : std::u16string_view());

        if (!text.empty()) {
            const std::u16string quoted = QuoteForCaption(text);
            for (const auto& entry : kPollCaptions) {
                platform_.SetMenuCaption(entry.item, std::u16string(entry.textPrefix) + quoted);
            }
            for (const auto& entry : kPollCaptions) {
                platform_.SetMenuEnabled(entry.item, true);
            }
            trayIcon_.hIcon = platform_.MainWindowIcon();
            trayIcon_.SetTip(std::u16string(kTextTipPrefix) + quoted + u'\0');
        } else {
            for (const auto& entry : kPollCaptions) {
                platform_.SetMenuCaption(entry.item, entry.noTextCaption);
            }
            for (const auto& entry : kPollCaptions) {
                platform_.SetMenuEnabled(entry.item, false);
            }
            trayIcon_.hIcon = iconForm_.Icon();
            trayIcon_.SetTip(std::u16string(kNoTextTip) + u'\0');
        }
        RefreshTrayIcon();
    });
}

} // namespace vorda
