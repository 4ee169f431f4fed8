// Members of frmDictionary: the clipboard poll. Every tick rewrites the nine look-up captions and
// states, the tray icon and its tooltip from the clipboard's text alone. There is deliberately no
// change test: only the texts shown are made once for each clipboard content.

#include "platform/ErrorRules.h"
#include "app/frmDictionary.h"
#include "clipboard/ClipboardText.h"
#include "clipboard/PollTexts.h"
#include "text/Utf16.h"

#include <array>
#include <utility>

namespace vorda {

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
