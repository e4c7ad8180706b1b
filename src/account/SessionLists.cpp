#include "account/SessionLists.h"

#include <cstdio>

#include "platform/Debug.h"
#include "platform/Files.h"

namespace orbisight {

SessionLists::SessionLists(std::filesystem::path localFile)
    : localFile_(localFile), local_(std::move(localFile)) {}

DeviceList& SessionLists::ListLocked(DeviceListKind kind) {
    switch (kind) {
        case DeviceListKind::kPublic:
            return publicList_;
        case DeviceListKind::kMy:
            return myList_;
        case DeviceListKind::kLocal:
            break;
    }
    return local_.List();
}

const DeviceList& SessionLists::ListLocked(DeviceListKind kind) const {
    return const_cast<SessionLists*>(this)->ListLocked(kind);
}

std::vector<DeviceInfo> SessionLists::Snapshot(DeviceListKind kind) const {
    std::lock_guard lock(mutex_);
    const DeviceList& list = ListLocked(kind);
    std::vector<DeviceInfo> copy;
    copy.reserve(list.size());
    for (const auto& record : list) {
        copy.push_back(*record);
    }
    return copy;
}

size_t SessionLists::Size(DeviceListKind kind) const {
    std::lock_guard lock(mutex_);
    return ListLocked(kind).size();
}

std::optional<DeviceInfo> SessionLists::Find(DeviceListKind kind, std::string_view id,
                                             IdMatch match) const {
    std::lock_guard lock(mutex_);
    if (const DeviceInfo* record = FindDeviceById(ListLocked(kind), id, match)) {
        return *record;
    }
    return std::nullopt;
}

void SessionLists::Visit(DeviceListKind kind,
                         const std::function<void(const DeviceList&)>& visitor) const {
    std::lock_guard lock(mutex_);
    visitor(ListLocked(kind));
}

void SessionLists::Edit(DeviceListKind kind, const std::function<void(DeviceList&)>& editor) {
    std::lock_guard lock(mutex_);
    editor(ListLocked(kind));
}

void SessionLists::VisitAll(const std::function<void(const DeviceList&, const DeviceList&,
                                                     const DeviceList&)>& visitor) const {
    std::lock_guard lock(mutex_);
    visitor(publicList_, myList_, local_.List());
}

LocalStoreLoadReport SessionLists::LoadLocal() {
    std::lock_guard store(storeMutex_);
    std::vector<uint8_t> bytes;
    LocalStoreLoadReport report;
    DeviceList loaded;
    if (ReadWholeFile(localFile_, bytes)) {
        report = LocalDeviceStore::Decode(bytes.data(), bytes.size(), loaded);
    }
    if (report.truncated) {
        std::fprintf(stderr,
                     "%s: %d records announced, %d whole records read; the rest is ignored\n",
                     localFile_.c_str(), report.announced, report.read);
    }
    std::lock_guard lock(mutex_);
    local_.List() = std::move(loaded);
    return report;
}

bool SessionLists::SaveLocal() {
    std::lock_guard store(storeMutex_);
    std::vector<uint8_t> image;
    {
        std::lock_guard lock(mutex_);
        image = local_.Encode();
    }
    std::string error;
    if (!LocalDeviceStore::WriteFile(localFile_, image, &error)) {
        DebugOutput("local device list not saved: " + error);
        return false;
    }
    return true;
}

bool SessionLists::DeleteLocalFile() {
    std::lock_guard store(storeMutex_);
    return local_.DeleteFile();
}

int SessionLists::AddLocalGroup(std::string_view name, int32_t parent) {
    int result;
    {
        std::lock_guard lock(mutex_);
        result = local_.AddGroup(name, parent);
    }
    if (result == 0) {
        SaveLocal();
    }
    return result;
}

int SessionLists::AddLocalDevice(std::string_view id, std::string_view hostAddress,
                                 std::string_view name, std::string_view password, int32_t parent) {
    {
        std::lock_guard lock(mutex_);
        local_.AddDevice(id, hostAddress, name, password, parent);
    }
    SaveLocal();
    return 1;
}

int SessionLists::DeleteLocalEntry(const LocalEntryRef& entry) {
    bool found;
    {
        std::lock_guard lock(mutex_);
        found = local_.DeleteEntry(entry);
    }
    if (!found) {
        return 0;
    }
    SaveLocal();
    return 1;
}

bool SessionLists::EditLocalGroup(const LocalEntryRef& entry, std::string_view name,
                                  int32_t parent) {
    {
        std::lock_guard lock(mutex_);
        DeviceInfo* record = local_.Find(entry);
        if (record == nullptr || record->isGroup == 0) {
            return false;
        }
        record->SetName(name);
        record->parentGroup = parent;
    }
    SaveLocal();
    return true;
}

bool SessionLists::SetLocalParent(const LocalEntryRef& entry, int32_t parent, bool save) {
    {
        std::lock_guard lock(mutex_);
        DeviceInfo* record = local_.Find(entry);
        if (record == nullptr) {
            return false;
        }
        record->parentGroup = parent;
    }
    if (save) {
        SaveLocal();
    }
    return true;
}

void SessionLists::EmptyLocal() {
    std::lock_guard store(storeMutex_);
    {
        std::lock_guard lock(mutex_);
        local_.List().clear();
    }
    local_.DeleteFile();
}

void SessionLists::ClearLocalStatus() {
    std::lock_guard lock(mutex_);
    for (auto& record : local_.List()) {
        record->status = 0;
    }
}

bool SessionLists::SetLocalStatus(const LocalEntryRef& entry, int32_t status) {
    std::lock_guard lock(mutex_);
    DeviceInfo* record = local_.Find(entry);
    if (record == nullptr) {
        return false;
    }
    record->status = status;
    return true;
}

std::vector<std::pair<LocalEntryRef, std::string>> SessionLists::LocalDevicesToProbe() const {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<LocalEntryRef, std::string>> devices;
    for (const auto& record : local_.List()) {
        if (record->isGroup == 0) {
            devices.emplace_back(LocalEntryRef::Of(*record), std::string(record->Url()));
        }
    }
    return devices;
}

void SessionLists::ClearServerLists() {
    std::lock_guard lock(mutex_);
    publicList_.clear();
    myList_.clear();
}

}  // namespace orbisight
