#pragma once
// The program's error rules come down to where this wrapper goes: around a whole handler (it ends at
// the first failing step) or around each step (a failing step is skipped). Failures are never shown
// and never logged.

#include "platform/Platform.h"

#include <exception>

namespace vorda {

template <typename Steps> void IgnoringFailure(Steps&& steps)
{
    try {
        steps();
    } catch (const Failure&) {
        // Silent by design: the user sees no error from this program.
    }
}

// Around every event the platform delivers: any other exception (an allocation that fails for a
// huge text, an unexpected error of the platform) ends that event's handling, never the program.
template <typename Handler> void ContainingExceptions(Handler&& handler) noexcept
{
    try {
        handler();
    } catch (const std::exception&) {
        // The program runs on; the next event finds it as this one left it.
    }
}

} // namespace vorda
