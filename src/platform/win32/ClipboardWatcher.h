#pragma once
// The clipboard read on a thread of its own, so that the window's thread never waits on the
// clipboard: under Wine a text of many megabytes, or an X program that does not answer, holds
// GetClipboardData for seconds. What is read when, and what the program gets meanwhile, is the
// core's (RunClipboardReader, ClipboardPipeline); this supplies the wait (the system's notice of each
// change; before Vista, the clipboard's sequence number looked at ten times a second) and the read.
// windows.h stays out of this header, as in Win32Platform.h.

#include "clipboard/ClipboardPipeline.h"

#include <chrono>
#include <memory>

namespace vorda::win32 {

class ClipboardWatcher {
public:
    // Starts the thread; nullptr when it cannot be started.
    static std::unique_ptr<ClipboardWatcher> Start();
    ~ClipboardWatcher(); // stops the thread, waiting a little for a read under way
    ClipboardWatcher(const ClipboardWatcher&) = delete;
    ClipboardWatcher& operator=(const ClipboardWatcher&) = delete;

    ClipboardContents Text(ClipboardUse use);

    // Reads the clipboard on the calling thread; another program's hold on it is waited out for at
    // most `heldWait` (none for the window's thread, when no watcher could be started).
    static std::u16string ReadNow(std::chrono::milliseconds heldWait = std::chrono::milliseconds{0});

    struct State; // the thread and what it shares, known to the .cpp only

private:
    explicit ClipboardWatcher(State* state);
    State* state_; // freed by the destructor, or left to the thread if it cannot be stopped
};

} // namespace vorda::win32
