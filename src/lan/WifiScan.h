#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orbisight {

// The Wi-Fi networks this computer can see, through NetworkManager's
// command-line tool: `nmcli -t -f SSID dev wifi list`. The names come in the
// order nmcli gives them, duplicates included (a network seen by two
// radios or through two profiles is listed twice). Without nmcli, or when it
// fails, the list is empty; nothing is reported to the user.
class WifiScan {
  public:
    // Runs a command line and returns its standard output, or false when it
    // could not run or did not exit with 0.
    using Runner = std::function<bool(const std::vector<std::string>& argv, std::string& out)>;

    WifiScan();  // runs the real nmcli
    explicit WifiScan(Runner runner) : runner_(std::move(runner)) {}

    // Blocks while nmcli runs (up to kTimeoutMs): call it off the window
    // thread.
    std::vector<std::string> Scan() const;

    // Parses nmcli's terse output: one SSID per line, "\:" for a colon and
    // "\\" for a backslash; empty names (hidden networks) are skipped.
    static std::vector<std::string> ParseTerse(std::string_view output);

    static constexpr int kTimeoutMs = 15000;

  private:
    Runner runner_;
};

}  // namespace orbisight
