#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace orbisight::sim {

struct SimUser {
    std::string name;
    std::string password;
    std::string nickname;
    std::string email;
    int type = 1;
};

struct SimGroup {
    int id = 0;
    std::string name;
    int parent = 0;
    std::string owner;
};

struct SimDevice {
    std::string id;
    std::string name;
    std::string owner;  // empty: bound to nobody
    int group = 0;
    int type = 1;
    int status = 0;
    std::string url;
    std::string tips;
    std::string hversion = "HW-1.0";
    std::string sversion = "SW-2.3.1";
    bool camera = false;  // a simulated camera: address and status from it
    // A "cloud://host:port" entry added to a simulated camera's address
    // list: where its cloud recordings are kept.
    std::string cloud;
};

struct SimListEntry {
    bool isGroup = false;
    std::string id;
};

// A status code and description for a reply.
struct SimOutcome {
    int code = 200;
    std::string description = "OK";
};

// The account service's data: users, their groups and devices. Read from
// the configuration's "account" object, or from the store file when one is
// configured and exists; every change is written back to that file
// atomically. Thread-safe.
class SimAccountStore {
  public:
    // Throws std::runtime_error for a bad configuration.
    void Load(const nlohmann::json& account, const std::map<std::string, int>& cameraPorts);
    // Changes are saved to file from now on.
    void SetStoreFile(std::filesystem::path file) { storeFile_ = std::move(file); }
    nlohmann::json ToJson() const;

    SimOutcome CheckLogin(const std::string& user, const std::string& password) const;
    std::optional<SimUser> User(const std::string& name) const;
    // Groups first, then devices, of one owner. Group 0 means all of them;
    // another group means the entries whose parent it is.
    std::vector<SimListEntry> Entries(const std::string& owner, int group = 0) const;
    std::optional<SimGroup> Group(const std::string& owner, int id) const;
    std::optional<SimDevice> Device(const std::string& id) const;
    std::vector<SimDevice> DevicesOf(const std::string& owner) const;
    std::vector<std::string> AllDeviceIds() const;
    int Version() const;

    SimOutcome Register(const std::string& user, const std::string& password,
                        const std::string& nickname, const std::string& email);
    SimOutcome ModifyUser(const std::string& user, const std::string& password,
                          const std::optional<std::string>& nickname,
                          const std::optional<std::string>& newPassword);
    SimOutcome ModifyDevice(const std::string& user, const std::string& password,
                            const std::string& id, const std::string& name, int type);
    SimOutcome Bind(const std::string& user, const std::string& password, const std::string& id);
    SimOutcome Unbind(const std::string& user, const std::string& password, const std::string& id);
    // Returns the device's owner ("" when unknown or unbound).
    std::string SetStatus(const std::string& id, int status);

  private:
    SimOutcome Authenticate(const std::string& user, const std::string& password) const;
    // A change a user asks for: under the lock, only with the right
    // password, stored when it succeeds.
    SimOutcome ChangeAs(const std::string& user, const std::string& password,
                        const std::function<SimOutcome()>& change);
    SimDevice* FindDevice(const std::string& id);
    void SaveLocked();

    mutable std::mutex mutex_;
    std::vector<SimUser> users_;      // protected by mutex_
    std::vector<SimGroup> groups_;    // protected by mutex_
    std::vector<SimDevice> devices_;  // protected by mutex_
    int version_ = 1;                 // protected by mutex_: goes up with every change
    std::filesystem::path storeFile_;
};

}  // namespace orbisight::sim
