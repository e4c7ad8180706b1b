#include "account/AccountSettings.h"

#include "platform/Profile.h"
#include "platform/Text.h"

namespace orbisight {
namespace {

uint16_t ReadPort(const Profile& profile, const char* key, uint16_t fallback) {
    int value = profile.GetInt(AccountSettings::kSection, key, fallback);
    return (value > 0 && value <= 65535) ? static_cast<uint16_t>(value) : fallback;
}

std::string ReadHost(const Profile& profile, const char* key, const char* missing,
                     const char* empty) {
    char buffer[1024];
    size_t length =
        profile.GetString(AccountSettings::kSection, key, missing, buffer, sizeof buffer);
    std::string host(buffer, length);
    if (host.empty()) {
        host = empty;
    }
    // The stored field holds 255 bytes and a terminator.
    host.resize(Utf8PrefixLength(host, AccountSettings::kHostBytes - 1));
    return host;
}

}  // namespace

AccountSettings AccountSettings::Load(const std::filesystem::path& iniFile) {
    return Load(Profile(iniFile));
}

AccountSettings AccountSettings::Load(const Profile& profile) {
    AccountSettings settings;
    settings.registerPort = ReadPort(profile, "Registerport", settings.registerPort);
    settings.loginPort = ReadPort(profile, "Loginport", settings.loginPort);
    settings.deviceGetPort = ReadPort(profile, "DeviceGetPort", settings.deviceGetPort);
    settings.deviceSetPort = ReadPort(profile, "DeviceSetPort", settings.deviceSetPort);
    settings.registerHosts[0] =
        ReadHost(profile, "RegisterIP", kPrimaryRegisterHost, kPrimaryRegisterHost);
    settings.registerHosts[1] =
        ReadHost(profile, "RegisterIP1", kPrimaryRegisterHost, kSecondaryRegisterHost);
    settings.loginHosts[0] = ReadHost(profile, "LoginIP", kPrimaryLoginHost, kPrimaryLoginHost);
    settings.loginHosts[1] = ReadHost(profile, "LoginIP1", kPrimaryLoginHost, kSecondaryLoginHost);
    return settings;
}

}  // namespace orbisight
