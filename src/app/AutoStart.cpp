#include "app/AutoStart.h"

#include <cstdlib>
#include <system_error>

#include "platform/Files.h"

namespace orbisight {
namespace fs = std::filesystem;

fs::path AutoStart::DefaultFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        return fs::path(xdg) / "autostart";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".config" / "autostart";
}

AutoStart::AutoStart(fs::path folder) : folder_(std::move(folder)) {}

std::string AutoStart::ExecLine(const std::string& programPath) {
    // The command line first: inside a quoted argument '"', '`', '$' and '\'
    // are escaped with a backslash, and '%' (a field code) is written "%%";
    // a path holding them would otherwise start something else than this
    // program.
    std::string command = "\"";
    for (char c : programPath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            command += '\\';
        } else if (c == '%') {
            command += '%';
        }
        command += c;
    }
    // "\"%s\" %s" with " /OnSysStart": the quoted path, a blank, then the
    // argument with its own leading blank.
    command += "\"  /OnSysStart";
    // Then the command line as a string value: its backslashes doubled, line
    // breaks and tabs written as escapes.
    std::string value;
    for (char c : command) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                value += c;
        }
    }
    return value;
}

std::string AutoStart::EntryText(const std::string& programPath) {
    std::string text;
    text += "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=Orbisight Cloud System\n";
    text += "Comment=Live view of networked IP cameras\n";
    text += "Icon=orbisight\n";
    text += "Exec=" + ExecLine(programPath) + "\n";
    text += "Terminal=false\n";
    text += "X-GNOME-Autostart-enabled=true\n";
    return text;
}

bool AutoStart::Apply(bool on, const std::string& programPath) const {
    if (on) {
        std::string text = EntryText(programPath);
        return WriteFileAtomically(EntryPath(), text.data(), text.size(), 0644);
    }
    std::error_code ec;
    fs::remove(EntryPath(), ec);
    return !ec;
}

}  // namespace orbisight
