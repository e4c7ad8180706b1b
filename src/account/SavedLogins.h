#pragma once

#include <memory>
#include <string>
#include <vector>

#include "account/UserLoginInfo.h"
#include "platform/Registry.h"

namespace orbisight {

// The saved logins, most recently used first, one registry value each
// ("OrbisightUser00", "OrbisightUser01", ...). Used on the user-interface
// thread only (login dialog, settings dialog, loop play); no lock.
class SavedLogins {
  public:
    static constexpr const char* kKeyPath = "SOFTWARE\\Orbisight\\Orbisight";
    // Values 0..199 are read and deleted before a save; more may be written.
    static constexpr int kMaxRead = 200;

    // The store of the current data folder, or another one (tests).
    SavedLogins();
    explicit SavedLogins(Registry registry);

    static std::string ValueName(int index);
    // The record a stored value holds, or nullptr when the value is larger
    // than a record or has no user name. A shorter value is zero-filled and
    // every text is cut to end inside its field.
    static std::unique_ptr<UserLoginInfo> FromValue(const std::vector<uint8_t>& data);

    // Replaces the list with the stored values: indexes 0..199, skipping
    // values that are missing, larger than a record or have no user name.
    // The record in use is kept when a record with its user name is read
    // again, else cleared.
    void Load();
    // Replaces values 0..199 with record i as value i for every record, as
    // one step of the registry store. Returns false when the key cannot be
    // created or a write fails; the stored logins are then unchanged.
    bool Save();

    size_t Count() const { return logins_.size(); }
    // nullptr for an index out of range.
    UserLoginInfo* At(size_t index);
    const UserLoginInfo* At(size_t index) const;

    // Moves the entry at index (1 or above) to the front; 0 and indexes out
    // of range change nothing.
    void Use(size_t index);
    // Inserts a copy at the front and returns it. Duplicate names are allowed.
    UserLoginInfo& Add(const UserLoginInfo& record);
    // A zeroed record with the user name and password, inserted at the front.
    UserLoginInfo& Add(const std::string& userName, const std::string& password);
    // Removes the entry and stores the list. Returns false for an index out
    // of range (nothing stored then) or when storing fails (the entry is
    // gone from memory, the store keeps it).
    bool Remove(size_t index);

    // The record chosen at the last login (settings and loop play change
    // it), or nullptr.
    UserLoginInfo* InUse() const { return inUse_; }
    void SetInUse(UserLoginInfo* record) { inUse_ = record; }

    // The registry store the logins live in.
    Registry& Store() { return registry_; }

  private:
    Registry registry_;
    std::vector<std::unique_ptr<UserLoginInfo>> logins_;
    UserLoginInfo* inUse_ = nullptr;  // points into logins_ or is null
};

}  // namespace orbisight
