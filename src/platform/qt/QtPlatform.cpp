#include "platform/qt/QtPlatform.h"

#include "platform/qt/session/AutostartRegistry.h"
#include "platform/qt/session/Boxes.h"
#include "platform/qt/session/TerminationSignals.h"
#include "platform/qt/clipboard/ClipboardWatcher.h"
#include "platform/qt/tray/PopupPlacement.h"
#include "platform/qt/tray/TrayIcon.h"
#include "platform/qt/tray/TrayPictures.h"
#include "platform/qt/tray/X11WorkArea.h"
#include "platform/PlatformNumbers.h"
#include "tray/TrayRecordFields.h"
#include "text/Utf16.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QProcess>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>

#include <xcb/xcb.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

namespace vorda::qt {
namespace {

// Handles the program only carries around; nothing else knows them.
constexpr WindowHandle kMainWindow = 1;
constexpr IconHandle kTextIcon = 1;
constexpr IconHandle kNoTextIcon = 2;

constexpr std::intptr_t kShellStarted = 42;      // anything above 32 means success
constexpr std::intptr_t kShellFileNotFound = 2;

QString ToQString(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

// A caption of "-" makes the item a separator line; a separator with a text would show it as a heading.
void SetCaption(QAction& action, std::u16string_view caption)
{
    const bool separator = caption == u"-";
    action.setSeparator(separator);
    action.setText(separator ? QString() : ToQString(caption));
}

} // namespace

struct QtPlatformState {
    WindowEvents* events = nullptr;
    std::int16_t scaleMode = 0;

    std::unique_ptr<QMenu> popup;
    std::map<MenuItem, QAction*> menuActions; // owned by the popup
    // As last set: five times a second mostly the same, compared before anything is converted.
    std::array<std::u16string, kMenuItemCount> menuCaptions;
    std::array<std::optional<bool>, kMenuItemCount> menuEnabled;
    std::map<TimerId, std::unique_ptr<QTimer>> timers;
    std::optional<QPoint> popupAt; // where a tray host asked for the popup, instead of at the pointer

    std::map<IconHandle, QIcon> icons;
    std::unique_ptr<TrayIcon> tray;
    IconHandle trayIconShown = 0;
    std::optional<TrayRecordBytes> trayRecordShown; // as last taken by the tray

    std::unique_ptr<ClipboardWatcher> clipboardWatcher;
    AutostartRegistry registry;
    std::unique_ptr<TerminationSignals> terminationSignals;
};

QtPlatform::QtPlatform() : state_(std::make_unique<QtPlatformState>())
{
    // On a desktop's display; the platforms for tests and off-screen use have no clipboard to follow.
    if (const QString platform = QGuiApplication::platformName();
        platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"))) {
        state_->clipboardWatcher = ClipboardWatcher::Start();
    }
    QApplication::setWindowIcon(TrayIconOf(QStringLiteral(":/icons/text.ico")));
}

QtPlatform::~QtPlatform() = default;

// --- The window -----------------------------------------------------------------------------------

void QtPlatform::CreateMainWindow(const WindowDefinition& window, WindowEvents& events)
{
    QtPlatformState& s = *state_;
    s.events = &events;
    s.scaleMode = window.scaleMode;

    s.popup = std::make_unique<QMenu>();
    for (const MenuItemDefinition& definition : window.menu) {
        if (definition.level == 0) {
            s.popup->setTitle(ToQString(definition.caption)); // the popup is this item's submenu
            continue;
        }
        QAction* action = s.popup->addAction(QString());
        SetCaption(*action, definition.caption);
        s.menuCaptions.at(static_cast<std::size_t>(definition.item)) = definition.caption;
        action->setEnabled(definition.enabled);
        s.menuEnabled.at(static_cast<std::size_t>(definition.item)) = definition.enabled;
        action->setData(static_cast<int>(definition.item));
        s.menuActions[definition.item] = action;
    }

    for (const TimerDefinition& definition : window.timers) {
        auto timer = std::make_unique<QTimer>();
        timer->setInterval(static_cast<int>(definition.periodMs));
        QObject::connect(timer.get(), &QTimer::timeout, [&s, id = definition.id] { s.events->OnTimer(id); });
        if (definition.enabled) {
            timer->start();
        }
        s.timers[definition.id] = std::move(timer);
    }

    s.tray = std::make_unique<TrayIcon>(*s.popup, TrayIcon::Events{
        [&s](std::int32_t eventNumber) { s.events->OnTrayEvent(eventNumber); },
        [&s](QPoint at) {
            s.popupAt = at;
            s.events->OnTrayEvent(kTrayEventRightButtonUp);
            s.popupAt.reset();
        },
        [&s](int id) {
            if (id > 0 && static_cast<std::size_t>(id) < kMenuItemCount) {
                s.events->OnMenuItemChosen(static_cast<MenuItem>(id));
            }
        },
    });

    // The window is closed from outside at the end of the session and on a termination signal.
    auto* application = qApp;
    QObject::connect(application, &QCoreApplication::aboutToQuit, [this] { UnloadFromOutside(); });
#if QT_CONFIG(sessionmanager)
    // A save request is not the end: the session manager asks it at checkpoints too, and a log-out
    // may still be cancelled. The end comes as the application's quit, above.
    QObject::connect(application, &QGuiApplication::commitDataRequest, [](QSessionManager& manager) {
        // The autostart entry starts the program with the next session; a restored copy would be a second one.
        manager.setRestartHint(QSessionManager::RestartNever);
    });
#endif
    s.terminationSignals = std::make_unique<TerminationSignals>([this] { UnloadFromOutside(); });
}

WindowHandle QtPlatform::MainWindowHandle()
{
    if (state_->events == nullptr) {
        throw PlatformError("the main window does not exist");
    }
    return kMainWindow;
}

IconHandle QtPlatform::MainWindowIcon() { return KeepIcon(kTextIcon, QStringLiteral(":/icons/text.ico")); }

IconHandle QtPlatform::LoadIconWindow(const IconWindowDefinition& /*window: never shown, only its icon counts*/)
{
    return KeepIcon(kNoTextIcon, QStringLiteral(":/icons/notext.ico"));
}

IconHandle QtPlatform::KeepIcon(IconHandle handle, const QString& path)
{
    auto& icons = state_->icons;
    if (!icons.contains(handle)) {
        const QIcon icon = TrayIconOf(path);
        if (icon.isNull()) {
            throw PlatformError("an icon cannot be loaded");
        }
        icons[handle] = icon;
    }
    return handle;
}

std::int16_t QtPlatform::ScaleMode()
{
    if (state_->events == nullptr) {
        throw PlatformError("the main window does not exist");
    }
    return state_->scaleMode;
}

float QtPlatform::TwipsPerPixelX()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dotsPerInch = screen != nullptr ? screen->logicalDotsPerInchX() : 0.0;
    if (dotsPerInch <= 0.0) {
        throw PlatformError("the screen's resolution cannot be read");
    }
    return static_cast<float>(1440.0 / dotsPerInch);
}

void QtPlatform::SetTimerEnabled(TimerId timer, bool enabled)
{
    const auto found = state_->timers.find(timer);
    if (found == state_->timers.end()) {
        return;
    }
    if (enabled) {
        found->second->start();
    } else {
        found->second->stop();
    }
}

// A tray host that restarts finds the item by itself (StatusNotifierItem) or takes the icon back from
// Qt (XEmbed); no message needs letting through.
bool QtPlatform::ChangeWindowMessageFilterEx(WindowHandle /*window*/, std::string_view /*messageName*/,
                                             std::uint32_t /*action*/)
{
    return true;
}

// --- The popup menu -------------------------------------------------------------------------------

void QtPlatform::SetMenuCaption(MenuItem item, std::u16string_view caption)
{
    std::u16string& shown = state_->menuCaptions.at(static_cast<std::size_t>(item));
    if (shown == caption) {
        return;
    }
    if (const auto found = state_->menuActions.find(item); found != state_->menuActions.end()) {
        SetCaption(*found->second, caption);
        shown = caption;
    }
}

void QtPlatform::SetMenuEnabled(MenuItem item, bool enabled)
{
    std::optional<bool>& shown = state_->menuEnabled.at(static_cast<std::size_t>(item));
    if (shown == enabled) {
        return;
    }
    if (const auto found = state_->menuActions.find(item); found != state_->menuActions.end()) {
        found->second->setEnabled(enabled);
        shown = enabled;
    }
}

namespace {

// Native X pixels to Qt's on `screen`: Qt keeps a screen's top-left corner and scales from there.
QRect ToLogical(const QRect& native, const QScreen& screen)
{
    const qreal ratio = screen.devicePixelRatio();
    if (ratio <= 0 || ratio == 1) {
        return native;
    }
    const QPointF origin = screen.geometry().topLeft();
    return QRectF(origin + (QPointF(native.topLeft()) - origin) / ratio, QSizeF(native.size()) / ratio).toAlignedRect();
}

// Each screen with its work area: Qt's, and on X the window manager's as well, which Qt's screens
// leave out where there are several.
QList<qt::PopupScreen> PopupScreens()
{
    const std::optional<QRect> x11Area = qt::X11WorkArea();
    QList<qt::PopupScreen> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        QRect area = screen->availableGeometry();
        if (x11Area) {
            area &= ToLogical(*x11Area, *screen);
        }
        screens.append({screen->geometry(), area});
    }
    return screens;
}

// A tick that changes the captions while the popup is open (the first one after the start, or a copy
// made meanwhile) resizes it where it stands, over the screen's edge: it is placed again for its new
// size, about the same point.
class PopupKeeper final : public QObject
{
public:
    PopupKeeper(QMenu& popup, QPoint at) : popup_(popup), at_(at) { popup_.installEventFilter(this); }
    ~PopupKeeper() override { popup_.removeEventFilter(this); }
    PopupKeeper(const PopupKeeper&) = delete;
    PopupKeeper& operator=(const PopupKeeper&) = delete;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &popup_ && event->type() == QEvent::Resize && popup_.isVisible()) {
            const QPoint corner = qt::PopupPosition(at_, popup_.size(), PopupScreens());
            if (corner != popup_.pos()) {
                popup_.move(corner);
            }
        }
        return false;
    }

private:
    QMenu& popup_;
    QPoint at_;
};

} // namespace

std::optional<MenuItem> QtPlatform::ShowPopupMenu()
{
    QMenu* popup = state_->popup.get();
    if (popup == nullptr || popup->isVisible()) {
        throw PlatformError("the popup cannot be shown");
    }
    // The final corner is worked out here and handed to Qt as it is: it then fits wherever Qt itself
    // would move it, so the popup opens there each time.
    popup->ensurePolished();
    const QPoint anchor = state_->popupAt.value_or(QCursor::pos());
    const PopupKeeper keeper(*popup, anchor);
    const QAction* chosen = popup->exec(qt::PopupPosition(anchor, popup->sizeHint(), PopupScreens()));
    if (chosen == nullptr) {
        return std::nullopt;
    }
    return static_cast<MenuItem>(chosen->data().toInt());
}

// --- The notification area ------------------------------------------------------------------------

bool QtPlatform::ShellNotifyIcon(std::uint32_t message, const TrayRecordBytes& record)
{
    QtPlatformState& s = *state_;
    if (!s.tray) {
        return false;
    }
    if (message == kTrayDelete) {
        const bool wasShown = s.tray->IsShown();
        s.tray->Hide();
        s.trayRecordShown.reset();
        return wasShown;
    }
    if ((message != kTrayAdd && message != kTrayModify) || (message == kTrayModify && !s.tray->IsShown())) {
        return false;
    }
    // The program sends the same record five times a second; an unchanged one changes nothing.
    if (message == kTrayModify && s.trayRecordShown == record) {
        return true;
    }
    const TrayRecordFields fields = ReadTrayRecord(record);
    const IconHandle handle = fields.hIcon;
    const auto icon = s.icons.find(handle);
    if (icon == s.icons.end()) {
        return false;
    }
    // The program sends the same record five times a second; an unchanged icon is not sent on again.
    if (handle != s.trayIconShown) {
        s.tray->SetIcon(icon->second);
        s.trayIconShown = handle;
    }
    if (const QString tip = ToQString(FromUtf8(fields.szTip)); tip != s.tray->ToolTip()) {
        s.tray->SetToolTip(tip);
    }
    s.trayRecordShown = record;
    if (message == kTrayAdd) {
        s.tray->Show();
        return TrayIcon::TrayIsPresent();
    }
    return true;
}

// --- Text, clipboard and browser ------------------------------------------------------------------

// Linux's narrow text is UTF-8: file names, desktop entries and the tooltip field keep every letter.
std::string QtPlatform::ToAnsi(std::u16string_view text) { return ToUtf8(text); }

ClipboardContents QtPlatform::ClipboardText(ClipboardUse use)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    // Our own text (typed into the input box and copied) Qt has at hand.
    if (!state_->clipboardWatcher || clipboard->ownsClipboard()) {
        return std::make_shared<const std::u16string>(clipboard->text().toStdU16String());
    }
    return state_->clipboardWatcher->Text(use);
}

std::intptr_t QtPlatform::ShellExecuteA(WindowHandle /*owner*/, std::string_view /*operation*/, std::string_view file,
                                       std::string_view /*parameters*/, std::string_view /*directory*/,
                                       int /*showCommand*/)
{
    // The address goes to xdg-open as it is: Qt's own openUrl would parse and re-encode it first.
    const bool started = QProcess::startDetached(QStringLiteral("xdg-open"), {ToQString(FromUtf8(file))});
    return started ? kShellStarted : kShellFileNotFound;
}

// --- The registry ---------------------------------------------------------------------------------

std::int32_t QtPlatform::RegOpenKeyExA(std::uint32_t root, std::string_view subKey, std::uint32_t /*options*/,
                                      std::uint32_t access, RegistryKey& key)
{
    return state_->registry.Open(root, subKey, key, access);
}

std::int32_t QtPlatform::RegSetValueExA(RegistryKey key, std::string_view valueName, std::uint32_t /*reserved*/,
                                       std::uint32_t type, std::span<const std::uint8_t> data)
{
    return state_->registry.SetValue(key, valueName, type, data);
}

std::int32_t QtPlatform::RegDeleteValueA(RegistryKey key, std::string_view valueName)
{
    return state_->registry.DeleteValue(key, valueName);
}

std::int32_t QtPlatform::RegCloseKey(RegistryKey key) { return state_->registry.Close(key); }

std::int32_t QtPlatform::RegQueryValueExA(RegistryKey key, std::string_view valueName, std::uint32_t& type,
                                         std::span<std::uint8_t> data, std::uint32_t& size)
{
    return state_->registry.QueryValue(key, valueName, type, data, size);
}

// --- Boxes ----------------------------------------------------------------------------------------

int QtPlatform::ShowMessageBox(std::u16string_view prompt, unsigned style, std::u16string_view title)
{
    return qt::ShowMessageBox(ToQString(prompt), style, ToQString(title));
}

std::u16string QtPlatform::InputBox(std::u16string_view prompt, std::u16string_view title,
                                    std::u16string_view initialText)
{
    return AskForText(ToQString(prompt), ToQString(title), ToQString(initialText)).value_or(QString()).toStdU16String();
}

// --- The program ----------------------------------------------------------------------------------

std::u16string QtPlatform::ApplicationFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !program.has_parent_path()) {
        throw PlatformError("the program's file cannot be found");
    }
    return FromUtf8(program.parent_path().string());
}

std::u16string QtPlatform::ProgramFileName() { return u"vorda-dictionary"; }

char16_t QtPlatform::PathSeparator() { return u'/'; }

void QtPlatform::DoEvents() { QCoreApplication::processEvents(); }

void QtPlatform::EndProgram()
{
    // The icon's removal must reach the display server before the process and its connection go.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_connection_t* connection = x11->connection();
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
    std::fflush(nullptr);
    std::_Exit(0);
}

int QtPlatform::RunEventLoop() { return QApplication::exec(); }

void QtPlatform::UnloadFromOutside()
{
    if (state_->events != nullptr) {
        state_->events->OnUnload();
    }
    EndProgram();
}

} // namespace vorda::qt
