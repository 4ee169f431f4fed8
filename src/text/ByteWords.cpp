#include "text/ByteWords.h"

#include <cstring>

namespace vorda {

std::vector<std::uint32_t> WordsFromBytes(std::string_view bytes)
{
    std::vector<std::uint32_t> words(bytes.size() / sizeof(std::uint32_t));
    // An empty vector has no storage to copy into: its data() may be null.
    if (!words.empty()) {
        std::memcpy(words.data(), bytes.data(), words.size() * sizeof(std::uint32_t));
    }
    return words;
}

} // namespace vorda
