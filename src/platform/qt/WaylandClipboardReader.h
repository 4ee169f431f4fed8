#pragma once
// Reads the Wayland selection's text over a connection of its own through the data-control
// protocol, which lets a program without focus follow the clipboard (wlroots compositors, KDE
// Plasma). A plain Wayland client sees the clipboard only while it has focus, and this program never
// has. Each answer of the owner must come within kAnswerDeadline, as on X.

#include <chrono>
#include <memory>
#include <string>

namespace vorda::qt {

class WaylandClipboardReader {
public:
    static constexpr std::chrono::milliseconds kAnswerDeadline{100};

    // A reader on the compositor named by WAYLAND_DISPLAY; nullptr where there is none, or where it
    // offers no data-control (then `why` says so).
    static std::unique_ptr<WaylandClipboardReader> Connect(std::string& why);
    ~WaylandClipboardReader();
    WaylandClipboardReader(const WaylandClipboardReader&) = delete;
    WaylandClipboardReader& operator=(const WaylandClipboardReader&) = delete;

    // The compositor tells of every new selection.
    [[nodiscard]] bool NoticesChanges() const { return true; }
    // Whether a new selection came since the last call. Handles the events waiting on FileDescriptor().
    bool TakeChange();
    // Readable when the compositor has sent something.
    [[nodiscard]] int FileDescriptor() const;
    // Whether the connection broke or the compositor withdrew the data control.
    [[nodiscard]] bool Broken() const;

    // The selection's text, "" when there is none (nothing copied, a picture only, or a password that
    // its manager marks as secret). Throws vorda::PlatformError when the owner does not answer in time.
    std::u16string ReadText();

    struct State; // the connection and its objects, known to the .cpp only

private:
    explicit WaylandClipboardReader(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace vorda::qt
