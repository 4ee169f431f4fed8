// Members of frmDictionary: the Click handlers of the nine look-up items, the typed-in look-up and
// the home-site link.

#include "platform/ErrorRules.h"
#include "app/FormDefinitions.h"
#include "app/frmDictionary.h"
#include "lookup/LookupService.h"
#include "lookup/OpenInBrowser.h"
#include "text/Utf16.h"

namespace vorda {

void frmDictionary::RunLookup(MenuItem item)
{
    EndingAtFirstFailure([&] {
        const LookupService& service = LookupServiceFor(item);
        const ClipboardContents clipboard = platform_.ClipboardText(ClipboardUse::Lookup);
        const std::u16string_view text = clipboard ? *clipboard : std::u16string_view();
        if (service.refusesEmptyText && TrimSpaces(text).empty()) {
            return;
        }
        const WindowHandle owner = platform_.MainWindowHandle();
        OpenInBrowser(platform_, owner, BuildLookupAddress(service, text));
    });
}

void frmDictionary::mnuLookup_Click() { RunLookup(MenuItem::mnuLookup); }
void frmDictionary::mnuSearch_Click() { RunLookup(MenuItem::mnuSearch); }
void frmDictionary::mnuThesaurus_Click() { RunLookup(MenuItem::mnuThesaurus); }
void frmDictionary::mnuSpellCheck_Click() { RunLookup(MenuItem::mnuSpellCheck); }
void frmDictionary::mnuAnagram_Click() { RunLookup(MenuItem::mnuAnagram); }
void frmDictionary::mnuHomophone_Click() { RunLookup(MenuItem::mnuHomophone); }
void frmDictionary::mnuRyhme_Click() { RunLookup(MenuItem::mnuRyhme); }
void frmDictionary::mnuQuotes_Click() { RunLookup(MenuItem::mnuQuotes); }
void frmDictionary::mnuEncyclopedia_Click() { RunLookup(MenuItem::mnuEncyclopedia); }

void frmDictionary::mnuManualLookup_Click()
{
    EndingAtFirstFailure([&] {
        const std::u16string typed = platform_.InputBox(kManualLookupPrompt, kDisplayName, u"");
        if (TrimSpaces(typed).empty()) {
            return;
        }
        const WindowHandle owner = platform_.MainWindowHandle();
        OpenInBrowser(platform_, owner, BuildLookupAddress(kDictionaryService, typed));
    });
}

void frmDictionary::mnuVorda_Click()
{
    EndingAtFirstFailure([&] { OpenInBrowser(platform_, platform_.MainWindowHandle(), kHomeSiteAddress); });
}

} // namespace vorda
