// "CameraClient.ini" on arbitrary text, read through the profile functions
// for the keys the client reads: ports stay in 1..65535, hosts are never
// empty and fit their 255-byte field, a cut value ends inside its buffer,
// and a value the client writes reads back as written whatever else the
// file holds.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "account/AccountSettings.h"
#include "platform/Profile.h"

using namespace orbisight;

namespace {

bool HostOk(const std::string& host) {
    return !host.empty() && host.size() < AccountSettings::kHostBytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // In memory: the same reading and writing code as on a file, thousands of
    // times faster than a file written and synced per input.
    Profile profile = Profile::InMemory(std::string(reinterpret_cast<const char*>(data), size));
    AccountSettings settings = AccountSettings::Load(profile);
    if (settings.registerPort == 0 || settings.loginPort == 0 || settings.deviceGetPort == 0 ||
        settings.deviceSetPort == 0) {
        std::abort();
    }
    for (const std::string* host : {&settings.registerHosts[0], &settings.registerHosts[1],
                                    &settings.loginHosts[0], &settings.loginHosts[1]}) {
        if (!HostOk(*host)) {
            std::abort();
        }
    }

    profile.GetInt("Other", "ShowAlarm", 0);
    char small[8];
    std::memset(small, 'x', sizeof small);
    size_t length =
        profile.GetString("CameraClient", "RegisterIP", "127.0.0.1", small, sizeof small);
    if (length >= sizeof small || small[length] != '\0') {
        std::abort();
    }

    // The client's own writes: the alarm switch and a server address.
    if (profile.WriteString("Other", "ShowAlarm", "1") &&
        profile.GetInt("Other", "ShowAlarm", 0) != 1) {
        std::abort();
    }
    if (profile.WriteString("CameraClient", "LoginIP", "10.1.2.3") &&
        profile.Find("CameraClient", "LoginIP") != std::optional<std::string>("10.1.2.3")) {
        std::abort();
    }
    return 0;
}
