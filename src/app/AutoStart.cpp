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
    // Inside a quoted Exec argument, '"', '`', '$' and '\' must be escaped
    // with a backslash; a path holding them would otherwise start something
    // else than this program.
    std::string quoted = "\"";
    for (char c : programPath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    // "\"%s\" %s" with " /OnSysStart": the quoted path, a blank, then the
    // argument with its own leading blank.
    return quoted + " " + " /OnSysStart";
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
