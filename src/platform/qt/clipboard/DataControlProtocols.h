#pragma once
// The two data-control protocols under one set of names. They are the same on the wire, message for
// message: ext_data_control_v1 is the standard one (KDE Plasma 6.5 and later offer only it), and
// wlr_data_control_unstable_v1 the one it grew from (wlroots compositors, older Plasma). Code written
// once over `Protocol` serves both.

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cstdint>
#include <string_view>

namespace vorda::qt {

struct ExtDataControl {
    using Manager = ext_data_control_manager_v1;
    using Device = ext_data_control_device_v1;
    using Offer = ext_data_control_offer_v1;
    using Source = ext_data_control_source_v1;
    using DeviceListener = ext_data_control_device_v1_listener;
    using OfferListener = ext_data_control_offer_v1_listener;
    using SourceListener = ext_data_control_source_v1_listener;
    static constexpr const wl_interface* kManagerInterface = &ext_data_control_manager_v1_interface;

    static Device* GetDevice(Manager* m, wl_seat* seat) { return ext_data_control_manager_v1_get_data_device(m, seat); }
    static Source* CreateSource(Manager* m) { return ext_data_control_manager_v1_create_data_source(m); }
    static void Listen(Device* d, const DeviceListener* l, void* data) { ext_data_control_device_v1_add_listener(d, l, data); }
    static void Listen(Offer* o, const OfferListener* l, void* data) { ext_data_control_offer_v1_add_listener(o, l, data); }
    static void Listen(Source* s, const SourceListener* l, void* data) { ext_data_control_source_v1_add_listener(s, l, data); }
    static void Receive(Offer* o, const char* type, std::int32_t fd) { ext_data_control_offer_v1_receive(o, type, fd); }
    static void OfferType(Source* s, const char* type) { ext_data_control_source_v1_offer(s, type); }
    static void SetSelection(Device* d, Source* s) { ext_data_control_device_v1_set_selection(d, s); }
    static void Destroy(Manager* m) { ext_data_control_manager_v1_destroy(m); }
    static void Destroy(Device* d) { ext_data_control_device_v1_destroy(d); }
    static void Destroy(Offer* o) { ext_data_control_offer_v1_destroy(o); }
    static void Destroy(Source* s) { ext_data_control_source_v1_destroy(s); }
};

struct WlrDataControl {
    using Manager = zwlr_data_control_manager_v1;
    using Device = zwlr_data_control_device_v1;
    using Offer = zwlr_data_control_offer_v1;
    using Source = zwlr_data_control_source_v1;
    using DeviceListener = zwlr_data_control_device_v1_listener;
    using OfferListener = zwlr_data_control_offer_v1_listener;
    using SourceListener = zwlr_data_control_source_v1_listener;
    static constexpr const wl_interface* kManagerInterface = &zwlr_data_control_manager_v1_interface;

    static Device* GetDevice(Manager* m, wl_seat* seat) { return zwlr_data_control_manager_v1_get_data_device(m, seat); }
    static Source* CreateSource(Manager* m) { return zwlr_data_control_manager_v1_create_data_source(m); }
    static void Listen(Device* d, const DeviceListener* l, void* data) { zwlr_data_control_device_v1_add_listener(d, l, data); }
    static void Listen(Offer* o, const OfferListener* l, void* data) { zwlr_data_control_offer_v1_add_listener(o, l, data); }
    static void Listen(Source* s, const SourceListener* l, void* data) { zwlr_data_control_source_v1_add_listener(s, l, data); }
    static void Receive(Offer* o, const char* type, std::int32_t fd) { zwlr_data_control_offer_v1_receive(o, type, fd); }
    static void OfferType(Source* s, const char* type) { zwlr_data_control_source_v1_offer(s, type); }
    static void SetSelection(Device* d, Source* s) { zwlr_data_control_device_v1_set_selection(d, s); }
    static void Destroy(Manager* m) { zwlr_data_control_manager_v1_destroy(m); }
    static void Destroy(Device* d) { zwlr_data_control_device_v1_destroy(d); }
    static void Destroy(Offer* o) { zwlr_data_control_offer_v1_destroy(o); }
    static void Destroy(Source* s) { zwlr_data_control_source_v1_destroy(s); }
};

// The globals a data-control client needs, by name; 0 where the compositor does not offer one.
struct DataControlGlobals {
    std::uint32_t seat = 0;
    std::uint32_t ext = 0;
    std::uint32_t wlr = 0;

    // Notes the names as the registry announces them; the first roundtrip after this has them all.
    void Listen(wl_registry* registry) { wl_registry_add_listener(registry, &kListener, this); }

private:
    static void Global(void* data, wl_registry* /*registry*/, std::uint32_t name, const char* interface,
                       std::uint32_t /*version*/)
    {
        auto& globals = *static_cast<DataControlGlobals*>(data);
        const std::string_view offered(interface);
        if (offered == wl_seat_interface.name && globals.seat == 0) {
            globals.seat = name;
        } else if (offered == ExtDataControl::kManagerInterface->name) {
            globals.ext = name;
        } else if (offered == WlrDataControl::kManagerInterface->name) {
            globals.wlr = name;
        }
    }
    static void GlobalRemove(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}
    static constexpr wl_registry_listener kListener{Global, GlobalRemove};
};

} // namespace vorda::qt
