#include "platform/qt/clipboard/WaylandReaderWithXMarks.h"

#include "platform/Platform.h"

#include <sys/epoll.h>
#include <unistd.h>

namespace vorda::qt {

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
    if (x_) {
        Watch(x_->FileDescriptor());
    }
}

std::u16string WaylandReaderWithXMarks::ReadText(const ClipboardRead& read, int stopDescriptor)
{
    if (!x_) {
        ConnectX();
    }
    // Asked first, so that a marked password is not even sent over.
    if (x_ && x_->MarksSecret(read, stopDescriptor)) {
        return {};
    }
    return wayland_->ReadText(read, stopDescriptor);
}

} // namespace vorda::qt
