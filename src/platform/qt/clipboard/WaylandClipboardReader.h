#pragma once
// Reads the Wayland selection's text over a connection of its own through a data-control protocol,
// which lets a program without focus follow the clipboard: ext_data_control_v1 where the compositor
// offers it (KDE Plasma 6.5 and later), else wlr_data_control_unstable_v1 (wlroots compositors, older
// Plasma). A plain Wayland client sees the clipboard only while it has focus, and this program never
// has. The read keeps to the core's read budget (kReadBudget), as on X.

#include <memory>
#include <string>
#include <string_view>

namespace vorda {
class ClipboardRead;
}

namespace vorda::qt {

class WaylandClipboardReader {
public:
    // A reader on the compositor named by WAYLAND_DISPLAY; nullptr where there is none, or where it
    // offers no data-control (then `why` says so).
    static std::unique_ptr<WaylandClipboardReader> Connect(std::string& why);
    virtual ~WaylandClipboardReader() = default;
    WaylandClipboardReader(const WaylandClipboardReader&) = delete;
    WaylandClipboardReader& operator=(const WaylandClipboardReader&) = delete;

    // The data-control interface bound: "ext_data_control_manager_v1" or "zwlr_data_control_manager_v1".
    [[nodiscard]] virtual std::string_view ManagerInterface() const = 0;
    // The compositor tells of every new selection.
    [[nodiscard]] bool NoticesChanges() const { return true; }
    // Whether a new selection came since the last call. Handles the events waiting on FileDescriptor().
    virtual bool TakeChange() = 0;
    // Readable when the compositor has sent something.
    [[nodiscard]] virtual int FileDescriptor() const = 0;
    // Whether the connection broke or the compositor withdrew the data control.
    [[nodiscard]] virtual bool Broken() const = 0;

    // The selection's text, "" when there is none (nothing copied, a picture only, or a password that
    // its manager marks as secret); the first part of a text longer than the budget. Throws
    // vorda::PlatformError when the owner does not answer within `read`'s budget, vorda::ReadStopped
    // when `stopDescriptor` becomes readable, a new selection comes or the connection breaks meanwhile.
    virtual std::u16string ReadText(const ClipboardRead& read, int stopDescriptor) = 0;

protected:
    WaylandClipboardReader() = default;
};

} // namespace vorda::qt
