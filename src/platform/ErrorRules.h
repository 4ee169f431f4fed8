#pragma once
// The program's error rules, each with its own name, so a handler says which it follows: one that
// ends at its first failing step, one that skips a failing step and goes on with the next. Failures
// are never shown and never logged. Handlers with neither catch nothing.

#include "platform/Platform.h"

#include <exception>

namespace vorda {

// Around a whole handler: its first failing step ends it, silently.
template <typename Handler> void EndingAtFirstFailure(Handler&& handler)
{
    try {
        handler();
    } catch (const Failure&) {
        // Silent by design: the user sees no error from this program.
    }
}

// Around one step of a handler: a failing step is skipped, and the handler goes on.
template <typename Step> void SkippingFailedStep(Step&& step)
{
    try {
        step();
    } catch (const Failure&) {
        // Silent by design, as above.
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
