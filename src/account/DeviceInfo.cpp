#include "account/DeviceInfo.h"

#include <cstring>

namespace orbisight {

std::unique_ptr<DeviceInfo> NewDeviceInfo() {
    auto record = std::make_unique<DeviceInfo>();
    std::memset(record.get(), 0, sizeof(DeviceInfo));
    return record;
}

std::unique_ptr<DeviceInfo> CopyDeviceInfo(const DeviceInfo& source) {
    auto record = NewDeviceInfo();
    std::memcpy(record.get(), &source, sizeof(DeviceInfo));
    return record;
}

DeviceInfo* FindDeviceById(const DeviceList& list, std::string_view id, IdMatch match) {
    for (const auto& record : list) {
        if (!record) {
            continue;
        }
        bool equal = match == IdMatch::kExact ? record->Id() == id : EqualsNoCase(record->Id(), id);
        if (equal) {
            return record.get();
        }
    }
    return nullptr;
}

}  // namespace orbisight
