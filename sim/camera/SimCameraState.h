#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "device/DevInfoBlock.h"
#include "device/DevInfoExt.h"

namespace orbisight::sim {

// What a simulated camera remembers: its parameter blocks, its RF list and
// its login. Shared by all connections of the camera; every member is
// protected by the state's lock. Changes are written to the "persist" file
// (when configured) atomically, and read back from it at the next start.
class SimCameraState {
  public:
    // Builds the defaults from the camera's configuration object ("id",
    // "name", "user", "password", "params", "rf", "sd_folder"), then loads
    // the persisted file when it exists. Throws std::runtime_error for a
    // "params" member that does not exist or does not fit.
    SimCameraState(const nlohmann::json& config, const std::filesystem::path& configDir);

    const std::string& Id() const { return id_; }

    // Empty when user, password and device ID match; otherwise the text
    // for "ErrorInfo".
    std::string CheckLogin(std::string_view user, std::string_view password,
                           std::string_view deviceId) const;

    // The parameter block as the camera answers it: the stored block with
    // the camera's clock in the date and time members.
    DevInfoBlock Parameters() const;
    DevInfoExt Extended() const;
    std::string RfList() const;

    // Applies a received block: a set month flag sets the camera's clock
    // (the flag itself is not kept), a password change replaces the login
    // password, a restart command is carried out rather than stored.
    enum class Restart { kNone, kReboot, kFactoryReset };
    Restart StoreParameters(const DevInfoBlock& block);
    void StoreExtended(const DevInfoExt& ext);
    void StoreRfList(std::string text);

  private:
    void ApplyDefaults();
    void Persist();  // called with mutex_ held
    void Load();

    const std::string id_;
    nlohmann::json config_;
    std::filesystem::path persistPath_;

    mutable std::mutex mutex_;
    DevInfoBlock block_{};          // protected by mutex_
    DevInfoExt ext_{};              // protected by mutex_
    std::string rf_;                // protected by mutex_
    std::string user_;              // protected by mutex_
    std::string password_;          // protected by mutex_
    long long clockOffsetSec_ = 0;  // protected by mutex_: camera clock minus system clock
};

}  // namespace orbisight::sim
