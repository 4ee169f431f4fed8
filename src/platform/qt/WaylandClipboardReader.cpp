#include "platform/qt/WaylandClipboardReader.h"

#include "platform/Platform.h"
#include "text/Utf16.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace vorda::qt {
namespace {

// In the order they are asked for: the first the owner offers is read.
constexpr std::array<std::string_view, 3> kTextTypes{"text/plain;charset=utf-8", "UTF8_STRING", "text/plain"};
constexpr std::string_view kPasswordHint = "x-kde-passwordManagerHint";

// Closes a descriptor on every way out.
struct Descriptor {
    int value = -1;
    explicit Descriptor(int v) : value(v) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Close(); }
    void Close()
    {
        if (value >= 0) {
            ::close(value);
            value = -1;
        }
    }
};

} // namespace

struct WaylandClipboardReader::State {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;
    zwlr_data_control_device_v1* device = nullptr;
    // Offers being introduced, with the types they offer; one of them becomes the selection.
    std::map<zwlr_data_control_offer_v1*, std::vector<std::string>> introduced;
    zwlr_data_control_offer_v1* selection = nullptr;
    std::vector<std::string> selectionTypes;
    bool changed = true; // whatever the selection holds at the start is news
    bool finished = false;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State()
    {
        for (const auto& [offer, types] : introduced) {
            zwlr_data_control_offer_v1_destroy(offer);
        }
        if (selection != nullptr) {
            zwlr_data_control_offer_v1_destroy(selection);
        }
        if (device != nullptr) {
            zwlr_data_control_device_v1_destroy(device);
        }
        if (manager != nullptr) {
            zwlr_data_control_manager_v1_destroy(manager);
        }
        if (seat != nullptr) {
            wl_seat_destroy(seat);
        }
        if (registry != nullptr) {
            wl_registry_destroy(registry);
        }
        if (display != nullptr) {
            wl_display_disconnect(display);
        }
    }

    [[nodiscard]] bool Offers(std::string_view type) const
    {
        return std::find(selectionTypes.begin(), selectionTypes.end(), type) != selectionTypes.end();
    }

    // The bytes the owner sends for `type`, each piece within the deadline.
    std::string Receive(std::string_view type)
    {
        std::array<int, 2> pipe{-1, -1};
        if (::pipe2(pipe.data(), O_CLOEXEC) != 0) {
            throw PlatformError("no pipe for the clipboard's text");
        }
        Descriptor reading(pipe[0]);
        Descriptor writing(pipe[1]);
        zwlr_data_control_offer_v1_receive(selection, std::string(type).c_str(), writing.value);
        writing.Close(); // the owner has its own copy now: the end of its writing is the end of the text
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            throw PlatformError("the connection to the compositor is lost");
        }
        std::string bytes;
        std::array<char, 65536> piece{};
        for (;;) {
            pollfd ready{reading.value, POLLIN, 0};
            const int woken = ::poll(&ready, 1, static_cast<int>(kAnswerDeadline.count()));
            if (woken < 0 && errno == EINTR) {
                continue;
            }
            if (woken <= 0) {
                throw PlatformError("the clipboard's owner does not answer");
            }
            const ssize_t count = ::read(reading.value, piece.data(), piece.size());
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0) {
                throw PlatformError("the clipboard's text cannot be read");
            }
            if (count == 0) {
                return bytes;
            }
            bytes.append(piece.data(), static_cast<std::size_t>(count));
        }
    }
};

namespace {

using State = WaylandClipboardReader::State;

void OfferType(void* data, zwlr_data_control_offer_v1* offer, const char* type)
{
    auto& s = *static_cast<State*>(data);
    if (const auto found = s.introduced.find(offer); found != s.introduced.end()) {
        found->second.emplace_back(type);
    }
}

constexpr zwlr_data_control_offer_v1_listener kOfferListener{OfferType};

void DataOffer(void* data, zwlr_data_control_device_v1* /*device*/, zwlr_data_control_offer_v1* offer)
{
    auto& s = *static_cast<State*>(data);
    s.introduced.emplace(offer, std::vector<std::string>{});
    zwlr_data_control_offer_v1_add_listener(offer, &kOfferListener, data);
}

void Selection(void* data, zwlr_data_control_device_v1* /*device*/, zwlr_data_control_offer_v1* offer)
{
    auto& s = *static_cast<State*>(data);
    if (s.selection != nullptr) {
        zwlr_data_control_offer_v1_destroy(s.selection);
    }
    s.selection = offer;
    s.selectionTypes.clear();
    if (const auto found = s.introduced.find(offer); found != s.introduced.end()) {
        s.selectionTypes = std::move(found->second);
        s.introduced.erase(found);
    }
    s.changed = true;
}

void Finished(void* data, zwlr_data_control_device_v1* /*device*/) { static_cast<State*>(data)->finished = true; }

// Bound at version 1, the primary selection never comes; an offer for it would only be let go.
void PrimarySelection(void* data, zwlr_data_control_device_v1* /*device*/, zwlr_data_control_offer_v1* offer)
{
    auto& s = *static_cast<State*>(data);
    if (offer != nullptr && s.introduced.erase(offer) != 0) {
        zwlr_data_control_offer_v1_destroy(offer);
    }
}

constexpr zwlr_data_control_device_v1_listener kDeviceListener{DataOffer, Selection, Finished, PrimarySelection};

void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t /*version*/)
{
    auto& s = *static_cast<State*>(data);
    const std::string_view offered(interface);
    if (offered == wl_seat_interface.name && s.seat == nullptr) {
        s.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (offered == zwlr_data_control_manager_v1_interface.name && s.manager == nullptr) {
        s.manager = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    }
}

void GlobalRemove(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

constexpr wl_registry_listener kRegistryListener{Global, GlobalRemove};

} // namespace

WaylandClipboardReader::WaylandClipboardReader(std::unique_ptr<State> state) : state_(std::move(state)) {}
WaylandClipboardReader::~WaylandClipboardReader() = default;

std::unique_ptr<WaylandClipboardReader> WaylandClipboardReader::Connect(std::string& why)
{
    auto s = std::make_unique<State>();
    s->display = wl_display_connect(nullptr);
    if (s->display == nullptr) {
        why = "no Wayland compositor answers";
        return nullptr;
    }
    s->registry = wl_display_get_registry(s->display);
    wl_registry_add_listener(s->registry, &kRegistryListener, s.get());
    if (wl_display_roundtrip(s->display) < 0) {
        why = "the Wayland compositor does not answer";
        return nullptr;
    }
    if (s->manager == nullptr || s->seat == nullptr) {
        why = s->manager == nullptr ? "the Wayland compositor lets no program without focus read the clipboard "
                                      "(it offers no data-control protocol)"
                                    : "the Wayland compositor has no seat";
        return nullptr;
    }
    s->device = zwlr_data_control_manager_v1_get_data_device(s->manager, s->seat);
    zwlr_data_control_device_v1_add_listener(s->device, &kDeviceListener, s.get());
    if (wl_display_roundtrip(s->display) < 0) {
        why = "the Wayland compositor does not answer";
        return nullptr;
    }
    return std::unique_ptr<WaylandClipboardReader>(new WaylandClipboardReader(std::move(s)));
}

bool WaylandClipboardReader::TakeChange()
{
    State& s = *state_;
    while (wl_display_prepare_read(s.display) != 0) {
        wl_display_dispatch_pending(s.display);
    }
    wl_display_flush(s.display);
    pollfd ready{wl_display_get_fd(s.display), POLLIN, 0};
    if (::poll(&ready, 1, 0) > 0) {
        wl_display_read_events(s.display);
    } else {
        wl_display_cancel_read(s.display);
    }
    wl_display_dispatch_pending(s.display);
    return std::exchange(s.changed, false);
}

int WaylandClipboardReader::FileDescriptor() const { return wl_display_get_fd(state_->display); }

bool WaylandClipboardReader::Broken() const { return state_->finished || wl_display_get_error(state_->display) != 0; }

std::u16string WaylandClipboardReader::ReadText()
{
    State& s = *state_;
    if (Broken()) {
        throw PlatformError("the connection to the compositor is lost");
    }
    if (s.selection == nullptr) {
        return {};
    }
    if (s.Offers(kPasswordHint)) {
        // A password is neither shown nor sent away; a mark that cannot be read is taken as one.
        std::optional<std::string> hint;
        try {
            hint = s.Receive(kPasswordHint);
        } catch (const PlatformError&) {
        }
        if (!hint || *hint == "secret") {
            return {};
        }
    }
    const auto* type = std::find_if(kTextTypes.begin(), kTextTypes.end(), [&](auto t) { return s.Offers(t); });
    if (type == kTextTypes.end()) {
        return {}; // the owner has no text form: a picture, for instance
    }
    return FromUtf8(s.Receive(*type));
}

} // namespace vorda::qt
