#include "platform/qt/clipboard/WaylandReaderWithXMarks.h"

#include "clipboard/ClipboardReadBudget.h"
#include "platform/Platform.h"

#include <sys/epoll.h>
#include <unistd.h>

namespace vorda::qt {
namespace {

// How often the text of an X owner's marked copy is asked for before it is taken as unknown.
constexpr int kUnreadTries = 3;

} // namespace

WaylandReaderWithXMarks::WaylandReaderWithXMarks(std::unique_ptr<WaylandClipboardReader> wayland,
                                                 std::unique_ptr<X11ClipboardReader> x)
    : wayland_(std::move(wayland)), x_(std::move(x)), either_(::epoll_create1(EPOLL_CLOEXEC))
{
    if (either_ < 0) {
        throw PlatformError("no descriptor to wait on both displays");
    }
    Watch(wayland_->FileDescriptor());
    if (x_) {
        Watch(x_->FileDescriptor());
    }
}

WaylandReaderWithXMarks::~WaylandReaderWithXMarks() { ::close(either_); }

void WaylandReaderWithXMarks::Watch(int descriptor) const
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = descriptor;
    ::epoll_ctl(either_, EPOLL_CTL_ADD, descriptor, &event);
}

int WaylandReaderWithXMarks::FileDescriptor() const { return either_; }

bool WaylandReaderWithXMarks::TakeChange()
{
    bool changed = wayland_->TakeChange();
    if (x_) {
        changed = x_->TakeChange() || changed;
        if (x_->Broken()) {
            // Its descriptor leaves the epoll set as it is closed.
            x_.reset();
            changed = true;
        }
    }
    return changed;
}

void WaylandReaderWithXMarks::ConnectX()
{
    x_ = X11ClipboardReader::Connect();
    xOwnerAsked_.reset(); // its owners are counted anew
    if (x_) {
        Watch(x_->FileDescriptor());
    }
}

void WaylandReaderWithXMarks::LearnXSecret(const ClipboardRead& read, int stopDescriptor)
{
    // The bridge's copy of an X owner's text comes after the display told of that owner, so the owner
    // is known here before its text is compared. Without owner notices, every read asks.
    const std::uint64_t owner = x_->OwnerChanges();
    if (x_->NoticesChanges() && xOwnerAsked_ == owner) {
        return;
    }
    // A new owner during the questions stops them (ReadStopped): it is asked at the next read.
    xSecretUnknown_ = false;
    if (x_->MarksSecret(read, stopDescriptor)) {
        try {
            // A marked owner whose text comes in no form read here (TEXT alone, say) may still reach
            // Wayland through the bridge in another: its password is then unknown, and any copy may be it.
            const std::u16string marked = x_->ReadMarkedText(read, stopDescriptor);
            xSecretUnknown_ = marked.empty();
            xSecrets_.Remember(marked);
        } catch (const ReadStopped&) {
            throw;
        } catch (const PlatformError&) {
            // A read that fails is tried again; a marked text that never comes could be any copy.
            xUnreadTries_ = owner == xOwnerUnread_ ? xUnreadTries_ + 1 : 1;
            xOwnerUnread_ = owner;
            if (xUnreadTries_ < kUnreadTries) {
                throw;
            }
            xSecretUnknown_ = true;
        }
    }
    // An owner whose marked text is still unknown is asked again at the next read, or every Wayland
    // copy would count as its password for as long as it keeps the X clipboard.
    if (!xSecretUnknown_) {
        xOwnerAsked_ = owner;
    }
}

std::u16string WaylandReaderWithXMarks::ReadText(const ClipboardRead& read, int stopDescriptor)
{
    if (!x_) {
        ConnectX();
    }
    if (x_) {
        LearnXSecret(read, stopDescriptor);
    }
    std::u16string text = wayland_->ReadText(read, stopDescriptor);
    if (!text.empty() && (xSecretUnknown_ || xSecrets_.Holds(text))) {
        return {}; // an X program's password handed on without its mark
    }
    return text;
}

} // namespace vorda::qt
