#pragma once
// The clipboard read on a thread and an X connection of their own, so that the program's thread
// never waits on another program: a text of many megabytes takes seconds to come over X, and an
// owner may never answer. What is read when, and what the program gets meanwhile, is the core's
// (RunClipboardReader, ClipboardPipeline); this supplies the X wait and read.

#include "clipboard/ClipboardPipeline.h"

#include <memory>

namespace vorda::qt {

class ClipboardWatcher {
public:
    // A watcher of the X display named by DISPLAY; nullptr where there is none.
    static std::unique_ptr<ClipboardWatcher> Start();
    ~ClipboardWatcher(); // stops the thread, waiting at most for the read under way
    ClipboardWatcher(const ClipboardWatcher&) = delete;
    ClipboardWatcher& operator=(const ClipboardWatcher&) = delete;

    ClipboardContents Text(ClipboardUse use);

    struct State; // the thread and its X connection, known to the .cpp only

private:
    explicit ClipboardWatcher(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace vorda::qt
