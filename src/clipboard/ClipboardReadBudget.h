#pragma once
// What one read of the clipboard may take, the same for every reader (X11, Wayland, Windows): the
// most bytes of a text, the longest wait for each piece and for the whole read, which forms are
// text and in which order they are asked for, and what marks a copy as secret. A backend carries
// out its native transfer through TextTransfer and ClipboardRead; the numbers and rules are here.

#include "clipboard/ClipboardReader.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vorda {

struct ReadBudget {
    // The most bytes of one text (UTF-8 or Latin-1 as the owner sends it; UTF-16 on Windows). A
    // look-up carries at most kLongestAddress characters, so at most that many bytes of the text (an
    // unreserved ASCII byte is one character of the address, any other byte three); the tooltip
    // shows 20 characters. The rest is room for the spaces before the text, which are trimmed and
    // tell nothing but that the text is spaces only so far. 64 KiB is also what a pipe holds, so the
    // usual text comes in one piece.
    std::size_t mostBytes = 64 * 1024;
    // The longest wait for each answer of the owner, the first and every piece after it. A program
    // that owns the clipboard answers from its event loop at once; a look-up waits 250 ms for a read
    // under way, so an owner that has not answered in 100 ms is given up well before that.
    std::chrono::milliseconds pieceWait{100};
    // The longest a whole read may take, every question to the owner included (its forms, a password
    // mark, the text). 64 KiB come over a local socket in a few milliseconds even in 4 KiB pieces; an
    // owner that trickles its text a byte at a time is given up after a second, and the next copy is
    // followed as usual. (One that sends fast without end reaches mostBytes first: a cut read.)
    std::chrono::milliseconds wholeWait{1000};
    // Windows: the longest another program's hold on the clipboard is waited out before a read counts
    // as failed, and how often it is tried meanwhile. Clipboard histories, remote desktops and the
    // copying program itself open it at the same change notice, for some milliseconds to a hundred;
    // a failed read is tried again only 500 ms later, and a look-up meanwhile opens nothing. Within
    // the 250 ms a look-up waits for a read under way, so a double click made then gets the text.
    std::chrono::milliseconds heldWait{200};
    std::chrono::milliseconds heldRetry{10};
};

inline constexpr ReadBudget kReadBudget{};

// How the bytes of a text form are written.
enum class TextEncoding { Utf8, Latin1 };

struct TextForm {
    std::string_view name;
    TextEncoding encoding;
};

// The text forms in the order they are asked for: the first one the owner offers is read.
// X11 targets: UTF8_STRING, then STRING (ISO 8859-1, as the X protocol says).
inline constexpr std::array<TextForm, 2> kX11TextForms{{
    {"UTF8_STRING", TextEncoding::Utf8},
    {"STRING", TextEncoding::Latin1},
}};
// Wayland types: the MIME text with its charset, the X name that XWayland and older programs offer,
// then plain text, which every Wayland program writes in UTF-8.
inline constexpr std::array<TextForm, 3> kWaylandTextForms{{
    {"text/plain;charset=utf-8", TextEncoding::Utf8},
    {"UTF8_STRING", TextEncoding::Utf8},
    {"text/plain", TextEncoding::Utf8},
}};

// --- What marks a copy as secret: it counts as no text, never shown and never looked up -------------

// X11 and Wayland: a password manager offers this form beside its text (KDE's, KeePassXC, ...).
inline constexpr std::string_view kPasswordHintForm = "x-kde-passwordManagerHint";
// The hint's value, or nothing when it was offered but could not be read: a mark that cannot be
// read is taken as one.
[[nodiscard]] bool PasswordHintMarksSecret(const std::optional<std::string>& value);

// Windows: formats whose mere presence asks clipboard monitors to leave the copy alone.
inline constexpr std::array<std::u16string_view, 2> kWindowsSkipFormats{
    u"ExcludeClipboardContentFromMonitorProcessing", u"Clipboard Viewer Ignore"};
// Windows: formats holding a DWORD, 0 forbidding (clipboard history, cloud clipboard) and any other
// value allowing; several password managers mark their copies only with these.
inline constexpr std::array<std::u16string_view, 2> kWindowsPermissionFormats{
    u"CanIncludeInClipboardHistory", u"CanUploadToCloudClipboard"};
// A permission format's data as read, or nothing when it is offered but cannot be read. Forbids
// with the DWORD 0, and with data that cannot be read or is too short to hold a DWORD.
[[nodiscard]] bool PermissionMarksSecret(std::optional<std::span<const std::uint8_t>> data);

// --- Reading within the budget ---------------------------------------------------------------

// The thread was told to stop, or a new copy replaced the one being read: the read ends at once.
class ReadStopped : public PlatformError {
public:
    using PlatformError::PlatformError;
};

// One text's transfer from its owner, as a backend carries it out natively (a pipe, an X property).
class TextTransfer {
public:
    enum class Next { Piece, Ended, TimedOut, Stopped };

    TextTransfer() = default;
    virtual ~TextTransfer() = default;
    TextTransfer(const TextTransfer&) = delete;
    TextTransfer& operator=(const TextTransfer&) = delete;

    // Waits at most `timeout` for the owner's next piece and appends at most `most` bytes of it to
    // `bytes`. Piece: bytes came; Ended: the owner has sent all; TimedOut: nothing came in time;
    // Stopped: the program ends or a new copy took the clipboard. Throws PlatformError on failure.
    virtual Next NextPiece(std::chrono::milliseconds timeout, std::size_t most, std::string& bytes) = 0;
};

// The bytes of a text as read: all of them, or the first part (cut) when there were more.
struct ReceivedBytes {
    std::string bytes;
    bool cut = false;
};

// One read of the clipboard: every question to the owner within it shares the budget's clock.
class ClipboardRead {
public:
    explicit ClipboardRead(SteadyNow now = std::chrono::steady_clock::now, ReadBudget budget = kReadBudget);

    [[nodiscard]] const ReadBudget& Budget() const { return budget_; }
    // How long the next wait for the owner may last: the wait for one piece, less as the whole read's
    // end comes near. Throws PlatformError once the whole read's time is up.
    [[nodiscard]] std::chrono::milliseconds NextWait() const;
    // Reads the transfer's pieces until it ends, or up to the budget's bytes (then cut). Throws
    // ReadStopped when stopped, PlatformError when a piece or the whole read does not come in time.
    ReceivedBytes Receive(TextTransfer& transfer) const;

private:
    SteadyNow now_;
    ReadBudget budget_;
    std::chrono::steady_clock::time_point end_;
};

// The text of bytes read in `encoding`; a cut read loses the character the cut went through (a UTF-8
// sequence begun but not ended), so the text ends at a whole character.
[[nodiscard]] std::u16string DecodeText(std::string_view bytes, TextEncoding encoding, bool cut);

} // namespace vorda
