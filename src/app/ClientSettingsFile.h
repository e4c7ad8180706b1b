#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orbisight {

// "CameraClient.ini" in the data folder: the keys the application itself
// reads and writes (the account session reads the server keys on its own).
class ClientSettingsFile {
  public:
    // The registration server shown when the file names none: the account
    // service of this machine.
    static constexpr const char* kDefaultRegisterHost = "127.0.0.1";
    static constexpr size_t kRegisterIpLimit = 1023;

    explicit ClientSettingsFile(std::filesystem::path file);
    // The file in the current data folder.
    static ClientSettingsFile InDataFolder();

    const std::filesystem::path& File() const { return file_; }

    bool ShowAlarm() const;
    bool WriteShowAlarm(bool on);
    // "ChooseStreamByPaneSize" of section "CameraClient": the number 1 on,
    // anything else (or no key) off. The application writes it on for a data folder
    // it makes (see AppSettings::Load).
    bool ChooseStreamByPaneSize() const;
    bool WriteChooseStreamByPaneSize(bool on);
    bool Exists() const;
    // "RegisterIP" of section "CameraClient", at most 1023 characters.
    std::string RegisterIp() const;
    // "CloudServer" of section "CameraClient": the cloud storage server
    // ("host:port") used for cameras whose address list names none.
    // "127.0.0.1:5557" when missing, empty or longer than 255 characters.
    std::string CloudServer() const;

    // The peer-to-peer rendezvous service: section "P2P", keys
    // "RendezvousHost" (an IPv4 address or host name, at most 127
    // characters; default 127.0.0.1) and "RendezvousPort" (1 to 65535;
    // default 5570, also for a value out of range).
    static constexpr const char* kDefaultRendezvousHost = "127.0.0.1";
    static constexpr int kDefaultRendezvousPort = 5570;
    std::string RendezvousHost() const;
    int RendezvousPort() const;

    // Sets both "RegisterIP" and "LoginIP" to address: every line holding
    // "RegisterIP=" or "LoginIP=" becomes that key followed by the address
    // (anything before the key on the line is dropped), every other line is
    // kept as it was. A key that no line holds is added to the section
    // "CameraClient", so the typed address is never lost. Written atomically.
    bool RewriteServerAddress(std::string_view address);

    // The line-by-line rule alone, on the file's text. Sets the flags when a
    // line of that key was found.
    static std::string RewriteServerLines(std::string_view text, std::string_view address,
                                          bool* sawRegister = nullptr, bool* sawLogin = nullptr);

  private:
    std::filesystem::path file_;
};

}  // namespace orbisight
