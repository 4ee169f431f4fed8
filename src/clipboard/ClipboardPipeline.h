#pragma once
// Where the clipboard's text waits between the thread that reads it and the window's thread that
// shows it and looks it up. Another program's clipboard can take seconds to read, or never answer,
// so the window's thread never reads it itself; and a text is handed out only while it is known to
// be the clipboard's: from a change notice until the read after it is done, and after a failed
// read, there is none.

#include "platform/Platform.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace vorda {

class ClipboardPipeline {
public:
    // How long a look-up waits for a read under way. The user clicked on a text; after this long it
    // is better to open nothing than to keep the popup and the icon frozen.
    static constexpr std::chrono::milliseconds kLookupWait{250};

    // --- The reading thread --------------------------------------------------------------------
    // Whether the reader is told of every change. Where it is not, a look-up waits for a read that
    // began after it was asked for, since the text read before may already be another's.
    void SetNoticesChanges(bool notices);
    // A new owner took the clipboard: the text read before is not the clipboard's any more.
    void NoteChange();
    // A read begins; its number goes to FinishRead or FailRead.
    std::uint64_t BeginRead();
    void FinishRead(std::uint64_t read, ClipboardContents text);
    void FailRead(std::uint64_t read, std::string why);

    // --- The window's thread -------------------------------------------------------------------
    // The clipboard's text, "" for none. For a tick it never waits; for a look-up it waits at most
    // kLookupWait for a read under way. Throws PlatformError while the text is not known.
    ClipboardContents Text(ClipboardUse use);

private:
    enum class Knowledge { Unread, Known, Failed };

    [[nodiscard]] bool LookupMustWait(std::uint64_t readsBegunBefore) const;

    std::mutex mutex_; // guards everything below
    std::condition_variable readDone_;
    bool noticesChanges_ = true;
    Knowledge knowledge_ = Knowledge::Unread;
    ClipboardContents text_;
    std::string failure_;
    bool readUnderWay_ = false;
    std::uint64_t readsBegun_ = 0;
    std::uint64_t lastReadDone_ = 0; // the number of the last read that finished or failed
};

} // namespace vorda
