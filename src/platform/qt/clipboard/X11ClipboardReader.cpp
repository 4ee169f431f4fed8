#include "platform/qt/clipboard/X11ClipboardReader.h"

#include "clipboard/ClipboardReadBudget.h"
#include "platform/Platform.h"
#include "text/ByteWords.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <poll.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorda::qt {
namespace {

using std::chrono::milliseconds;

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;
using XcbEvent = XcbReply<xcb_generic_event_t>;

template <typename T> XcbReply<T> Owned(T* reply) { return XcbReply<T>(reply, &std::free); }

struct PropertyValue {
    xcb_atom_t type = XCB_NONE;
    std::uint8_t format = 8; // bits per item
    ReceivedBytes received;
};

// Each question goes to a property of its own, in turn: an answer that comes after its question was
// given up lands beside the next question's, never in it.
constexpr std::size_t kPropertyCount = 4;

// How long the pieces of a transfer given up are still taken off the window (and dropped unread).
// Simple owners (xclip, xsel) serve one transfer at a time and would wait without end for a reader
// that stopped taking pieces, unable to give the text to anyone else; 10 s lets one finish several
// hundred megabytes, while an owner that sends without end is not followed for ever.
constexpr std::chrono::seconds kDrainFor{10};

} // namespace

struct X11ClipboardReader::State {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_NONE;
    xcb_window_t requestor = XCB_NONE; // an unmapped window of our own that receives the data
    xcb_atom_t clipboard = XCB_NONE;
    xcb_atom_t targets = XCB_NONE;
    xcb_atom_t passwordHint = XCB_NONE; // a password manager's mark on what it copies
    xcb_atom_t incr = XCB_NONE;
    std::array<xcb_atom_t, kX11TextForms.size()> textForms{}; // in kX11TextForms' order
    std::array<xcb_atom_t, kPropertyCount> properties{};      // where owners put what they send
    std::size_t nextProperty = 0;

    // The window of a transfer given up, whose pieces are dropped until drainUntil.
    xcb_window_t draining = XCB_NONE;
    xcb_atom_t drainingProperty = XCB_NONE;
    std::chrono::steady_clock::time_point drainUntil;

    // The question under way; every other answer is late and dropped.
    xcb_atom_t askedTarget = XCB_NONE;
    xcb_atom_t askedProperty = XCB_NONE;

    // XFixes tells of every new owner of the clipboard; without it every read counts as a change.
    std::uint8_t ownerChangeEvent = 0; // 0: no XFixes
    bool changed = false;
    std::uint64_t ownerChanges = 0;

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

const auto& AsSelectionNotify(const xcb_generic_event_t& event)
{
    return reinterpret_cast<const xcb_selection_notify_event_t&>(event);
}

// Named, so that the window (and with it this connection) can be found among the display's clients.
constexpr std::string_view kRequestorName = "vorda-dictionary clipboard reader";

void CreateRequestor(State& s)
{
    s.requestor = xcb_generate_id(s.connection);
    const std::uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(s.connection, XCB_COPY_FROM_PARENT, s.requestor, s.root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &eventMask);
    xcb_change_property(s.connection, XCB_PROP_MODE_REPLACE, s.requestor, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(kRequestorName.size()), kRequestorName.data());
}

// A transfer in pieces that is given up (cut, too slow, stopped) would go on into the same property:
// the owner sends its next piece whenever the property is deleted. Its window is left to drain (its
// pieces are deleted unread) and a new one asks the next questions.
void RetireRequestor(State& s, xcb_atom_t property)
{
    if (s.draining != XCB_NONE) {
        xcb_destroy_window(s.connection, s.draining);
    }
    s.draining = s.requestor;
    s.drainingProperty = property;
    // A piece read only in part is still there, and the owner waits for it to go.
    xcb_delete_property(s.connection, s.draining, property);
    s.drainUntil = std::chrono::steady_clock::now() + kDrainFor;
    CreateRequestor(s);
    xcb_flush(s.connection);
}

// Deletes a piece of a transfer given up, which the owner then follows with the next one, until the
// drain's time is up: then the window goes, and the owner's transfer with it. True for such a piece.
bool DrainedPiece(State& s, const xcb_generic_event_t& event)
{
    if (s.draining == XCB_NONE || EventType(event) != XCB_PROPERTY_NOTIFY) {
        return false;
    }
    const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    if (change.window != s.draining) {
        return false;
    }
    if (std::chrono::steady_clock::now() >= s.drainUntil) {
        xcb_destroy_window(s.connection, s.draining);
        s.draining = XCB_NONE;
    } else if (change.atom == s.drainingProperty && change.state == XCB_PROPERTY_NEW_VALUE) {
        xcb_delete_property(s.connection, s.draining, change.atom);
    }
    return true;
}

// Notes a new owner, drops a piece of a transfer given up, and drops a late answer: an owner's answer
// to a question given up, whose property is deleted so that the display does not keep its data. True
// for an event of none of these kinds.
bool IsForTheQuestion(State& s, const xcb_generic_event_t& event)
{
    if (DrainedPiece(s, event)) {
        return false;
    }
    if (s.ownerChangeEvent != 0 && EventType(event) == s.ownerChangeEvent) {
        s.changed = true;
        ++s.ownerChanges;
        return false;
    }
    if (EventType(event) != XCB_SELECTION_NOTIFY) {
        return true;
    }
    const auto& notify = AsSelectionNotify(event);
    const bool answersTheQuestion = notify.requestor == s.requestor && notify.selection == s.clipboard &&
                                    notify.target == s.askedTarget &&
                                    (notify.property == s.askedProperty || notify.property == XCB_NONE);
    if (!answersTheQuestion && notify.requestor == s.requestor && notify.property != XCB_NONE &&
        notify.property != s.askedProperty) {
        xcb_delete_property(s.connection, s.requestor, notify.property);
    }
    return answersTheQuestion;
}

// What woke a wait: the event sought, nothing in time, or a stop (the program ends, a new owner).
struct Woken {
    XcbEvent event = Owned<xcb_generic_event_t>(nullptr);
    bool stopped = false;
};

// Waits at most `wait` for the first event that `matches`, dropping the others.
template <typename Matches> Woken WaitForEvent(State& s, int stop, milliseconds wait, Matches matches)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(s.connection)) {
            XcbEvent event = Owned(raw);
            if (IsForTheQuestion(s, *event) && matches(*event)) {
                return {std::move(event), false};
            }
        }
        if (s.changed) {
            return {Owned<xcb_generic_event_t>(nullptr), true};
        }
        if (xcb_connection_has_error(s.connection) != 0) {
            throw PlatformError("the connection to the X display is lost");
        }
        const auto left =
            std::chrono::ceil<milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left <= milliseconds{0}) {
            return {};
        }
        xcb_flush(s.connection); // the late answers' deletions go out too
        std::array<pollfd, 2> descriptors{pollfd{xcb_get_file_descriptor(s.connection), POLLIN, 0},
                                          pollfd{stop, POLLIN, 0}};
        ::poll(descriptors.data(), descriptors.size(), WaitMilliseconds(left));
        if ((descriptors[1].revents & POLLIN) != 0) {
            return {Owned<xcb_generic_event_t>(nullptr), true};
        }
    }
}

// Answers that came after their question was given up are dropped; new owners are noted.
void DropLateAnswers(State& s)
{
    while (xcb_generic_event_t* raw = xcb_poll_for_event(s.connection)) {
        IsForTheQuestion(s, *Owned(raw));
    }
    xcb_flush(s.connection);
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

// Reads at most `most` bytes of our property and deletes it when that is all of it, which also tells
// an owner sending in pieces to send the next one. `more`: the property holds more than was read.
PropertyValue TakeProperty(State& s, xcb_atom_t property, std::size_t most, bool& more)
{
    const auto words = static_cast<std::uint32_t>(std::min<std::size_t>((most + 3) / 4, UINT32_MAX / 4));
    const auto reply = Owned(xcb_get_property_reply(
        s.connection, xcb_get_property(s.connection, 1, s.requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0, words),
        nullptr));
    if (!reply) {
        throw PlatformError("the clipboard's text cannot be read");
    }
    const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const auto length = std::min(most, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    more = reply->bytes_after != 0 || length < static_cast<std::size_t>(xcb_get_property_value_length(reply.get()));
    return {reply->type, reply->format, {std::string(data, length), false}};
}

// The pieces of a large text: each one a new value of the property, the end an empty one.
class PiecesTransfer final : public TextTransfer {
public:
    PiecesTransfer(State& s, int stop, xcb_atom_t property) : s_(s), stop_(stop), property_(property) {}

    xcb_atom_t type = XCB_NONE;
    std::uint8_t format = 8;

    Next NextPiece(milliseconds timeout, std::size_t most, std::string& bytes) override
    {
        const Woken woken = WaitForEvent(s_, stop_, timeout, [&](const xcb_generic_event_t& event) {
            if (EventType(event) != XCB_PROPERTY_NOTIFY) {
                return false;
            }
            const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            return change.window == s_.requestor && change.atom == property_ && change.state == XCB_PROPERTY_NEW_VALUE;
        });
        if (woken.stopped) {
            return Next::Stopped;
        }
        if (!woken.event) {
            return Next::TimedOut;
        }
        bool more = false;
        PropertyValue piece = TakeProperty(s_, property_, most, more);
        if (piece.received.bytes.empty() && !more) {
            return Next::Ended;
        }
        type = piece.type;
        format = piece.format;
        bytes += piece.received.bytes;
        return Next::Piece;
    }

private:
    State& s_;
    int stop_;
    xcb_atom_t property_;
};

// Asks the owner for the clipboard as `target`; nothing when it has no such form.
std::optional<PropertyValue> Convert(State& s, const ClipboardRead& read, int stop, xcb_atom_t target)
{
    struct Asked { // once the question is over, any answer to it is late
        State& s;
        ~Asked() { s.askedTarget = s.askedProperty = XCB_NONE; }
    } asked{s};
    s.askedTarget = target;
    s.askedProperty = s.properties[s.nextProperty++ % s.properties.size()];
    xcb_delete_property(s.connection, s.requestor, s.askedProperty);
    xcb_convert_selection(s.connection, s.requestor, s.clipboard, target, s.askedProperty, XCB_CURRENT_TIME);
    xcb_flush(s.connection);

    const Woken answer = WaitForEvent(s, stop, read.NextWait(), [](const xcb_generic_event_t& event) {
        return EventType(event) == XCB_SELECTION_NOTIFY; // one that answers the question
    });
    if (answer.stopped) {
        throw ReadStopped("the read of the clipboard was stopped");
    }
    if (!answer.event) {
        throw PlatformError("the clipboard's owner does not answer");
    }
    if (AsSelectionNotify(*answer.event).property == XCB_NONE) {
        return std::nullopt;
    }
    bool more = false;
    PropertyValue value = TakeProperty(s, s.askedProperty, read.Budget().mostBytes, more);
    if (value.type != s.incr) {
        if (more) { // the first part of a text that came whole: the rest is not kept on the display
            xcb_delete_property(s.connection, s.requestor, s.askedProperty);
            value.received.cut = true;
        }
        return value;
    }
    PiecesTransfer pieces(s, stop, s.askedProperty);
    try {
        value.received = read.Receive(pieces);
    } catch (...) {
        RetireRequestor(s, s.askedProperty);
        throw;
    }
    if (value.received.cut) {
        RetireRequestor(s, s.askedProperty);
    }
    value.type = pieces.type;
    value.format = pieces.format;
    return value;
}

static_assert(sizeof(xcb_atom_t) == sizeof(std::uint32_t));

// The forms the owner offers; nothing when it does not say.
std::optional<std::vector<std::uint32_t>> OfferedTargets(State& s, const ClipboardRead& read, int stop)
{
    const auto value = Convert(s, read, stop, s.targets);
    if (!value || value->format != 32) {
        return std::nullopt;
    }
    return WordsFromBytes(value->received.bytes);
}

// The password mark's value; nothing when it is refused or does not come in time.
std::optional<std::string> PasswordHint(State& s, const ClipboardRead& read, int stop)
{
    try {
        if (auto value = Convert(s, read, stop, s.passwordHint)) {
            return std::move(value->received.bytes);
        }
    } catch (const ReadStopped&) {
        throw;
    } catch (const PlatformError&) {
    }
    return std::nullopt;
}

// Whether the owner, offering `offered`, marks its copy as a password.
bool OfferMarksSecret(State& s, const ClipboardRead& read, int stop, const std::optional<std::vector<std::uint32_t>>& offered)
{
    return offered && std::find(offered->begin(), offered->end(), s.passwordHint) != offered->end() &&
           PasswordHintMarksSecret(PasswordHint(s, read, stop));
}

// The connection, fit for a question to the clipboard's owner.
void CheckConnection(State& s)
{
    if (xcb_connection_has_error(s.connection) != 0) {
        throw PlatformError("the connection to the X display is lost");
    }
    DropLateAnswers(s);
}

void WatchOwnerChanges(State& s)
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
    xcb_xfixes_select_selection_input(s.connection, s.root, s.clipboard,
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

    s->root = screens.data->root;
    CreateRequestor(*s);

    std::vector<std::string> names{"CLIPBOARD", "TARGETS", "INCR", std::string(kPasswordHintForm)};
    for (const TextForm& form : kX11TextForms) {
        names.emplace_back(form.name);
    }
    for (std::size_t i = 0; i < kPropertyCount; ++i) {
        names.push_back("VORDA_CLIPBOARD_" + std::to_string(i));
    }
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const std::string& name : names) {
        cookies.push_back(xcb_intern_atom(s->connection, 0, static_cast<std::uint16_t>(name.size()), name.data()));
    }
    std::vector<xcb_atom_t> atoms;
    for (const auto cookie : cookies) {
        const auto reply = Owned(xcb_intern_atom_reply(s->connection, cookie, nullptr));
        if (!reply) {
            return nullptr;
        }
        atoms.push_back(reply->atom);
    }
    auto next = atoms.begin();
    s->clipboard = *next++;
    s->targets = *next++;
    s->incr = *next++;
    s->passwordHint = *next++;
    std::copy_n(next, s->textForms.size(), s->textForms.begin());
    std::copy_n(next + static_cast<std::ptrdiff_t>(s->textForms.size()), s->properties.size(), s->properties.begin());
    WatchOwnerChanges(*s);
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

std::uint64_t X11ClipboardReader::OwnerChanges()
{
    DropLateAnswers(*state_);
    return state_->ownerChanges;
}

namespace {

// The text of the owner's first text form that it offers (all of them when it does not say what it
// offers); "" when it has none.
std::u16string OfferedText(State& s, const ClipboardRead& read, int stop, const std::optional<std::vector<std::uint32_t>>& offered)
{
    const auto offers = [&](xcb_atom_t form) {
        return !offered || std::find(offered->begin(), offered->end(), form) != offered->end();
    };
    for (std::size_t i = 0; i < kX11TextForms.size(); ++i) {
        const xcb_atom_t form = s.textForms[i];
        if (!offers(form)) {
            continue;
        }
        // Some owners send what they hold whatever was asked; only text typed as asked is text.
        if (const auto value = Convert(s, read, stop, form); value && value->type == form) {
            return DecodeText(value->received.bytes, kX11TextForms[i].encoding, value->received.cut);
        }
    }
    // Text offered but not given is a failed read, asked again later: "no text" would stand until the
    // clipboard next changes owner.
    if (offered && offers(s.textForms[0])) {
        throw PlatformError("the clipboard's owner offers text but does not give it");
    }
    return {}; // the owner has no text form: a picture, for instance
}

} // namespace

bool X11ClipboardReader::MarksSecret(const ClipboardRead& read, int stopDescriptor)
{
    State& s = *state_;
    CheckConnection(s);
    return SelectionOwner(s) != XCB_NONE && OfferMarksSecret(s, read, stopDescriptor, OfferedTargets(s, read, stopDescriptor));
}

std::u16string X11ClipboardReader::ReadMarkedText(const ClipboardRead& read, int stopDescriptor)
{
    State& s = *state_;
    CheckConnection(s);
    if (SelectionOwner(s) == XCB_NONE) {
        return {};
    }
    return OfferedText(s, read, stopDescriptor, OfferedTargets(s, read, stopDescriptor));
}

std::u16string X11ClipboardReader::ReadText(const ClipboardRead& read, int stopDescriptor)
{
    State& s = *state_;
    CheckConnection(s);
    if (SelectionOwner(s) == XCB_NONE) {
        return {};
    }
    // Asking first keeps a picture on the clipboard from being sent over at all.
    const auto offered = OfferedTargets(s, read, stopDescriptor);
    if (OfferMarksSecret(s, read, stopDescriptor, offered)) {
        return {}; // a password is neither shown nor sent away
    }
    return OfferedText(s, read, stopDescriptor, offered);
}

} // namespace vorda::qt
