// vorda-narrow-text-check.exe: the narrow conversion of Dictionary.exe under Windows's own
// WideCharToMultiByte, in code pages that take a default character and in those that refuse one.
// Built with the program's manifest, so that it runs with the code page the program gets.
//
//   vorda-narrow-text-check.exe          runs the cases; prints "N passed, M failed"
//   vorda-narrow-text-check.exe acp      prints the active code page

#include "platform/win32/NarrowText.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Case {
    unsigned codePage;
    const wchar_t* text;
    const char* expected;
};

// Each character the code page cannot hold is one '?'; no letter is swapped for a look-alike.
const Case kCases[] = {
    {1252, L"", ""},
    {1252, L"caf\u00E9", "caf\xE9"},
    {1252, L"S\u0142ownik", "S?ownik"},
    {1252, L"\u65E5\u672C", "??"},
    {1250, L"S\u0142ownik", "S\xB3ownik"},
    {932, L"\u65E5\u672C", "\x93\xFA\x96\x7B"},
    {932, L"S\u0142ownik", "S?ownik"},
    {CP_UTF8, L"S\u0142ownik", "S\xC5\x82ownik"},
    {CP_UTF8, L"C:\\Programy\\S\u0142ownik\\Dictionary.exe", "C:\\Programy\\S\xC5\x82ownik\\Dictionary.exe"},
    {CP_UTF8, L"\u65E5\u672C \U0001F600", "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"},
};

std::string Hex(const std::string& bytes)
{
    std::string hex;
    char pair[4];
    for (const char byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02X ", static_cast<unsigned>(static_cast<unsigned char>(byte)));
        hex += pair;
    }
    return hex;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "acp") == 0) {
        std::printf("%u\n", GetACP());
        return 0;
    }
    int passed = 0;
    int failed = 0;
    for (const Case& c : kCases) {
        const std::string narrow = vorda::win32::NarrowText(c.text, c.codePage);
        if (narrow == c.expected) {
            ++passed;
        } else {
            ++failed;
            std::printf("FAIL: code page %u: got %s, expected %s\n", c.codePage, Hex(narrow).c_str(),
                        Hex(c.expected).c_str());
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
