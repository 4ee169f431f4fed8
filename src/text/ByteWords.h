#pragma once
// Lists of 32-bit words as a display server hands them over: packed in bytes, in this machine's
// byte order (the list of an X clipboard owner's offered forms, for one).

#include <cstdint>
#include <string_view>
#include <vector>

namespace vorda {

// The whole words in `bytes`; a trailing part of a word is left out, and no bytes give no words.
[[nodiscard]] std::vector<std::uint32_t> WordsFromBytes(std::string_view bytes);

} // namespace vorda
