// vorda-e2e-wayland-owner: a Wayland clipboard owner through data-control that offers a text and, with
// a HINT, x-kde-passwordManagerHint holding it, as a password manager marks what it copies.
//
//   vorda-e2e-wayland-owner TEXT [HINT]
//
// Prints "owner" once it holds the selection; ends when another client takes it, or on SIGTERM.

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

struct Owner {
    std::string text;
    std::optional<std::string> hint;
    wl_seat* seat = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;
    bool cancelled = false;
};

void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t /*version*/)
{
    auto& owner = *static_cast<Owner*>(data);
    if (std::string_view(interface) == wl_seat_interface.name && owner.seat == nullptr) {
        owner.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::string_view(interface) == zwlr_data_control_manager_v1_interface.name) {
        owner.manager = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    }
}
void GlobalRemove(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}
constexpr wl_registry_listener kRegistryListener{Global, GlobalRemove};

void Send(void* data, zwlr_data_control_source_v1* /*source*/, const char* type, std::int32_t fd)
{
    const auto& owner = *static_cast<Owner*>(data);
    const std::string& bytes = std::string_view(type) == "x-kde-passwordManagerHint" ? *owner.hint : owner.text;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count <= 0) {
            break;
        }
        written += static_cast<std::size_t>(count);
    }
    ::close(fd);
}
void Cancelled(void* data, zwlr_data_control_source_v1* /*source*/) { static_cast<Owner*>(data)->cancelled = true; }
constexpr zwlr_data_control_source_v1_listener kSourceListener{Send, Cancelled};

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: vorda-e2e-wayland-owner TEXT [HINT]\n");
        return 2;
    }
    Owner owner;
    owner.text = argv[1];
    if (argc == 3) {
        owner.hint = argv[2];
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no Wayland compositor\n");
        return 2;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &owner);
    wl_display_roundtrip(display);
    if (owner.seat == nullptr || owner.manager == nullptr) {
        std::fprintf(stderr, "the compositor offers no seat or no data-control\n");
        return 1;
    }
    zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(owner.manager);
    zwlr_data_control_source_v1_add_listener(source, &kSourceListener, &owner);
    for (const char* type : {"text/plain;charset=utf-8", "text/plain"}) {
        zwlr_data_control_source_v1_offer(source, type);
    }
    if (owner.hint) {
        zwlr_data_control_source_v1_offer(source, "x-kde-passwordManagerHint");
    }
    zwlr_data_control_device_v1* device = zwlr_data_control_manager_v1_get_data_device(owner.manager, owner.seat);
    zwlr_data_control_device_v1_set_selection(device, source);
    wl_display_roundtrip(display);
    std::printf("owner\n");
    std::fflush(stdout);
    while (!owner.cancelled && wl_display_dispatch(display) >= 0) {
    }
    wl_display_disconnect(display);
    return 0;
}
