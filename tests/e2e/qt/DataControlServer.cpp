// vorda-e2e-data-control-server: a Wayland compositor of the tests' own, with no outputs and no
// windows, that offers a seat and the data-control protocols named on its command line, and keeps
// one clipboard selection for the clients that set it through them. No compositor Debian ships
// offers ext_data_control_manager_v1; this one does, alone or beside the wlroots one.
//
//   vorda-e2e-data-control-server ext|wlr|both SOCKET
//
// Listens on $XDG_RUNTIME_DIR/SOCKET, prints "bound INTERFACE" for each data-control manager a client
// binds, and on SIGUSR1 withdraws every data device (the "finished" event), as a compositor does
// when a seat goes. Ends on SIGTERM.

#include "ext-data-control-v1-server-protocol.h"
#include "wlr-data-control-unstable-v1-server-protocol.h"

#include <wayland-server.h>

#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <list>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The server side of each protocol under one set of names.
struct ExtServer {
    using ManagerCalls = struct ext_data_control_manager_v1_interface;
    using DeviceCalls = struct ext_data_control_device_v1_interface;
    using SourceCalls = struct ext_data_control_source_v1_interface;
    using OfferCalls = struct ext_data_control_offer_v1_interface;
    static constexpr const wl_interface* kManager = &ext_data_control_manager_v1_interface;
    static constexpr const wl_interface* kDevice = &ext_data_control_device_v1_interface;
    static constexpr const wl_interface* kSource = &ext_data_control_source_v1_interface;
    static constexpr const wl_interface* kOffer = &ext_data_control_offer_v1_interface;
    static void SendDataOffer(wl_resource* device, wl_resource* offer) { ext_data_control_device_v1_send_data_offer(device, offer); }
    static void SendSelection(wl_resource* device, wl_resource* offer) { ext_data_control_device_v1_send_selection(device, offer); }
    static void SendFinished(wl_resource* device) { ext_data_control_device_v1_send_finished(device); }
    static void SendOffer(wl_resource* offer, const char* type) { ext_data_control_offer_v1_send_offer(offer, type); }
    static void SendSend(wl_resource* source, const char* type, int fd) { ext_data_control_source_v1_send_send(source, type, fd); }
    static void SendCancelled(wl_resource* source) { ext_data_control_source_v1_send_cancelled(source); }
};

struct WlrServer {
    using ManagerCalls = struct zwlr_data_control_manager_v1_interface;
    using DeviceCalls = struct zwlr_data_control_device_v1_interface;
    using SourceCalls = struct zwlr_data_control_source_v1_interface;
    using OfferCalls = struct zwlr_data_control_offer_v1_interface;
    static constexpr const wl_interface* kManager = &zwlr_data_control_manager_v1_interface;
    static constexpr const wl_interface* kDevice = &zwlr_data_control_device_v1_interface;
    static constexpr const wl_interface* kSource = &zwlr_data_control_source_v1_interface;
    static constexpr const wl_interface* kOffer = &zwlr_data_control_offer_v1_interface;
    static void SendDataOffer(wl_resource* device, wl_resource* offer) { zwlr_data_control_device_v1_send_data_offer(device, offer); }
    static void SendSelection(wl_resource* device, wl_resource* offer) { zwlr_data_control_device_v1_send_selection(device, offer); }
    static void SendFinished(wl_resource* device) { zwlr_data_control_device_v1_send_finished(device); }
    static void SendOffer(wl_resource* offer, const char* type) { zwlr_data_control_offer_v1_send_offer(offer, type); }
    static void SendSend(wl_resource* source, const char* type, int fd) { zwlr_data_control_source_v1_send_send(source, type, fd); }
    static void SendCancelled(wl_resource* source) { zwlr_data_control_source_v1_send_cancelled(source); }
};

void DestroyResource(wl_client* /*client*/, wl_resource* resource) { wl_resource_destroy(resource); }

// One protocol's clipboard: its sources, the selection and the devices told of it.
template <typename S> class Clipboard {
public:
    void Advertise(wl_display* display)
    {
        loop_ = wl_display_get_event_loop(display);
        wl_global_create(display, S::kManager, 1, this, Bind);
    }

    // Every device learns that the data control is gone.
    void Withdraw()
    {
        for (wl_resource* device : devices_) {
            S::SendFinished(device);
        }
    }

private:
    struct Source {
        wl_resource* resource = nullptr;
        std::vector<std::string> types;
    };
    // An offer stands for the selection as it was when the offer was made.
    struct OfferOf {
        Clipboard* clipboard;
        std::uint64_t generation;
    };

    static Clipboard& Of(wl_resource* resource) { return *static_cast<Clipboard*>(wl_resource_get_user_data(resource)); }

    static void Bind(wl_client* client, void* data, std::uint32_t version, std::uint32_t id)
    {
        wl_resource* manager = wl_resource_create(client, S::kManager, static_cast<int>(version), id);
        wl_resource_set_implementation(manager, &kManagerCalls, data, nullptr);
        std::printf("bound %s\n", S::kManager->name);
        std::fflush(stdout);
    }

    static void CreateSource(wl_client* client, wl_resource* manager, std::uint32_t id)
    {
        auto* source = new Source;
        source->resource = wl_resource_create(client, S::kSource, wl_resource_get_version(manager), id);
        Of(manager).sources_.push_back(source);
        wl_resource_set_implementation(source->resource, &kSourceCalls, &Of(manager), SourceGone);
    }

    static void GetDevice(wl_client* client, wl_resource* manager, std::uint32_t id, wl_resource* /*seat*/)
    {
        Clipboard& clipboard = Of(manager);
        wl_resource* device = wl_resource_create(client, S::kDevice, wl_resource_get_version(manager), id);
        wl_resource_set_implementation(device, &kDeviceCalls, &clipboard, DeviceGone);
        clipboard.devices_.push_back(device);
        clipboard.Tell(device); // the first selection comes with the device
    }

    static void SetSelection(wl_client* /*client*/, wl_resource* device, wl_resource* sourceResource)
    {
        Clipboard& clipboard = Of(device);
        Source* source = sourceResource != nullptr ? clipboard.Find(sourceResource) : nullptr;
        if (clipboard.selection_ != nullptr && clipboard.selection_ != source) {
            S::SendCancelled(clipboard.selection_->resource);
        }
        clipboard.selection_ = source;
        ++clipboard.generation_;
        TellEveryDevice(&clipboard);
    }

    static void SetPrimarySelection(wl_client* /*client*/, wl_resource* /*device*/, wl_resource* source)
    {
        if (source != nullptr) {
            S::SendCancelled(source); // no primary selection here
        }
    }

    static void OfferType(wl_client* /*client*/, wl_resource* source, const char* type)
    {
        if (Source* found = Of(source).Find(source)) {
            found->types.emplace_back(type);
        }
    }

    // An offer made for an earlier selection reads nothing: its pipe is closed unwritten.
    static void Receive(wl_client* /*client*/, wl_resource* offer, const char* type, std::int32_t fd)
    {
        const auto& made = *static_cast<OfferOf*>(wl_resource_get_user_data(offer));
        const Clipboard& clipboard = *made.clipboard;
        if (clipboard.selection_ != nullptr && made.generation == clipboard.generation_) {
            S::SendSend(clipboard.selection_->resource, type, fd);
        }
        ::close(fd);
    }

    static void OfferGone(wl_resource* offer) { delete static_cast<OfferOf*>(wl_resource_get_user_data(offer)); }

    static void SourceGone(wl_resource* resource)
    {
        Clipboard& clipboard = Of(resource);
        Source* source = clipboard.Find(resource);
        clipboard.sources_.remove(source);
        if (clipboard.selection_ == source) {
            // The owner's client may be going as a whole: the others are told once it is gone.
            clipboard.selection_ = nullptr;
            ++clipboard.generation_;
            wl_event_loop_add_idle(clipboard.loop_, TellEveryDevice, &clipboard);
        }
        delete source;
    }

    static void TellEveryDevice(void* data)
    {
        auto& clipboard = *static_cast<Clipboard*>(data);
        for (wl_resource* each : clipboard.devices_) {
            clipboard.Tell(each);
        }
    }

    static void DeviceGone(wl_resource* device) { Of(device).devices_.remove(device); }

    Source* Find(wl_resource* resource)
    {
        for (Source* source : sources_) {
            if (source->resource == resource) {
                return source;
            }
        }
        return nullptr;
    }

    // A new offer of the selection for one device, with its types, then the selection event.
    void Tell(wl_resource* device)
    {
        if (selection_ == nullptr) {
            S::SendSelection(device, nullptr);
            return;
        }
        wl_resource* offer = wl_resource_create(wl_resource_get_client(device), S::kOffer,
                                                wl_resource_get_version(device), 0);
        wl_resource_set_implementation(offer, &kOfferCalls, new OfferOf{this, generation_}, OfferGone);
        S::SendDataOffer(device, offer);
        for (const std::string& type : selection_->types) {
            S::SendOffer(offer, type.c_str());
        }
        S::SendSelection(device, offer);
    }

    static constexpr typename S::ManagerCalls kManagerCalls{
        .create_data_source = CreateSource, .get_data_device = GetDevice, .destroy = DestroyResource};
    static constexpr typename S::DeviceCalls kDeviceCalls{
        .set_selection = SetSelection, .destroy = DestroyResource, .set_primary_selection = SetPrimarySelection};
    static constexpr typename S::SourceCalls kSourceCalls{.offer = OfferType, .destroy = DestroyResource};
    static constexpr typename S::OfferCalls kOfferCalls{.receive = Receive, .destroy = DestroyResource};

    wl_event_loop* loop_ = nullptr;
    std::list<Source*> sources_;
    std::list<wl_resource*> devices_;
    Source* selection_ = nullptr;
    std::uint64_t generation_ = 0;
};

void SeatGetDevice(wl_client* /*client*/, wl_resource* seat, std::uint32_t /*id*/)
{
    wl_resource_post_error(seat, 0, "this seat has no input devices");
}
constexpr struct wl_seat_interface kSeatCalls{
    .get_pointer = SeatGetDevice, .get_keyboard = SeatGetDevice, .get_touch = SeatGetDevice, .release = DestroyResource};

void BindSeat(wl_client* client, void* /*data*/, std::uint32_t version, std::uint32_t id)
{
    wl_resource* seat = wl_resource_create(client, &wl_seat_interface, static_cast<int>(version), id);
    wl_resource_set_implementation(seat, &kSeatCalls, nullptr, nullptr);
    wl_seat_send_capabilities(seat, 0);
}

Clipboard<ExtServer> extClipboard;
Clipboard<WlrServer> wlrClipboard;

int Signalled(int number, void* data)
{
    if (number == SIGUSR1) {
        extClipboard.Withdraw();
        wlrClipboard.Withdraw();
    } else {
        wl_display_terminate(static_cast<wl_display*>(data));
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string_view offer = argc == 3 ? argv[1] : "";
    if (offer != "ext" && offer != "wlr" && offer != "both") {
        std::fprintf(stderr, "usage: vorda-e2e-data-control-server ext|wlr|both SOCKET\n");
        return 2;
    }
    wl_display* display = wl_display_create();
    if (wl_display_add_socket(display, argv[2]) != 0) {
        std::fprintf(stderr, "cannot listen on %s\n", argv[2]);
        return 1;
    }
    wl_global_create(display, &wl_seat_interface, 1, nullptr, BindSeat);
    if (offer != "wlr") {
        extClipboard.Advertise(display);
    }
    if (offer != "ext") {
        wlrClipboard.Advertise(display);
    }
    // Signals come through the event loop, so the handlers may touch the protocol state.
    sigset_t handled;
    sigemptyset(&handled);
    for (const int number : {SIGTERM, SIGINT, SIGUSR1}) {
        sigaddset(&handled, number);
    }
    sigprocmask(SIG_BLOCK, &handled, nullptr);
    wl_event_loop* loop = wl_display_get_event_loop(display);
    for (const int number : {SIGTERM, SIGINT, SIGUSR1}) {
        wl_event_loop_add_signal(loop, number, Signalled, display);
    }
    std::printf("listening\n");
    std::fflush(stdout);
    wl_display_run(display);
    wl_display_destroy_clients(display);
    wl_display_destroy(display);
    return 0;
}
