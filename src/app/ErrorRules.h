#pragma once
// The program's error rules come down to where this wrapper goes: around a whole handler (it ends at
// the first failing step) or around each step (a failing step is skipped). Failures are never shown
// and never logged.

#include "platform/Platform.h"

namespace vorda {

template <typename Steps> void IgnoringFailure(Steps&& steps)
{
    try {
        steps();
    } catch (const Failure&) {
        // Silent by design: the user sees no error from this program.
    }
}

} // namespace vorda
