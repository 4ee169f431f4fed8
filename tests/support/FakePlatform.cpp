#include "FakePlatform.h"

#include "app/FormDefinitions.h"
#include "autostart/AutoStart.h"
#include "text/Utf16.h"

#include <algorithm>
#include <new>
#include <utility>

namespace vorda::test {
namespace {

const std::string kRunKeyNarrow = ToUtf8(kRunKey);

} // namespace

std::string NameOf(MenuItem item) { return std::string(MenuDefinitionOf(item).name); }

std::string NameOf(TimerId timer) { return timer == TimerId::tmrCheckClipboard ? "tmrCheckClipboard" : "tmrSetHomePage"; }

std::vector<std::string> FakePlatform::LogOf(std::string_view prefix) const
{
    std::vector<std::string> lines;
    std::copy_if(log.begin(), log.end(), std::back_inserter(lines),
                 [&](const std::string& line) { return line.starts_with(prefix); });
    return lines;
}

std::vector<std::string> FakePlatform::OpenedAddresses() const
{
    std::vector<std::string> addresses;
    for (const auto& launch : launches) {
        addresses.push_back(launch.file);
    }
    return addresses;
}

void FakePlatform::CreateMainWindow(const WindowDefinition& window, WindowEvents& windowEvents)
{
    if (recording) {
        log.push_back("CreateMainWindow " + ToUtf8(window.title));
    }
    events = &windowEvents;
    for (const auto& item : window.menu) {
        captions[item.item] = std::u16string(item.caption);
        enabled[item.item] = item.enabled;
    }
    for (const auto& timer : window.timers) {
        timerEnabled[timer.id] = timer.enabled;
    }
}

bool FakePlatform::ChangeWindowMessageFilterEx(WindowHandle window, std::string_view messageName,
                                               std::uint32_t action)
{
    if (recording) {
        log.push_back("ChangeWindowMessageFilterEx " + std::to_string(window) + " " + std::string(messageName) + " " +
                      std::to_string(action));
    }
    return true;
}

WindowHandle FakePlatform::MainWindowHandle()
{
    if (recording) {
        log.emplace_back("MainWindowHandle");
    }
    if (windowHandleFails) {
        throw PlatformError("window handle cannot be read");
    }
    return kWindowHandle;
}

IconHandle FakePlatform::MainWindowIcon()
{
    if (recording) {
        log.emplace_back("MainWindowIcon");
    }
    if (iconAllocationFails) {
        throw std::bad_alloc();
    }
    return kTextIcon;
}

IconHandle FakePlatform::LoadIconWindow(const IconWindowDefinition& window)
{
    if (recording) {
        log.push_back("LoadIconWindow " + ToUtf8(window.title));
    }
    ++iconWindowLoads;
    return kNoTextIcon;
}

std::int16_t FakePlatform::ScaleMode()
{
    if (scaleModeFails) {
        throw PlatformError("scale mode cannot be read");
    }
    return scaleMode;
}

float FakePlatform::TwipsPerPixelX() { return twipsPerPixel; }

void FakePlatform::SetTimerEnabled(TimerId timer, bool on)
{
    if (recording) {
        log.push_back("SetTimerEnabled " + NameOf(timer) + (on ? " on" : " off"));
    }
    timerEnabled[timer] = on;
}

void FakePlatform::SetMenuCaption(MenuItem item, std::u16string_view caption)
{
    if (recording) {
        log.push_back("SetMenuCaption " + NameOf(item) + " " + ToUtf8(caption));
    }
    captions[item] = std::u16string(caption);
}

void FakePlatform::SetMenuEnabled(MenuItem item, bool on)
{
    if (recording) {
        log.push_back("SetMenuEnabled " + NameOf(item) + (on ? " on" : " off"));
    }
    enabled[item] = on;
}

std::optional<MenuItem> FakePlatform::ShowPopupMenu()
{
    if (recording) {
        log.emplace_back("ShowPopupMenu");
    }
    return popupChoice;
}

bool FakePlatform::ShellNotifyIcon(std::uint32_t message, const TrayRecordBytes& record)
{
    if (recording) {
        log.push_back("ShellNotifyIcon " + std::to_string(message));
        trayRequests.push_back({message, record});
    }
    lastTrayRequest = TrayRequest{message, record};
    ++trayRequestCount;
    if (!trayKeepsIcon || !trayAccepts) {
        return trayAccepts;
    }
    switch (message) {
    case 0:
        if (iconInTray) {
            return false; // Windows refuses a second add of the same icon
        }
        if (addsRefused > 0) {
            --addsRefused;
            return false;
        }
        iconInTray = true;
        return true;
    case 1: return iconInTray;
    case 2: return std::exchange(iconInTray, false);
    default: return false;
    }
}

std::string FakePlatform::ToAnsi(std::u16string_view text) { return toAnsi ? toAnsi(text) : ToWindows1252(text); }

ClipboardContents FakePlatform::ClipboardText(ClipboardUse use)
{
    if (recording) {
        clipboardUses.push_back(use);
        log.emplace_back("ClipboardText");
    }
    if (clipboardAllocationFails) {
        throw std::bad_alloc();
    }
    if (!clipboard) {
        throw PlatformError("clipboard cannot be opened");
    }
    return std::make_shared<const std::u16string>(*clipboard);
}

std::intptr_t FakePlatform::ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                                         std::string_view parameters, std::string_view directory, int showCommand)
{
    if (recording) {
        log.push_back("ShellExecute " + std::string(file));
        launches.push_back({owner, std::string(operation), std::string(file), std::string(parameters),
                            std::string(directory), showCommand});
    }
    ++launchCount;
    return 42;
}

FakePlatform::Refusal FakePlatform::RefusalOf(std::uint32_t root) const
{
    const auto found = refusals.find(root);
    return found == refusals.end() ? Refusal::None : found->second;
}

std::map<std::string, StoredValue>& FakePlatform::ValuesOf(std::uint32_t root)
{
    return root == kCurrentUserKey ? userRunKey : runKey;
}

std::int32_t FakePlatform::RegOpenKeyExA(std::uint32_t root, std::string_view subKey, std::uint32_t options,
                                        std::uint32_t access, RegistryKey& key)
{
    if (recording) {
        log.push_back("RegOpenKeyEx " + std::to_string(root) + " " + std::string(subKey) + " " +
                      std::to_string(options) + " " + std::to_string(access));
    }
    const Refusal refusal = RefusalOf(root);
    if (registryDenied || refusal == Refusal::Read || (refusal == Refusal::Open && (access & kSetValueAccess) != 0)) {
        return kErrorAccessDenied;
    }
    if ((root != kLocalMachineKey && root != kCurrentUserKey) || subKey != kRunKeyNarrow) {
        return kErrorFileNotFound;
    }
    key = nextKey_++;
    openKeys_[key] = {root, access};
    return 0;
}

std::int32_t FakePlatform::RegSetValueExA(RegistryKey key, std::string_view valueName, std::uint32_t reserved,
                                         std::uint32_t type, std::span<const std::uint8_t> data)
{
    if (recording) {
        log.push_back("RegSetValueEx " + std::to_string(key) + " " + std::string(valueName) + " " +
                      std::to_string(reserved) + " " + std::to_string(type) + " " + std::to_string(data.size()));
    }
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kErrorInvalidHandle;
    }
    if (RefusalOf(open->second.root) == Refusal::Write || (open->second.access & kSetValueAccess) == 0) {
        return kErrorAccessDenied;
    }
    ValuesOf(open->second.root)[std::string(valueName)] = {type, {data.begin(), data.end()}};
    return 0;
}

std::int32_t FakePlatform::RegDeleteValueA(RegistryKey key, std::string_view valueName)
{
    if (recording) {
        log.push_back("RegDeleteValue " + std::to_string(key) + " " + std::string(valueName));
    }
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kErrorInvalidHandle;
    }
    const Refusal refusal = RefusalOf(open->second.root);
    if (refusal == Refusal::Write || refusal == Refusal::Delete || (open->second.access & kSetValueAccess) == 0) {
        return kErrorAccessDenied;
    }
    return ValuesOf(open->second.root).erase(std::string(valueName)) == 1 ? 0 : kErrorFileNotFound;
}

std::int32_t FakePlatform::RegCloseKey(RegistryKey key)
{
    if (recording) {
        log.push_back("RegCloseKey " + std::to_string(key));
    }
    return openKeys_.erase(key) == 1 ? 0 : kErrorInvalidHandle;
}

std::int32_t FakePlatform::RegQueryValueExA(RegistryKey key, std::string_view valueName, std::uint32_t& type,
                                           std::span<std::uint8_t> data, std::uint32_t& size)
{
    if (recording) {
        log.push_back("RegQueryValueEx " + std::to_string(key) + " " + std::string(valueName) + " " +
                      std::to_string(data.size()));
    }
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kErrorInvalidHandle;
    }
    if ((open->second.access & kQueryValueAccess) == 0) {
        return kErrorAccessDenied;
    }
    const auto& values = ValuesOf(open->second.root);
    const auto value = values.find(std::string(valueName));
    if (value == values.end()) {
        return kErrorFileNotFound;
    }
    type = value->second.type;
    size = static_cast<std::uint32_t>(value->second.data.size());
    if (value->second.data.size() > data.size()) {
        return kErrorMoreData;
    }
    std::copy(value->second.data.begin(), value->second.data.end(), data.begin());
    return 0;
}

int FakePlatform::ShowMessageBox(std::u16string_view prompt, unsigned style, std::u16string_view title)
{
    if (recording) {
        log.push_back("MessageBox " + ToUtf8(title) + " | " + ToUtf8(prompt) + " | " + std::to_string(style));
    }
    return messageBoxAnswer;
}

std::u16string FakePlatform::InputBox(std::u16string_view prompt, std::u16string_view title,
                                      std::u16string_view initialText)
{
    if (recording) {
        log.push_back("InputBox " + ToUtf8(title) + " | " + ToUtf8(prompt) + " | " + ToUtf8(initialText));
    }
    return inputBoxAnswer;
}

std::u16string FakePlatform::ApplicationFolder() { return applicationFolder; }
std::u16string FakePlatform::ProgramFileName() { return programFileName; }
char16_t FakePlatform::PathSeparator() { return pathSeparator; }

void FakePlatform::DoEvents()
{
    if (recording) {
        log.emplace_back("DoEvents");
    }
    if (waitingEvents) {
        waitingEvents();
    }
}

void FakePlatform::EndProgram()
{
    if (recording) {
        log.emplace_back("EndProgram");
    }
    ended = true;
}

int FakePlatform::RunEventLoop()
{
    if (recording) {
        log.emplace_back("RunEventLoop");
    }
    return 0;
}

} // namespace vorda::test
