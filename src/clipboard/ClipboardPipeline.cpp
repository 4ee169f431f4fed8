#include "clipboard/ClipboardPipeline.h"

#include <utility>

namespace vorda {

void ClipboardPipeline::SetNoticesChanges(bool notices)
{
    const std::lock_guard lock(mutex_);
    noticesChanges_ = notices;
}

void ClipboardPipeline::NoteChange()
{
    const std::lock_guard lock(mutex_);
    knowledge_ = Knowledge::Unread;
    text_.reset();
}

std::uint64_t ClipboardPipeline::BeginRead()
{
    const std::lock_guard lock(mutex_);
    readUnderWay_ = true;
    return ++readsBegun_;
}

void ClipboardPipeline::FinishRead(std::uint64_t read, ClipboardContents text)
{
    {
        const std::lock_guard lock(mutex_);
        readUnderWay_ = false;
        lastReadDone_ = read;
        knowledge_ = Knowledge::Known;
        text_ = text ? std::move(text) : std::make_shared<const std::u16string>();
        failure_.clear();
    }
    readDone_.notify_all();
}

void ClipboardPipeline::FailRead(std::uint64_t read, std::string why)
{
    {
        const std::lock_guard lock(mutex_);
        readUnderWay_ = false;
        lastReadDone_ = read;
        knowledge_ = Knowledge::Failed;
        text_.reset();
        failure_ = std::move(why);
    }
    readDone_.notify_all();
}

bool ClipboardPipeline::LookupMustWait(std::uint64_t readsBegunBefore) const
{
    if (!noticesChanges_) {
        return lastReadDone_ <= readsBegunBefore;
    }
    // Unread: a change was noticed and its read is due at once, if not under way already.
    return knowledge_ == Knowledge::Unread || (knowledge_ == Knowledge::Failed && readUnderWay_);
}

ClipboardContents ClipboardPipeline::Text(ClipboardUse use)
{
    std::unique_lock lock(mutex_);
    if (use == ClipboardUse::Lookup) {
        const std::uint64_t readsBegunBefore = readsBegun_;
        readDone_.wait_for(lock, kLookupWait, [&] { return !LookupMustWait(readsBegunBefore); });
        if (LookupMustWait(readsBegunBefore)) {
            throw PlatformError("the clipboard is still being read");
        }
    }
    switch (knowledge_) {
    case Knowledge::Known: return text_;
    case Knowledge::Failed: throw PlatformError(failure_);
    case Knowledge::Unread: break;
    }
    throw PlatformError("the clipboard has changed and is being read");
}

} // namespace vorda
