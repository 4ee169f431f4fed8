// The clipboard poll: every tick rewrites the nine look-up captions and states, the tray icon and its
// tooltip from the clipboard's text alone. There is deliberately no change test: only the texts
// shown are made once for each clipboard content.

#include "platform/ErrorRules.h"
#include "app/frmDictionary.h"
#include "clipboard/ClipboardText.h"
#include "text/Utf16.h"

#include <array>
#include <utility>

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

const frmDictionary::PollView& frmDictionary::PollViewOf(const ClipboardContents& content)
{
    // The platform hands out the same content for as long as the clipboard is unchanged.
    if (content && content == pollView_.content) {
        return pollView_;
    }
    const std::u16string_view text = TrimSpaces(content ? *content : std::u16string_view());
    PollView view{content, !text.empty(), {}, {}};
    if (view.hasText) {
        const std::u16string quoted = QuoteForCaption(text);
        for (std::size_t i = 0; i < kPollCaptions.size(); ++i) {
            view.captions[i] = std::u16string(kPollCaptions[i].textPrefix) + quoted;
        }
        view.tip = std::u16string(kTextTipPrefix) + quoted + u'\0';
    } else {
        for (std::size_t i = 0; i < kPollCaptions.size(); ++i) {
            view.captions[i] = kPollCaptions[i].noTextCaption;
        }
        view.tip = std::u16string(kNoTextTip) + u'\0';
    }
    pollView_ = std::move(view);
    return pollView_;
}

void frmDictionary::UpdateFromClipboard()
{
    EndingAtFirstFailure([&] {
        const PollView& view = PollViewOf(platform_.ClipboardText(ClipboardUse::Tick));
        for (std::size_t i = 0; i < kPollCaptions.size(); ++i) {
            platform_.SetMenuCaption(kPollCaptions[i].item, view.captions[i]);
        }
        for (const auto& entry : kPollCaptions) {
            platform_.SetMenuEnabled(entry.item, view.hasText);
        }
        trayIcon_.hIcon = view.hasText ? platform_.MainWindowIcon() : iconForm_.Icon();
        trayIcon_.SetTip(view.tip);
        RefreshTrayIcon();
    });
}

} // namespace vorda
