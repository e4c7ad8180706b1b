#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/Profile.h"

namespace orbisight {

// Server addresses and ports of the account service, read once from section
// "CameraClient" of "CameraClient.ini" in the data folder.
struct AccountSettings {
    static constexpr const char* kFileName = "CameraClient.ini";
    static constexpr const char* kSection = "CameraClient";
    // The service's fixed hosts: the account service of the local demo. A
    // deployment sets its own in the INI file.
    static constexpr const char* kPrimaryRegisterHost = "127.0.0.1";
    static constexpr const char* kSecondaryRegisterHost = "127.0.0.1";
    static constexpr const char* kPrimaryLoginHost = "127.0.0.1";
    static constexpr const char* kSecondaryLoginHost = "127.0.0.1";
    static constexpr size_t kHostBytes = 256;

    uint16_t registerPort = 5560;   // "Registerport"
    uint16_t loginPort = 5590;      // "Loginport"
    uint16_t deviceGetPort = 8629;  // "DeviceGetPort": LAN answers arrive here
    uint16_t deviceSetPort = 8628;  // "DeviceSetPort": LAN requests go there
    // Index 0 is used for even rotation values, 1 for odd ones.
    std::string registerHosts[2] = {kPrimaryRegisterHost, kPrimaryRegisterHost};
    std::string loginHosts[2] = {kPrimaryLoginHost, kPrimaryLoginHost};

    // Missing keys take their defaults; a host key present but empty takes
    // the fixed host ("RegisterIP"/"LoginIP": primary, "RegisterIP1"/
    // "LoginIP1": secondary); a port outside 1..65535 takes its default.
    static AccountSettings Load(const std::filesystem::path& iniFile);
    static AccountSettings Load(const Profile& profile);
};

}  // namespace orbisight
