// vorda-e2e-wayland-pointer: a mouse for a headless wlroots compositor (sway), which has none: a
// virtual pointer (zwlr_virtual_pointer_v1) that moves to a point of the output and clicks there.
//
//   vorda-e2e-wayland-pointer WIDTH HEIGHT X Y [left|right]...
//
// WIDTH and HEIGHT are the output's, X and Y the point on it; each button named is pressed and
// released there, in order. Ends after the compositor has taken everything.

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

namespace {

constexpr std::uint32_t kLeftButton = 0x110;  // BTN_LEFT
constexpr std::uint32_t kRightButton = 0x111; // BTN_RIGHT

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t /*version*/)
{
    auto& globals = *static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals.seat == nullptr) {
        globals.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        globals.manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}
void GlobalRemove(void*, wl_registry*, std::uint32_t) {}
constexpr wl_registry_listener kRegistryListener{Global, GlobalRemove};

std::uint32_t Now()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT X Y [left|right]...\n", argv[0]);
        return 2;
    }
    const auto number = [](const char* text) { return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)); };
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.manager == nullptr) {
        std::fprintf(stderr, "the compositor offers no virtual pointer\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
    wl_display_roundtrip(display);
    // A new pointer device makes the seat announce it to every client; give them a moment to bind it.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    zwlr_virtual_pointer_v1_motion_absolute(pointer, Now(), number(argv[3]), number(argv[4]), number(argv[1]),
                                            number(argv[2]));
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (int i = 5; i < argc; ++i) {
        const std::uint32_t button = std::string_view(argv[i]) == "right" ? kRightButton : kLeftButton;
        for (const auto state : {WL_POINTER_BUTTON_STATE_PRESSED, WL_POINTER_BUTTON_STATE_RELEASED}) {
            zwlr_virtual_pointer_v1_button(pointer, Now(), button, state);
            zwlr_virtual_pointer_v1_frame(pointer);
            wl_display_roundtrip(display);
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
        }
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
