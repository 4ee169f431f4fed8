#pragma once
// The Wayland reader of a session that also has an X display (XWayland), which also asks the X
// clipboard's owner for its password mark. Compositors hand an X program's copy on to Wayland, but
// not always with all of its forms: KWin 6 passes the text alone, so a password that an X password
// manager marks would reach the program as plain text. A copy is no text when either side marks it.

#include "platform/qt/clipboard/WaylandClipboardReader.h"
#include "platform/qt/clipboard/X11ClipboardReader.h"

#include <memory>
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

    // As WaylandClipboardReader::ReadText, and "" when the X owner marks the copy as a password.
    std::u16string ReadText(const ClipboardRead& read, int stopDescriptor);

private:
    void Watch(int descriptor) const;
    void ConnectX();

    std::unique_ptr<WaylandClipboardReader> wayland_;
    std::unique_ptr<X11ClipboardReader> x_;
    int either_ = -1; // an epoll descriptor over the two connections
};

} // namespace vorda::qt
