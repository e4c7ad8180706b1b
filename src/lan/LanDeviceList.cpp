#include "lan/LanDeviceList.h"

#include <cstring>

#include "platform/Text.h"

namespace orbisight {

void LanDeviceList::Clear() {
    std::lock_guard lock(mutex_);
    records_.clear();
}

CamNetParam* LanDeviceList::FindLocked(std::string_view deviceId) {
    for (auto& record : records_) {
        if (EqualsNoCase(record->Id(), deviceId)) {
            return record.get();
        }
    }
    return nullptr;
}

LanDeviceList::BasicResult LanDeviceList::ApplyBasic(const DevInfoBlock& block,
                                                     std::string_view sender) {
    std::lock_guard lock(mutex_);
    if (CamNetParam* known = FindLocked(block.DeviceId())) {
        known->basic = block;
        return {false, *known};
    }
    records_.push_back(std::make_unique<CamNetParam>(lan::RecordFromAnswer(block, sender)));
    return {true, *records_.back()};
}

std::optional<CamNetParam> LanDeviceList::ApplyExtended(const DevInfoBlock& block) {
    std::lock_guard lock(mutex_);
    CamNetParam* known = FindLocked(block.DeviceId());
    if (known == nullptr) {
        return std::nullopt;
    }
    known->extended = block;
    return *known;
}

std::optional<CamNetParam> LanDeviceList::Find(std::string_view deviceId) const {
    std::lock_guard lock(mutex_);
    for (const auto& record : records_) {
        if (EqualsNoCase(record->Id(), deviceId)) {
            return *record;
        }
    }
    return std::nullopt;
}

std::vector<CamNetParam> LanDeviceList::Snapshot() const {
    std::lock_guard lock(mutex_);
    std::vector<CamNetParam> copy;
    copy.reserve(records_.size());
    for (const auto& record : records_) {
        copy.push_back(*record);
    }
    return copy;
}

size_t LanDeviceList::Size() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

LanBasicBlockLookup MakeBasicBlockLookup(std::shared_ptr<const LanDeviceList> list) {
    return [list = std::move(list)](std::string_view deviceId, std::array<uint8_t, 1088>& block) {
        auto record = list->Find(deviceId);
        if (!record) {
            return false;
        }
        static_assert(sizeof record->basic == 1088);
        std::memcpy(block.data(), &record->basic, block.size());
        return true;
    };
}

}  // namespace orbisight
