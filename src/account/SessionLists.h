#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "account/DeviceInfo.h"
#include "account/LocalDeviceStore.h"

namespace orbisight {

enum class DeviceListKind { kPublic, kMy, kLocal };

// The three device lists of the account session and the local device file,
// shared by the user-interface thread, the session's receive thread, its
// list-fetch threads and the tree's probe thread.
//
// Locks: mutex_ guards the three lists (and the local store object). The
// device-store lock storeMutex_ serialises loading, saving and deleting the
// local device file; it is always taken before mutex_, never while mutex_ is
// held. No file is written while mutex_ is held, so a slow disk never stalls
// the receive thread. Callers get copies or run a visitor under mutex_; a
// visitor must not call back into this object.
class SessionLists {
  public:
    explicit SessionLists(std::filesystem::path localFile);
    SessionLists(const SessionLists&) = delete;
    SessionLists& operator=(const SessionLists&) = delete;

    // ---- Reading and editing any list (any thread) ----
    std::vector<DeviceInfo> Snapshot(DeviceListKind kind) const;
    size_t Size(DeviceListKind kind) const;
    std::optional<DeviceInfo> Find(DeviceListKind kind, std::string_view id, IdMatch match) const;
    void Visit(DeviceListKind kind, const std::function<void(const DeviceList&)>& visitor) const;
    // Changes records in memory only (for example the tree item handle or a
    // parent changed by drag and drop).
    void Edit(DeviceListKind kind, const std::function<void(DeviceList&)>& editor);
    // Runs fn with all three lists under one lock: a consistent view for a
    // tree rebuild.
    void VisitAll(const std::function<void(const DeviceList& publicList, const DeviceList& myList,
                                           const DeviceList& localList)>& visitor) const;

    // ---- The local list and its file ----
    const std::filesystem::path& LocalFile() const { return localFile_; }
    LocalStoreLoadReport LoadLocal();
    // Writes the file from the current list. False when it cannot be written
    // (the list then stays changed in memory only).
    bool SaveLocal();
    bool DeleteLocalFile();
    // Each of these changes the list and saves it.
    int AddLocalGroup(std::string_view name, int32_t parent);  // 0 added, 1 refused
    int AddLocalDevice(std::string_view id, std::string_view hostAddress, std::string_view name,
                       std::string_view password, int32_t parent);  // 1
    int DeleteLocalEntry(const LocalEntryRef& entry);               // 1 when found, else 0
    bool EditLocalGroup(const LocalEntryRef& entry, std::string_view name, int32_t parent);
    // Moves an entry to another parent; saved when save is true.
    bool SetLocalParent(const LocalEntryRef& entry, int32_t parent, bool save);
    // Empties the list and deletes the file.
    void EmptyLocal();
    // Status of local entries, as the probe and the local refresh set it.
    void ClearLocalStatus();
    bool SetLocalStatus(const LocalEntryRef& entry, int32_t status);
    // Every local device (not group) with its address list, for a probe run.
    std::vector<std::pair<LocalEntryRef, std::string>> LocalDevicesToProbe() const;

    // ---- Server lists (session use) ----
    // Empties the public and my lists.
    void ClearServerLists();

    // The lock for session code that changes the server lists together with
    // its own state. Never held while sending or writing a file.
    std::mutex& Mutex() const { return mutex_; }
    DeviceList& ListLocked(DeviceListKind kind);
    const DeviceList& ListLocked(DeviceListKind kind) const;

  private:
    std::filesystem::path localFile_;
    mutable std::mutex storeMutex_;  // the device-store lock; taken before mutex_
    mutable std::mutex mutex_;
    DeviceList publicList_;   // protected by mutex_
    DeviceList myList_;       // protected by mutex_
    LocalDeviceStore local_;  // protected by mutex_ (its file by storeMutex_)
};

}  // namespace orbisight
