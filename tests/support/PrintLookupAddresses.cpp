// vorda-lookup-addresses: the look-up table as the end-to-end tests read it, written at build time
// from the program's own table: one line "ITEM BASE-ADDRESS" for each look-up item, then
// "home ADDRESS" for the maker's site, then "longest N", the most characters of a look-up address.

#include "app/FormDefinitions.h"
#include "lookup/LookupService.h"
#include "text/Utf16.h"

#include <cstdio>

int main()
{
    for (const vorda::LookupService& service : vorda::kLookupServices) {
        const std::string_view name = vorda::MenuDefinitionOf(service.item).name;
        std::printf("%.*s %s\n", static_cast<int>(name.size()), name.data(), vorda::ToUtf8(service.BaseAddress()).c_str());
    }
    std::printf("home %s\n", vorda::ToUtf8(vorda::kHomeSiteAddress).c_str());
    std::printf("longest %zu\n", vorda::kLongestAddress);
    return 0;
}
