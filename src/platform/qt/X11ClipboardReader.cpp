#include "platform/qt/X11ClipboardReader.h"

#include "platform/Platform.h"
#include "text/ByteWords.h"
#include "text/Utf16.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <poll.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace vorda::qt {
namespace {

using Clock = std::chrono::steady_clock;

// A large text comes in pieces; each piece must come within kAnswerDeadline, all of them within this
// and up to this size (an owner could send without end). Reads run off the program's own thread.
constexpr std::chrono::milliseconds kIncrementalTransferLimit{20000};
constexpr std::size_t kLargestText = std::size_t{256} << 20;

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;
using XcbEvent = XcbReply<xcb_generic_event_t>;

template <typename T> XcbReply<T> Owned(T* reply) { return XcbReply<T>(reply, &std::free); }

struct PropertyValue {
    xcb_atom_t type = XCB_NONE;
    std::uint8_t format = 8; // bits per item
    std::string bytes;
};

} // namespace

struct X11ClipboardReader::State {
    xcb_connection_t* connection = nullptr;
    xcb_window_t requestor = XCB_NONE; // an unmapped window of our own that receives the data
    xcb_atom_t clipboard = XCB_NONE;
    xcb_atom_t targets = XCB_NONE;
    xcb_atom_t utf8String = XCB_NONE;
    xcb_atom_t passwordHint = XCB_NONE; // a password manager's mark on what it copies
    xcb_atom_t incr = XCB_NONE;
    xcb_atom_t property = XCB_NONE; // where owners put the converted text

    // XFixes tells of every new owner of the clipboard; without it every read counts as a change.
    std::uint8_t ownerChangeEvent = 0; // 0: no XFixes
    bool changed = false;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State()
    {
        if (connection != nullptr) {
            xcb_disconnect(connection);
        }
    }
};

namespace {

using State = X11ClipboardReader::State;

std::uint8_t EventType(const xcb_generic_event_t& event) { return event.response_type & 0x7F; }

// Notes a new owner of the clipboard; true when `event` said so.
bool NoteOwnerChange(State& s, const xcb_generic_event_t& event)
{
    if (s.ownerChangeEvent == 0 || EventType(event) != s.ownerChangeEvent) {
        return false;
    }
    s.changed = true;
    return true;
}

// Waits for the first event that `matches`, dropping the others; nothing once the deadline passed.
template <typename Matches> XcbEvent WaitForEvent(State& s, Clock::time_point deadline, Matches matches)
{
    for (;;) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(s.connection)) {
            XcbEvent event = Owned(raw);
            if (!NoteOwnerChange(s, *event) && matches(*event)) {
                return event;
            }
        }
        if (xcb_connection_has_error(s.connection) != 0) {
            throw PlatformError("the connection to the X display is lost");
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return Owned<xcb_generic_event_t>(nullptr);
        }
        pollfd descriptor{xcb_get_file_descriptor(s.connection), POLLIN, 0};
        ::poll(&descriptor, 1, static_cast<int>(left));
    }
}

// Answers that came after their read gave up are dropped; new owners are noted.
void DropLateAnswers(State& s)
{
    while (xcb_generic_event_t* raw = xcb_poll_for_event(s.connection)) {
        NoteOwnerChange(s, *Owned(raw));
    }
}

xcb_window_t SelectionOwner(State& s)
{
    const auto reply =
        Owned(xcb_get_selection_owner_reply(s.connection, xcb_get_selection_owner(s.connection, s.clipboard), nullptr));
    if (!reply) {
        throw PlatformError("the clipboard's owner cannot be read");
    }
    return reply->owner;
}

// Reads our property and deletes it, which also tells an owner sending in pieces to send the next one.
PropertyValue TakeProperty(State& s)
{
    const auto reply = Owned(xcb_get_property_reply(
        s.connection,
        xcb_get_property(s.connection, 1, s.requestor, s.property, XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4),
        nullptr));
    if (!reply) {
        throw PlatformError("the clipboard's text cannot be read");
    }
    const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply.get()));
    return {reply->type, reply->format, std::string(data, length)};
}

PropertyValue ReadInPieces(State& s)
{
    PropertyValue whole;
    const auto limit = Clock::now() + kIncrementalTransferLimit;
    for (;;) {
        const auto piece = WaitForEvent(s, std::min(Clock::now() + X11ClipboardReader::kAnswerDeadline, limit),
                                        [&](const xcb_generic_event_t& event) {
                                            if (EventType(event) != XCB_PROPERTY_NOTIFY) {
                                                return false;
                                            }
                                            const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
                                            return change.window == s.requestor && change.atom == s.property &&
                                                   change.state == XCB_PROPERTY_NEW_VALUE;
                                        });
        if (!piece) {
            throw PlatformError("the clipboard's owner stopped sending its text");
        }
        PropertyValue next = TakeProperty(s);
        if (next.bytes.empty()) {
            return whole;
        }
        if (whole.bytes.size() + next.bytes.size() > kLargestText) {
            throw PlatformError("the clipboard's text is too large");
        }
        whole.type = next.type;
        whole.format = next.format;
        whole.bytes += next.bytes;
    }
}

// Asks the owner for the clipboard as `target`; nothing when it has no such form.
std::optional<PropertyValue> Convert(State& s, xcb_atom_t target)
{
    xcb_delete_property(s.connection, s.requestor, s.property);
    xcb_convert_selection(s.connection, s.requestor, s.clipboard, target, s.property, XCB_CURRENT_TIME);
    xcb_flush(s.connection);

    const auto answer =
        WaitForEvent(s, Clock::now() + X11ClipboardReader::kAnswerDeadline, [&](const xcb_generic_event_t& event) {
            if (EventType(event) != XCB_SELECTION_NOTIFY) {
                return false;
            }
            const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
            return notify.requestor == s.requestor && notify.selection == s.clipboard;
        });
    if (!answer) {
        throw PlatformError("the clipboard's owner does not answer");
    }
    if (reinterpret_cast<const xcb_selection_notify_event_t&>(*answer).property == XCB_NONE) {
        return std::nullopt;
    }
    PropertyValue value = TakeProperty(s);
    if (value.type == s.incr) {
        return ReadInPieces(s);
    }
    return value;
}

static_assert(sizeof(xcb_atom_t) == sizeof(std::uint32_t));

// The forms the owner offers; nothing when it does not say.
std::optional<std::vector<std::uint32_t>> OfferedTargets(State& s)
{
    const auto value = Convert(s, s.targets);
    if (!value || value->format != 32) {
        return std::nullopt;
    }
    return WordsFromBytes(value->bytes);
}

std::u16string Decode(const State& s, const PropertyValue& value)
{
    if (value.type == s.utf8String) {
        return FromUtf8(value.bytes);
    }
    std::u16string latin1; // STRING is ISO 8859-1
    latin1.reserve(value.bytes.size());
    for (const char c : value.bytes) {
        latin1 += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
    return latin1;
}

void WatchOwnerChanges(State& s, xcb_window_t root)
{
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(s.connection, &xcb_xfixes_id);
    if (xfixes == nullptr || xfixes->present == 0) {
        return;
    }
    const auto version = Owned(xcb_xfixes_query_version_reply(
        s.connection, xcb_xfixes_query_version(s.connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
        nullptr));
    if (!version || version->major_version < 1) {
        return;
    }
    xcb_xfixes_select_selection_input(s.connection, root, s.clipboard,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(s.connection);
    s.ownerChangeEvent = static_cast<std::uint8_t>(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
}

} // namespace

X11ClipboardReader::X11ClipboardReader(std::unique_ptr<State> state) : state_(std::move(state)) {}
X11ClipboardReader::~X11ClipboardReader() = default;

std::unique_ptr<X11ClipboardReader> X11ClipboardReader::Connect()
{
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        return nullptr;
    }
    auto s = std::make_unique<State>();
    int screenNumber = 0;
    s->connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(s->connection) != 0) {
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(s->connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        return nullptr;
    }

    s->requestor = xcb_generate_id(s->connection);
    const std::uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(s->connection, XCB_COPY_FROM_PARENT, s->requestor, screens.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &eventMask);
    // Named, so that the window (and with it this connection) can be found among the display's clients.
    constexpr std::string_view kRequestorName = "vorda-dictionary clipboard reader";
    xcb_change_property(s->connection, XCB_PROP_MODE_REPLACE, s->requestor, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(kRequestorName.size()), kRequestorName.data());

    const std::array<std::string_view, 6> names{"CLIPBOARD", "TARGETS",         "UTF8_STRING",
                                                "INCR",      "VORDA_CLIPBOARD", "x-kde-passwordManagerHint"};
    std::array<xcb_intern_atom_cookie_t, names.size()> cookies{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        cookies[i] = xcb_intern_atom(s->connection, 0, static_cast<std::uint16_t>(names[i].size()), names[i].data());
    }
    std::array<xcb_atom_t, names.size()> atoms{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto reply = Owned(xcb_intern_atom_reply(s->connection, cookies[i], nullptr));
        if (!reply) {
            return nullptr;
        }
        atoms[i] = reply->atom;
    }
    s->clipboard = atoms[0];
    s->targets = atoms[1];
    s->utf8String = atoms[2];
    s->incr = atoms[3];
    s->property = atoms[4];
    s->passwordHint = atoms[5];
    WatchOwnerChanges(*s, screens.data->root);
    return std::unique_ptr<X11ClipboardReader>(new X11ClipboardReader(std::move(s)));
}

int X11ClipboardReader::FileDescriptor() const { return xcb_get_file_descriptor(state_->connection); }

bool X11ClipboardReader::Broken() const { return xcb_connection_has_error(state_->connection) != 0; }

bool X11ClipboardReader::NoticesChanges() const { return state_->ownerChangeEvent != 0; }

bool X11ClipboardReader::TakeChange()
{
    State& s = *state_;
    DropLateAnswers(s);
    const bool changed = s.changed;
    s.changed = false;
    return changed;
}

std::u16string X11ClipboardReader::ReadText()
{
    State& s = *state_;
    if (xcb_connection_has_error(s.connection) != 0) {
        throw PlatformError("the connection to the X display is lost");
    }
    DropLateAnswers(s);
    const xcb_window_t owner = SelectionOwner(s);
    if (owner == XCB_NONE) {
        return {};
    }
    // Asking first keeps a picture on the clipboard from being sent over at all.
    const auto offered = OfferedTargets(s);
    if (offered && std::find(offered->begin(), offered->end(), s.passwordHint) != offered->end()) {
        // A password is neither shown nor sent away; a mark that cannot be read is taken as one.
        const auto hint = Convert(s, s.passwordHint);
        if (!hint || hint->bytes == "secret") {
            return {};
        }
    }
    for (const xcb_atom_t target : {s.utf8String, xcb_atom_t{XCB_ATOM_STRING}}) {
        if (offered && std::find(offered->begin(), offered->end(), target) == offered->end()) {
            continue;
        }
        // Some owners send what they hold whatever was asked; only text typed as asked is text.
        if (const auto value = Convert(s, target); value && value->type == target) {
            return Decode(s, *value);
        }
    }
    // Text offered but not given is a failed read, asked again later: "no text" would stand until the
    // clipboard next changes owner.
    if (offered && std::find(offered->begin(), offered->end(), s.utf8String) != offered->end()) {
        throw PlatformError("the clipboard's owner offers text but does not give it");
    }
    return {}; // the owner has no text form: a picture, for instance
}

} // namespace vorda::qt
