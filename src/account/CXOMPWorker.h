#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "account/DeviceDirectory.h"
#include "account/DeviceInfo.h"
#include "account/LocalDeviceStore.h"
#include "account/SavedLogins.h"
#include "account/SessionLists.h"
#include "platform/Notice.h"

namespace orbisight {

struct CXOMPWorkerOptions {
    // Where "CameraClient.ini", "LocalDevInfos.dat" and the registry store
    // live; empty means DataFolder().
    std::filesystem::path dataFolder;
};

// The client side of the cloud account service: one instance for the whole
// run. It owns the device lists (public, my, local), the local device file
// and the saved logins.
//
// Threads: the lists are read and changed from the user-interface thread,
// the session's threads and the tree's probe thread through SessionLists,
// which holds the one list lock. The saved logins belong to the
// user-interface thread.
class CXOMPWorker : public DeviceDirectory {
  public:
    explicit CXOMPWorker(NoticeTarget* target = nullptr, CXOMPWorkerOptions options = {});
    ~CXOMPWorker() override;
    CXOMPWorker(const CXOMPWorker&) = delete;
    CXOMPWorker& operator=(const CXOMPWorker&) = delete;

    // The window that receives the session notices (message
    // notice::kAccountSession); null drops them.
    void SetNoticeTarget(NoticeTarget* target) { target_.store(target); }
    const std::filesystem::path& DataFolderPath() const { return dataFolder_; }

    // ---- Device lists (any thread) ----
    SessionLists& Lists() { return lists_; }
    const SessionLists& Lists() const { return lists_; }
    std::vector<DeviceInfo> SnapshotList(DeviceListKind kind) const {
        return lists_.Snapshot(kind);
    }
    std::optional<DeviceInfo> FindDevice(DeviceListKind kind, std::string_view id,
                                         IdMatch match) const {
        return lists_.Find(kind, id, match);
    }
    // The live channel's look-up at reconnection (exact ID).
    std::optional<std::string> FindAddressList(std::string_view id, bool local) const override;

    // ---- Local device list ----
    LocalStoreLoadReport LoadLocalDevices() { return lists_.LoadLocal(); }
    bool SaveLocalDevices() { return lists_.SaveLocal(); }
    bool DeleteLocalStore() { return lists_.DeleteLocalFile(); }
    int AddLocalGroup(std::string_view name, int32_t parent) {
        return lists_.AddLocalGroup(name, parent);
    }
    int AddLocalDevice(std::string_view id, std::string_view hostAddress, std::string_view name,
                       std::string_view password, int32_t parent) {
        return lists_.AddLocalDevice(id, hostAddress, name, password, parent);
    }
    int DeleteLocalEntry(const LocalEntryRef& entry) { return lists_.DeleteLocalEntry(entry); }
    // Probes every local device (a connect test of waitMs each) and sets its
    // status. Returns the number of devices whose status changed. Runs on
    // the caller's thread (the tree's probe thread); cancel ends it early.
    int ProbeLocalDevices(const std::atomic<bool>* cancel = nullptr, int waitMs = 1000);

    // ---- Saved logins (user-interface thread) ----
    SavedLogins& Logins() { return logins_; }

  private:
    void PostSession(uintptr_t code, intptr_t value);

    std::filesystem::path dataFolder_;
    std::atomic<NoticeTarget*> target_;
    SessionLists lists_;
    SavedLogins logins_;
};

}  // namespace orbisight
