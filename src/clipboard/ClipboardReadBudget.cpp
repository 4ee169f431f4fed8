#include "clipboard/ClipboardReadBudget.h"

#include "lookup/LookupService.h"
#include "text/Utf16.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vorda {

static_assert(kReadBudget.mostBytes >= kLongestAddress, "a look-up can carry every byte of the text it read");

bool PasswordHintMarksSecret(const std::optional<std::string>& value) { return !value || *value == "secret"; }

bool PermissionMarksSecret(std::optional<std::span<const std::uint8_t>> data)
{
    std::uint32_t value = 0;
    if (!data || data->size() < sizeof value) {
        return true;
    }
    std::memcpy(&value, data->data(), sizeof value); // a DWORD, in the machine's own byte order
    return value == 0;
}

ClipboardRead::ClipboardRead(SteadyNow now, ReadBudget budget)
    : now_(std::move(now)), budget_(budget), end_(now_() + budget_.wholeWait)
{
}

std::chrono::milliseconds ClipboardRead::NextWait() const
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - now_());
    if (left <= std::chrono::milliseconds{0}) {
        throw PlatformError("the clipboard's owner takes too long to send its text");
    }
    return std::min(left, budget_.pieceWait);
}

ReceivedBytes ClipboardRead::Receive(TextTransfer& transfer) const
{
    ReceivedBytes received;
    for (;;) {
        if (received.bytes.size() >= budget_.mostBytes) {
            received.cut = true;
            return received;
        }
        switch (transfer.NextPiece(NextWait(), budget_.mostBytes - received.bytes.size(), received.bytes)) {
        case TextTransfer::Next::Piece: break;
        case TextTransfer::Next::Ended: return received;
        case TextTransfer::Next::TimedOut:
            throw PlatformError(now_() >= end_ ? "the clipboard's owner takes too long to send its text"
                                               : "the clipboard's owner stopped sending its text");
        case TextTransfer::Next::Stopped: throw ReadStopped("the read of the clipboard was stopped");
        }
    }
}

std::u16string DecodeText(std::string_view bytes, TextEncoding encoding, bool cut)
{
    if (encoding == TextEncoding::Latin1) {
        std::u16string text(bytes.size(), u'\0');
        std::transform(bytes.begin(), bytes.end(), text.begin(),
                       [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
        return text;
    }
    return FromUtf8(cut ? CutUtf8AtWholeCharacter(bytes) : bytes);
}

} // namespace vorda
