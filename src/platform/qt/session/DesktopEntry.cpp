#include "platform/qt/session/DesktopEntry.h"

#include "app/FormDefinitions.h"
#include "text/Utf16.h"

#include <algorithm>

namespace vorda::qt {
namespace {

bool IsQuoted(std::string_view command) { return command.size() >= 2 && command.front() == '"' && command.back() == '"'; }

// The characters that are special inside a quoted argument of an Exec line.
bool IsQuotedSpecial(char c) { return c == '"' || c == '`' || c == '$' || c == '\\'; }

// The escapes every desktop-entry string takes; an Exec line also doubles %, which alone would start
// a field code.
std::string Escaped(std::string_view text, bool execLine)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\r': escaped += "\\r"; break;
        case '\t': escaped += "\\t"; break;
        case '%': escaped += execLine ? "%%" : "%"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

// The Exec line of a desktop entry: a quoted program path keeps its quotes, with the characters that
// are special inside them escaped; then the escapes every desktop-entry value takes.
std::string ExecLine(const std::string& command)
{
    std::string quotedPart = command;
    if (IsQuoted(command)) {
        quotedPart.assign(1, '"');
        for (const char c : std::string_view(command).substr(1, command.size() - 2)) {
            if (IsQuotedSpecial(c)) {
                quotedPart += '\\';
            }
            quotedPart += c;
        }
        quotedPart += '"';
    }
    return Escaped(quotedPart, true);
}

// The escapes of a desktop-entry string value, and an Exec line's %%, taken off; others stay as written.
std::string Unescaped(std::string_view value)
{
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if ((c == '\\' || c == '%') && i + 1 < value.size()) {
            const char next = value[i + 1];
            const char* meant = nullptr;
            if (c == '%') {
                meant = next == '%' ? "%" : nullptr;
            } else {
                switch (next) {
                case '\\': meant = "\\"; break;
                case 'n': meant = "\n"; break;
                case 'r': meant = "\r"; break;
                case 't': meant = "\t"; break;
                case 's': meant = " "; break;
                default: break;
                }
            }
            if (meant != nullptr) {
                text += meant;
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}

std::string WithoutQuotedEscapes(const std::string& command)
{
    if (!IsQuoted(command)) {
        return command;
    }
    std::string plain(1, '"');
    const std::string_view inside = std::string_view(command).substr(1, command.size() - 2);
    for (std::size_t i = 0; i < inside.size(); ++i) {
        if (inside[i] == '\\' && i + 1 < inside.size() && IsQuotedSpecial(inside[i + 1])) {
            ++i;
        }
        plain += inside[i];
    }
    plain += '"';
    return plain;
}

std::string_view TrimmedBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The program a command starts: the path inside its quotes, else the whole text.
std::string_view ProgramOf(std::string_view command)
{
    return IsQuoted(command) ? command.substr(1, command.size() - 2) : command;
}

// A plain desktop-entry string: only the characters its escapes stand for are escaped.
std::string StringValue(std::string_view text)
{
    std::string value = Escaped(text, false);
    if (value.starts_with(' ')) {
        value.replace(0, 1, "\\s"); // a leading space would be taken for one around the '='
    }
    return value;
}

} // namespace

std::string DesktopEntry(const std::string& command)
{
    // TryExec: a session skips the entry once the program is gone (the package removed, the folder
    // deleted) instead of trying to start it at every log-in.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" + ToUtf8(kDisplayName) + "\n"
           "TryExec=" + StringValue(ProgramOf(command)) + "\n"
           "Exec=" + ExecLine(command) + "\n"
           "Icon=vorda-dictionary\n"
           "Terminal=false\n";
}

std::optional<std::string> ExecCommand(std::string_view entry)
{
    std::optional<std::string_view> exec;
    bool tryExec = false;
    bool disabled = false;
    bool inMainGroup = false;
    while (!entry.empty()) {
        const auto end = entry.find('\n');
        std::string_view line = entry.substr(0, end);
        entry.remove_prefix(end == std::string_view::npos ? entry.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.starts_with('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inMainGroup || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = TrimmedBlanks(line.substr(0, equals));
        const std::string_view value = TrimmedBlanks(line.substr(equals + 1));
        if (key == "Exec" && !exec) {
            exec = value;
        } else if (key == "TryExec") {
            tryExec = !value.empty();
        } else if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            disabled = true;
        }
    }
    // An entry a session would skip, and one without TryExec (an older one, which goes on starting a
    // program that is gone), does not stand for a start of this program.
    if (!exec || !tryExec || disabled) {
        return std::nullopt;
    }
    return WithoutQuotedEscapes(Unescaped(*exec));
}

} // namespace vorda::qt
