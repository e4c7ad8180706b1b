#include "app/ClientSettingsFile.h"

#include <cstdint>
#include <vector>

#include "platform/Files.h"
#include "platform/Profile.h"

namespace orbisight {
namespace fs = std::filesystem;

namespace {
constexpr const char* kSectionClient = "CameraClient";
constexpr const char* kSectionOther = "Other";
constexpr const char* kSectionPeer = "P2P";
}  // namespace

ClientSettingsFile::ClientSettingsFile(fs::path file) : file_(std::move(file)) {}

ClientSettingsFile ClientSettingsFile::InDataFolder() {
    return ClientSettingsFile(DataFolder() / "CameraClient.ini");
}

bool ClientSettingsFile::ShowAlarm() const {
    return Profile(file_).GetInt(kSectionOther, "ShowAlarm", 0) != 0;
}

bool ClientSettingsFile::WriteShowAlarm(bool on) {
    return Profile(file_).WriteString(kSectionOther, "ShowAlarm", on ? "1" : "0");
}

bool ClientSettingsFile::ChooseStreamByPaneSize() const {
    return Profile(file_).GetInt(kSectionClient, "ChooseStreamByPaneSize", 0) == 1;
}

bool ClientSettingsFile::WriteChooseStreamByPaneSize(bool on) {
    return Profile(file_).WriteString(kSectionClient, "ChooseStreamByPaneSize", on ? "1" : "0");
}

bool ClientSettingsFile::Exists() const {
    std::error_code error;
    return fs::exists(file_, error);
}

std::string ClientSettingsFile::RegisterIp() const {
    std::string value =
        Profile(file_).GetString(kSectionClient, "RegisterIP", kDefaultRegisterHost);
    if (value.size() > kRegisterIpLimit) {
        value.resize(kRegisterIpLimit);
    }
    return value;
}

std::string ClientSettingsFile::CloudServer() const {
    constexpr const char* kDefault = "127.0.0.1:5557";
    std::string value = Profile(file_).GetString(kSectionClient, "CloudServer", kDefault);
    if (value.empty() || value.size() > 255 || value.find(':') == std::string::npos) {
        return kDefault;
    }
    return value;
}

std::string ClientSettingsFile::RendezvousHost() const {
    std::string value =
        Profile(file_).GetString(kSectionPeer, "RendezvousHost", kDefaultRendezvousHost);
    if (value.empty() || value.size() > 127) {
        return kDefaultRendezvousHost;
    }
    return value;
}

int ClientSettingsFile::RendezvousPort() const {
    int port = Profile(file_).GetInt(kSectionPeer, "RendezvousPort", kDefaultRendezvousPort);
    return port >= 1 && port <= 65535 ? port : kDefaultRendezvousPort;
}

std::string ClientSettingsFile::RewriteServerLines(std::string_view text, std::string_view address,
                                                   bool* sawRegister, bool* sawLogin) {
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        size_t next = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line =
            text.substr(pos, (end == std::string_view::npos ? text.size() : end) - pos);
        bool crlf = !line.empty() && line.back() == '\r';
        if (crlf) {
            line.remove_suffix(1);
        }
        std::string_view key;
        if (line.find("RegisterIP=") != std::string_view::npos) {
            key = "RegisterIP=";
            if (sawRegister) {
                *sawRegister = true;
            }
        } else if (line.find("LoginIP=") != std::string_view::npos) {
            key = "LoginIP=";
            if (sawLogin) {
                *sawLogin = true;
            }
        }
        if (key.empty()) {
            out += line;
        } else {
            out += key;
            out += address;
        }
        if (end != std::string_view::npos) {
            out += crlf ? "\r\n" : "\n";
        }
        pos = next;
    }
    return out;
}

bool ClientSettingsFile::RewriteServerAddress(std::string_view address) {
    std::vector<uint8_t> bytes;
    ReadWholeFile(file_, bytes);
    std::string text(bytes.begin(), bytes.end());
    bool sawRegister = false;
    bool sawLogin = false;
    std::string rewritten = RewriteServerLines(text, address, &sawRegister, &sawLogin);
    if (!WriteFileAtomically(file_, rewritten.data(), rewritten.size(), 0644)) {
        return false;
    }
    Profile profile(file_);
    bool ok = true;
    if (!sawRegister) {
        ok = profile.WriteString(kSectionClient, "RegisterIP", std::string(address)) && ok;
    }
    if (!sawLogin) {
        ok = profile.WriteString(kSectionClient, "LoginIP", std::string(address)) && ok;
    }
    return ok;
}

}  // namespace orbisight
