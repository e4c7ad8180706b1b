// "CameraClient.ini" on arbitrary text, read through the profile functions
// for the keys the client reads: ports stay in 1..65535, hosts are never
// empty and fit their 255-byte field, a cut value ends inside its buffer,
// and a value the client writes reads back as written whatever else the
// file holds.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "account/AccountSettings.h"
#include "platform/Profile.h"

using namespace orbisight;
namespace fs = std::filesystem;

namespace {

// One file per fuzzing process, in memory where the system offers it.
const fs::path& IniFile() {
    static const fs::path file = [] {
        std::error_code ec;
        fs::path folder =
            fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        folder /= "orbisight-fuzz-profile-" + std::to_string(::getpid());
        fs::create_directories(folder, ec);
        static fs::path created = folder;
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(created, ignored);
        });
        return folder / AccountSettings::kFileName;
    }();
    return file;
}

bool HostOk(const std::string& host) {
    return !host.empty() && host.size() < AccountSettings::kHostBytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path& file = IniFile();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    AccountSettings settings = AccountSettings::Load(file);
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

    Profile profile(file);
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
