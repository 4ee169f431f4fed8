#pragma once
// Reads the CLIPBOARD selection's text over a private X connection within the core's read budget
// (kReadBudget: the most bytes, the wait for each answer and for the whole read, the forms and the
// password mark), and tells when a new owner takes the clipboard.
//
// Qt's own read waits up to five seconds per format for an owner that does not answer (fifteen
// seconds in all, measured against a stopped xclip). Here an owner that has not answered in time
// makes the read fail, and it is asked again later.

#include <cstdint>
#include <memory>
#include <string>

namespace vorda {
class ClipboardRead;
}

namespace vorda::qt {

class X11ClipboardReader {
public:
    // A reader on the X display named by DISPLAY; nullptr where there is none.
    static std::unique_ptr<X11ClipboardReader> Connect();
    ~X11ClipboardReader();
    X11ClipboardReader(const X11ClipboardReader&) = delete;
    X11ClipboardReader& operator=(const X11ClipboardReader&) = delete;

    // Whether the display tells of each new owner of the clipboard (XFixes); where it does not, any
    // read may find a new text.
    bool NoticesChanges() const;
    // Whether a new owner took the clipboard since the last call. Handles the events waiting on
    // FileDescriptor().
    bool TakeChange();
    // Readable when the display has sent something, a new owner for instance.
    int FileDescriptor() const;
    // Whether the connection broke; nothing more comes over it then, and every read fails.
    bool Broken() const;

    // The clipboard's text as it is now: "" when the clipboard is empty or holds no text (a picture
    // only, a password marked secret); the first part of a text longer than the budget. Throws
    // vorda::PlatformError when the owner does not answer within `read`'s budget, vorda::ReadStopped
    // when `stopDescriptor` becomes readable or a new owner takes the clipboard meanwhile.
    std::u16string ReadText(const ClipboardRead& read, int stopDescriptor);
    // Whether the clipboard's owner marks what it holds as a password; asks for its forms only, never
    // for the text. Throws as ReadText does.
    bool MarksSecret(const ClipboardRead& read, int stopDescriptor);
    // The clipboard's text whatever its owner marks it as, to be compared with a copy found elsewhere
    // and never shown; "" when the owner has no text. Throws as ReadText does.
    std::u16string ReadMarkedText(const ClipboardRead& read, int stopDescriptor);
    // How many new owners have taken the clipboard so far, as far as the display has told. Handles
    // the events waiting on FileDescriptor(), as TakeChange does, but leaves a change to it.
    std::uint64_t OwnerChanges();

    struct State; // the connection and its atoms, known to the .cpp only

private:
    explicit X11ClipboardReader(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace vorda::qt
