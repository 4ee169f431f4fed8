#pragma once
// clipboard/: the session's clipboard followed off the program's thread, from X11 or Wayland data-control.

// The clipboard read on a thread and a connection of their own (to the Wayland compositor where it
// offers data-control, else to the X display), so that the program's thread never waits on another
// program: a text of many megabytes takes seconds to come over, and an owner may never answer. What
// is read when, and what the program gets meanwhile, is the core's (RunClipboardReader,
// ClipboardPipeline); this supplies the native wait and read.

#include "clipboard/ClipboardPipeline.h"

#include <memory>

namespace vorda::qt {

class ClipboardWatcher {
public:
    // A watcher of this session's clipboard; nullptr, said once on standard error, where none can be.
    static std::unique_ptr<ClipboardWatcher> Start();
    ~ClipboardWatcher(); // stops the thread, waiting at most for the read under way
    ClipboardWatcher(const ClipboardWatcher&) = delete;
    ClipboardWatcher& operator=(const ClipboardWatcher&) = delete;

    ClipboardContents Text(ClipboardUse use);

    struct State; // the thread and its connection, known to the .cpp only

private:
    explicit ClipboardWatcher(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace vorda::qt
