#pragma once
// Keeps the clipboard's text read, on a thread of its own, so that the window's thread never waits on
// the clipboard: under Wine a text of many megabytes, or an X program that does not answer, holds
// GetClipboardData for seconds.
//
// The thread reads when the clipboard's sequence number moves (looked at ten times a second), and
// again shortly after a read that failed (the clipboard held open by another program). Until a new
// read is done the text read before is handed out: Wine sets its clipboard anew every two seconds
// whether or not the X clipboard changed, and a look-up should not fail for that.
// windows.h stays out of this header, as in Win32Platform.h.

#include "platform/Platform.h"

#include <memory>

namespace vorda {

class ClipboardWatcher {
public:
    // Starts the thread; nullptr when it cannot be started.
    static std::unique_ptr<ClipboardWatcher> Start();
    ~ClipboardWatcher(); // stops the thread, waiting a little for a read under way
    ClipboardWatcher(const ClipboardWatcher&) = delete;
    ClipboardWatcher& operator=(const ClipboardWatcher&) = delete;

    // The text last read. Throws PlatformError when the last read failed or none has finished yet.
    ClipboardContents Text();

    // Reads the clipboard on the calling thread, for when no watcher could be started.
    static std::u16string ReadNow();

    struct State; // the thread and what it shares, known to the .cpp only

private:
    explicit ClipboardWatcher(State* state);
    State* state_; // freed by the destructor, or left to the thread if it cannot be stopped
};

} // namespace vorda
