#include "platform/qt/WaylandClipboardReader.h"

#include "platform/Platform.h"
#include "platform/qt/DataControlProtocols.h"
#include "text/Utf16.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <optional>
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

// The connection to the compositor with what either protocol needs of it: the registry and the seat.
struct Connection {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    DataControlGlobals globals;

    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection()
    {
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

    void* Bind(std::uint32_t name, const wl_interface* interface) const
    {
        return wl_registry_bind(registry, name, interface, 1);
    }
};

// What the owner writes into `reading` until it closes its end, each piece within the deadline.
std::string ReadUntilClosed(const Descriptor& reading)
{
    std::string bytes;
    std::array<char, 65536> piece{};
    for (;;) {
        pollfd ready{reading.value, POLLIN, 0};
        const int woken = ::poll(&ready, 1, static_cast<int>(WaylandClipboardReader::kAnswerDeadline.count()));
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

template <typename Protocol> class DataControlReader final : public WaylandClipboardReader {
    using Offer = typename Protocol::Offer;

public:
    DataControlReader(std::unique_ptr<Connection> connection, typename Protocol::Manager* manager)
        : connection_(std::move(connection)), manager_(manager)
    {
    }

    ~DataControlReader() override
    {
        for (const auto& [offer, types] : introduced_) {
            Protocol::Destroy(offer);
        }
        if (selection_ != nullptr) {
            Protocol::Destroy(selection_);
        }
        if (device_ != nullptr) {
            Protocol::Destroy(device_);
        }
        Protocol::Destroy(manager_);
    }
    DataControlReader(const DataControlReader&) = delete;
    DataControlReader& operator=(const DataControlReader&) = delete;

    // The seat's data device; false where the compositor does not answer.
    bool Start()
    {
        device_ = Protocol::GetDevice(manager_, connection_->seat);
        Protocol::Listen(device_, &kDeviceListener, this);
        return wl_display_roundtrip(connection_->display) >= 0;
    }

    [[nodiscard]] std::string_view ManagerInterface() const override { return Protocol::kManagerInterface->name; }

    bool TakeChange() override
    {
        wl_display* display = connection_->display;
        while (wl_display_prepare_read(display) != 0) {
            wl_display_dispatch_pending(display);
        }
        wl_display_flush(display);
        pollfd ready{wl_display_get_fd(display), POLLIN, 0};
        if (::poll(&ready, 1, 0) > 0) {
            wl_display_read_events(display);
        } else {
            wl_display_cancel_read(display);
        }
        wl_display_dispatch_pending(display);
        return std::exchange(changed_, false);
    }

    [[nodiscard]] int FileDescriptor() const override { return wl_display_get_fd(connection_->display); }

    [[nodiscard]] bool Broken() const override
    {
        return finished_ || wl_display_get_error(connection_->display) != 0;
    }

    std::u16string ReadText() override
    {
        if (Broken()) {
            throw PlatformError("the connection to the compositor is lost");
        }
        if (selection_ == nullptr) {
            return {};
        }
        if (Offers(kPasswordHint)) {
            // A password is neither shown nor sent away; a mark that cannot be read is taken as one.
            std::optional<std::string> hint;
            try {
                hint = Receive(kPasswordHint);
            } catch (const PlatformError&) {
            }
            if (!hint || *hint == "secret") {
                return {};
            }
        }
        const auto* type = std::find_if(kTextTypes.begin(), kTextTypes.end(), [&](auto t) { return Offers(t); });
        if (type == kTextTypes.end()) {
            return {}; // the owner has no text form: a picture, for instance
        }
        return FromUtf8(Receive(*type));
    }

private:
    [[nodiscard]] bool Offers(std::string_view type) const
    {
        return std::find(selectionTypes_.begin(), selectionTypes_.end(), type) != selectionTypes_.end();
    }

    std::string Receive(std::string_view type)
    {
        std::array<int, 2> pipe{-1, -1};
        if (::pipe2(pipe.data(), O_CLOEXEC) != 0) {
            throw PlatformError("no pipe for the clipboard's text");
        }
        Descriptor reading(pipe[0]);
        Descriptor writing(pipe[1]);
        Protocol::Receive(selection_, std::string(type).c_str(), writing.value);
        writing.Close(); // the owner has its own copy now: the end of its writing is the end of the text
        if (wl_display_flush(connection_->display) < 0 && errno != EAGAIN) {
            throw PlatformError("the connection to the compositor is lost");
        }
        return ReadUntilClosed(reading);
    }

    static DataControlReader& Of(void* data) { return *static_cast<DataControlReader*>(data); }

    static void OfferType(void* data, Offer* offer, const char* type)
    {
        auto& r = Of(data);
        if (const auto found = r.introduced_.find(offer); found != r.introduced_.end()) {
            found->second.emplace_back(type);
        }
    }

    static void DataOffer(void* data, typename Protocol::Device* /*device*/, Offer* offer)
    {
        Of(data).introduced_.emplace(offer, std::vector<std::string>{});
        Protocol::Listen(offer, &kOfferListener, data);
    }

    static void Selection(void* data, typename Protocol::Device* /*device*/, Offer* offer)
    {
        auto& r = Of(data);
        if (r.selection_ != nullptr) {
            Protocol::Destroy(r.selection_);
        }
        r.selection_ = offer;
        r.selectionTypes_.clear();
        if (const auto found = r.introduced_.find(offer); found != r.introduced_.end()) {
            r.selectionTypes_ = std::move(found->second);
            r.introduced_.erase(found);
        }
        r.changed_ = true;
    }

    static void Finished(void* data, typename Protocol::Device* /*device*/) { Of(data).finished_ = true; }

    // The primary selection (text merely marked) is not the clipboard: its offers are let go.
    static void PrimarySelection(void* data, typename Protocol::Device* /*device*/, Offer* offer)
    {
        auto& r = Of(data);
        if (offer != nullptr && r.introduced_.erase(offer) != 0) {
            Protocol::Destroy(offer);
        }
    }

    static constexpr typename Protocol::OfferListener kOfferListener{.offer = OfferType};
    static constexpr typename Protocol::DeviceListener kDeviceListener{
        .data_offer = DataOffer, .selection = Selection, .finished = Finished, .primary_selection = PrimarySelection};

    std::unique_ptr<Connection> connection_;
    typename Protocol::Manager* manager_;
    typename Protocol::Device* device_ = nullptr;
    // Offers being introduced, with the types they offer; one of them becomes the selection.
    std::map<Offer*, std::vector<std::string>> introduced_;
    Offer* selection_ = nullptr;
    std::vector<std::string> selectionTypes_;
    bool changed_ = true; // whatever the selection holds at the start is news
    bool finished_ = false;
};

template <typename Protocol>
std::unique_ptr<WaylandClipboardReader> StartReader(std::unique_ptr<Connection> connection, std::uint32_t managerName,
                                                    std::string& why)
{
    auto* manager = static_cast<typename Protocol::Manager*>(connection->Bind(managerName, Protocol::kManagerInterface));
    auto reader = std::make_unique<DataControlReader<Protocol>>(std::move(connection), manager);
    if (!reader->Start()) {
        why = "the Wayland compositor does not answer";
        return nullptr;
    }
    return reader;
}

} // namespace

std::unique_ptr<WaylandClipboardReader> WaylandClipboardReader::Connect(std::string& why)
{
    auto c = std::make_unique<Connection>();
    c->display = wl_display_connect(nullptr);
    if (c->display == nullptr) {
        why = "no Wayland compositor answers";
        return nullptr;
    }
    c->registry = wl_display_get_registry(c->display);
    c->globals.Listen(c->registry);
    if (wl_display_roundtrip(c->display) < 0) {
        why = "the Wayland compositor does not answer";
        return nullptr;
    }
    if (c->globals.ext == 0 && c->globals.wlr == 0) {
        why = "the Wayland compositor lets no program without focus read the clipboard "
              "(it offers no data-control protocol)";
        return nullptr;
    }
    if (c->globals.seat == 0) {
        why = "the Wayland compositor has no seat";
        return nullptr;
    }
    c->seat = static_cast<wl_seat*>(c->Bind(c->globals.seat, &wl_seat_interface));
    if (c->globals.ext != 0) {
        const std::uint32_t name = c->globals.ext;
        return StartReader<ExtDataControl>(std::move(c), name, why);
    }
    const std::uint32_t name = c->globals.wlr;
    return StartReader<WlrDataControl>(std::move(c), name, why);
}

} // namespace vorda::qt
