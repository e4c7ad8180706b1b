#pragma once

#include <filesystem>
#include <string>

namespace orbisight {

// Start with the computer: an XDG autostart entry whose Exec line is the
// quoted program path followed by " /OnSysStart".
class AutoStart {
  public:
    // The folder of autostart entries: $XDG_CONFIG_HOME/autostart, else
    // ~/.config/autostart.
    static std::filesystem::path DefaultFolder();

    explicit AutoStart(std::filesystem::path folder = DefaultFolder());

    // Writes the entry when on, removes it when off. Returns false when the
    // file could not be written or removed.
    bool Apply(bool on, const std::string& programPath) const;

    // The entry's path and its text for a program path.
    std::filesystem::path EntryPath() const { return folder_ / "orbisight.desktop"; }
    static std::string EntryText(const std::string& programPath);
    // The Exec value as written in the entry: "\"PATH\"  /OnSysStart", the
    // path escaped as a quoted argument ('"', '`', '$', '\\' behind a
    // backslash, '%' as "%%"), then the whole as a string value (every
    // backslash doubled, line breaks and tabs as "\\n", "\\t", "\\r").
    static std::string ExecLine(const std::string& programPath);

  private:
    std::filesystem::path folder_;
};

}  // namespace orbisight
