#include "clipboard/ClipboardReader.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <memory>
#include <utility>

namespace vorda {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::optional<milliseconds> TimeUntil(std::optional<Clock::time_point> deadline, Clock::time_point now)
{
    if (!deadline) {
        return std::nullopt;
    }
    return std::max(milliseconds{0}, std::chrono::ceil<milliseconds>(*deadline - now));
}

// The text read, or the reason it could not be.
struct ReadResult {
    ClipboardContents text;
    std::string failure;
};

ReadResult ReadOnce(ClipboardSource& source)
{
    try {
        return {std::make_shared<const std::u16string>(source.Read()), {}};
    } catch (const std::bad_alloc&) {
        return {nullptr, "the clipboard's text is too large"};
    } catch (const std::exception& error) {
        return {nullptr, error.what()};
    } catch (...) {
        return {nullptr, "the clipboard cannot be read"};
    }
}

} // namespace

void RunClipboardReader(ClipboardSource& source, ClipboardPipeline& pipeline, const SteadyNow& now)
{
    std::optional<Clock::time_point> readAt = now();
    // What a wake-up means for the schedule: a change is read at once. False: stop.
    const auto follow = [&](ClipboardSource::Wake wake) {
        if (wake == ClipboardSource::Wake::Changed) {
            pipeline.NoteChange();
            readAt = now();
        }
        return wake != ClipboardSource::Wake::Stopped;
    };
    for (;;) {
        pipeline.SetNoticesChanges(source.NoticesChanges());
        if (!readAt || now() < *readAt) {
            if (!follow(source.Wait(TimeUntil(readAt, now())))) {
                return;
            }
            continue;
        }
        const std::uint64_t read = pipeline.BeginRead();
        ReadResult result = ReadOnce(source);
        // A new owner that came during the read may have been read half, or not at all: what was read
        // is the earlier owner's, and is never handed out.
        const ClipboardSource::Wake during = source.Wait(milliseconds{0});
        if (!follow(during)) {
            return;
        }
        if (during == ClipboardSource::Wake::Changed) {
            continue;
        }
        if (result.text) {
            pipeline.FinishRead(read, std::move(result.text));
            readAt = source.NoticesChanges() ? std::nullopt : std::optional(now() + kReadAgainWithoutNotice);
        } else {
            pipeline.FailRead(read, std::move(result.failure));
            readAt = now() + kReadAgainAfterFailure;
        }
    }
}

int WaitMilliseconds(std::optional<std::chrono::milliseconds> timeout)
{
    if (!timeout) {
        return -1;
    }
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(timeout->count(), 0, INT_MAX));
}

} // namespace vorda
