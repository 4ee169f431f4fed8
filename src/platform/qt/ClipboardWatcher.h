#pragma once
// Keeps the clipboard's text read, on a thread of its own, so that the program's thread never waits on
// another program: a text of many megabytes takes seconds to come over X, and an owner may never answer.
//
// The thread reads when a new owner takes the clipboard (every 200 ms where the display cannot tell),
// and again a second after a read that failed. The program's thread takes the last text read.

#include "platform/Platform.h"

#include <memory>

namespace vorda::qt {

class ClipboardWatcher {
public:
    // A watcher of the X display named by DISPLAY; nullptr where there is none.
    static std::unique_ptr<ClipboardWatcher> Start();
    ~ClipboardWatcher(); // stops the thread, waiting at most for the read under way
    ClipboardWatcher(const ClipboardWatcher&) = delete;
    ClipboardWatcher& operator=(const ClipboardWatcher&) = delete;

    // The text last read. Throws PlatformError while the clipboard has changed and is still being read,
    // and when the last read failed: a text that is not the clipboard's any more is never handed out.
    ClipboardContents Text();

    struct State; // the thread and what it shares, known to the .cpp only

private:
    explicit ClipboardWatcher(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace vorda::qt
