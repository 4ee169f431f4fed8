#include "lookup/LookupService.h"

#include "text/Utf16.h"

#include <algorithm>
#include <stdexcept>

namespace vorda {

std::u16string LookupService::BaseAddress() const
{
    std::u16string address(u"http://");
    address += host;
    address += pathAndQuery;
    return address;
}

const LookupService& LookupServiceFor(MenuItem item)
{
    const auto* found = std::find_if(kLookupServices.begin(), kLookupServices.end(),
                                     [item](const LookupService& service) { return service.item == item; });
    if (found == kLookupServices.end()) {
        throw std::out_of_range("menu item has no look-up service");
    }
    return *found;
}

std::u16string PrepareLookupText(std::u16string_view text)
{
    std::u16string prepared;
    AppendLookupText(prepared, text);
    return prepared;
}

std::u16string BuildLookupAddress(const LookupService& service, std::u16string_view text)
{
    // The text is encoded straight onto the end of the base address: no temporary copy of it, and of a
    // long text only the characters that fit are looked at.
    std::u16string address = service.BaseAddress();
    AppendLookupText(address, text, kLongestAddress);
    return address;
}

} // namespace vorda
