#pragma once
// The clipboard reading thread's schedule: read at once on a change notice, again a little after a
// failed read, and again and again where the platform gives no notices. A backend supplies only
// its native wait and read (ClipboardSource) and runs RunClipboardReader on a thread of its own.

#include "clipboard/ClipboardPipeline.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace vorda {

class ClipboardSource {
public:
    enum class Wake { Stopped, Changed, TimedOut };

    ClipboardSource() = default;
    virtual ~ClipboardSource() = default;
    ClipboardSource(const ClipboardSource&) = delete;
    ClipboardSource& operator=(const ClipboardSource&) = delete;

    // Whether Wait reports every new owner of the clipboard.
    [[nodiscard]] virtual bool NoticesChanges() const = 0;
    // Waits for a change notice or the request to stop, at most `timeout` (none: without end; zero:
    // only looks). Never throws.
    virtual Wake Wait(std::optional<std::chrono::milliseconds> timeout) = 0;
    // The clipboard's text as it is now, "" for none; throws PlatformError when it cannot be read.
    virtual std::u16string Read() = 0;
};

inline constexpr std::chrono::milliseconds kReadAgainWithoutNotice{200};
inline constexpr std::chrono::milliseconds kReadAgainAfterFailure{500};

using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;

// Reads and waits until the source says stop. Every failure of a read, an allocation's included,
// counts as a failed read; nothing leaves this function by exception.
void RunClipboardReader(ClipboardSource& source, ClipboardPipeline& pipeline,
                        const SteadyNow& now = std::chrono::steady_clock::now);

// A wait's timeout in whole milliseconds, rounded up so that a deadline is never woken before; -1
// for none, which the platforms' waits read as "without end". An overdue deadline is 0, not -1.
[[nodiscard]] int WaitMilliseconds(std::optional<std::chrono::milliseconds> timeout);

} // namespace vorda
