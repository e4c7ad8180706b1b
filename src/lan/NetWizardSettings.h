#pragma once

#include <string>

#include "device/DevInfoBlock.h"

namespace orbisight {

// What the network wizard edits in a camera's basic block, and the checks
// before it is sent. Windowless, so the wizard's rules are tested alone.
struct WiredNetSettings {
    std::string ip, mask, gateway, dns;
    bool dhcp = false;
};

struct WifiNetSettings {
    std::string ssid, key;
    std::string ip, mask, gateway, dns;
    bool dhcp = true;
};

namespace netwizard {

// The LAN page starts from the camera's wired addresses and DHCP state.
WiredNetSettings WiredFrom(const DevInfoBlock& block);
// The Wi-Fi address page starts from the camera's Wi-Fi addresses with
// DHCP checked; SSID and key start from the camera's.
WifiNetSettings WifiFrom(const DevInfoBlock& block);

// Empty when the settings can be sent, else the message for the user:
// with DHCP off every address must be dotted IPv4 (a camera given anything
// else is lost from the network); SSID and key must fit their fields
// rather than be cut.
std::string CheckWired(const WiredNetSettings& settings);
std::string CheckWifi(const WifiNetSettings& settings);

// "Finish": writes the page's values into the block. The Wi-Fi path also
// puts the camera in Wi-Fi client mode.
void ApplyWired(DevInfoBlock& block, const WiredNetSettings& settings);
void ApplyWifi(DevInfoBlock& block, const WifiNetSettings& settings);

}  // namespace netwizard
}  // namespace orbisight
