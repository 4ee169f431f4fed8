#pragma once
// The Wayland reader of a session that also has an X display (XWayland), which also asks the X
// clipboard's owner for its password mark. Compositors hand an X program's copy on to Wayland, but
// not always with all of its forms: KWin 6 passes the text alone, so a password that an X password
// manager marks would reach the program as plain text. A Wayland copy is no text when it marks itself
// as a password, or when its text is one that an X owner marked.
//
// The X owner's mark alone does not tell where the Wayland copy came from: KWin hands a Wayland copy
// on to X only while an X window is active, so the X owner keeps a password manager's copy while the
// user copies in Wayland programs. Nor does the order of the changes on either side: the bridge's
// copy comes a moment after the X owner's, and the next Wayland copy may come from either side. The
// text does: the X owner's marked text is read once for each new owner, within the same read budget,
// and only a digest of it is kept, to be compared with the Wayland text; it is never shown.

#include "clipboard/MarkedTexts.h"
#include "platform/qt/clipboard/WaylandClipboardReader.h"
#include "platform/qt/clipboard/X11ClipboardReader.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vorda::qt {

class WaylandReaderWithXMarks {
public:
    // The Wayland reader alone where there is no X display to ask.
    WaylandReaderWithXMarks(std::unique_ptr<WaylandClipboardReader> wayland, std::unique_ptr<X11ClipboardReader> x);
    ~WaylandReaderWithXMarks();
    WaylandReaderWithXMarks(const WaylandReaderWithXMarks&) = delete;
    WaylandReaderWithXMarks& operator=(const WaylandReaderWithXMarks&) = delete;

    [[nodiscard]] bool NoticesChanges() const { return wayland_->NoticesChanges(); }
    // A new Wayland selection, or a new X owner.
    bool TakeChange();
    // Readable when either display has sent something.
    [[nodiscard]] int FileDescriptor() const;
    // Whether the Wayland connection broke; a broken X connection is made again at the next read.
    [[nodiscard]] bool Broken() const { return wayland_->Broken(); }

    // As WaylandClipboardReader::ReadText, and "" when the text is one that an X owner marked as a
    // password.
    std::u16string ReadText(const ClipboardRead& read, int stopDescriptor);

private:
    void Watch(int descriptor) const;
    void ConnectX();
    // Asks a new X owner whether it marks its copy, and keeps the digest of a marked text.
    void LearnXSecret(const ClipboardRead& read, int stopDescriptor);

    std::unique_ptr<WaylandClipboardReader> wayland_;
    std::unique_ptr<X11ClipboardReader> x_;
    int either_ = -1; // an epoll descriptor over the two connections
    // The X owner asked last, by its number among the owners the display told of; nothing: none yet.
    std::optional<std::uint64_t> xOwnerAsked_;
    // The X owner whose marked text could not be read, and how often that happened; after a few
    // tries its text is taken as unknown, and then every Wayland copy as its password.
    std::uint64_t xOwnerUnread_ = 0;
    int xUnreadTries_ = 0;
    bool xSecretUnknown_ = false;
    MarkedTexts xSecrets_; // the last X owners' marked texts
};

} // namespace vorda::qt
