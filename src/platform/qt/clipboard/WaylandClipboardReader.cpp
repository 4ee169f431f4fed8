#include "platform/qt/clipboard/WaylandClipboardReader.h"

#include "clipboard/ClipboardReadBudget.h"
#include "platform/Platform.h"
#include "platform/qt/clipboard/DataControlProtocols.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace vorda::qt {
namespace {

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
        Dispatch();
        return std::exchange(changed_, false);
    }

    [[nodiscard]] int FileDescriptor() const override { return wl_display_get_fd(connection_->display); }

    [[nodiscard]] bool Broken() const override
    {
        return finished_ || wl_display_get_error(connection_->display) != 0;
    }

    std::u16string ReadText(const ClipboardRead& read, int stopDescriptor) override
    {
        if (Broken()) {
            throw PlatformError("the connection to the compositor is lost");
        }
        // This read is of the selection as it is now: only a new one that comes during it stops it.
        // Left standing, the change noticed at the start (or just before the read) would stop the
        // first read at once, and an owner that is not ready for its pipe closing unread (SIGPIPE)
        // would end, taking the copy with it.
        Dispatch();
        changed_ = false;
        if (selection_ == nullptr) {
            return {};
        }
        if (Offers(kPasswordHintForm)) {
            // A password is neither shown nor sent away.
            std::optional<std::string> hint;
            try {
                hint = Receive(read, stopDescriptor, kPasswordHintForm).bytes;
            } catch (const ReadStopped&) {
                throw;
            } catch (const PlatformError&) {
            }
            if (PasswordHintMarksSecret(hint)) {
                return {};
            }
        }
        const auto* form = std::find_if(kWaylandTextForms.begin(), kWaylandTextForms.end(),
                                        [&](const TextForm& f) { return Offers(f.name); });
        if (form == kWaylandTextForms.end()) {
            return {}; // the owner has no text form: a picture, for instance
        }
        const ReceivedBytes received = Receive(read, stopDescriptor, form->name);
        return DecodeText(received.bytes, form->encoding, received.cut);
    }

private:
    // What the owner writes into a pipe until it closes its end. The wait also watches the stop
    // descriptor and the compositor, whose new selection ends the read of the one before.
    class PipeTransfer final : public TextTransfer {
    public:
        PipeTransfer(DataControlReader& reader, int reading, int stop) : reader_(reader), reading_(reading), stop_(stop) {}

        Next NextPiece(std::chrono::milliseconds timeout, std::size_t most, std::string& bytes) override
        {
            const auto deadline = std::chrono::steady_clock::now() + timeout;
            for (;;) {
                reader_.Dispatch();
                if (reader_.changed_ || reader_.Broken()) {
                    return Next::Stopped;
                }
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
                std::array<pollfd, 3> ready{pollfd{reading_, POLLIN, 0}, pollfd{stop_, POLLIN, 0},
                                            pollfd{reader_.FileDescriptor(), POLLIN, 0}};
                const int woken = ::poll(ready.data(), ready.size(), WaitMilliseconds(std::max(left, {})));
                if (woken < 0 && errno != EINTR) {
                    throw PlatformError("the clipboard's text cannot be waited for");
                }
                if ((ready[1].revents & POLLIN) != 0) {
                    return Next::Stopped;
                }
                if (woken > 0 && ready[0].revents != 0) {
                    return ReadPiece(most, bytes);
                }
                if (left <= std::chrono::milliseconds{0}) {
                    return Next::TimedOut; // only looked, and nothing came
                }
            }
        }

    private:
        Next ReadPiece(std::size_t most, std::string& bytes) const
        {
            const std::size_t start = bytes.size();
            bytes.resize(start + std::min<std::size_t>(most, 65536));
            const ssize_t count = ::read(reading_, bytes.data() + start, bytes.size() - start);
            bytes.resize(start + static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
            if (count < 0 && errno != EINTR && errno != EAGAIN) {
                throw PlatformError("the clipboard's text cannot be read");
            }
            return count == 0 ? Next::Ended : Next::Piece;
        }

        DataControlReader& reader_;
        int reading_;
        int stop_;
    };

    // Handles what the compositor has sent, without waiting.
    void Dispatch()
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
    }

    [[nodiscard]] bool Offers(std::string_view type) const
    {
        return std::find(selectionTypes_.begin(), selectionTypes_.end(), type) != selectionTypes_.end();
    }

    ReceivedBytes Receive(const ClipboardRead& read, int stop, std::string_view type)
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
        PipeTransfer transfer(*this, reading.value, stop);
        return read.Receive(transfer); // a read given up closes the pipe: the owner's writing ends there
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
