#include "media/ChannelRecord.h"

#include "account/DeviceInfo.h"

namespace orbisight {

ChannelRecord::ChannelRecord() = default;
ChannelRecord::~ChannelRecord() = default;

bool ChannelRecord::Take(const DeviceInfo* record) {
    std::lock_guard lock(mutex_);
    if (record != nullptr) {
        record_ = CopyDeviceInfo(*record);
        // Names are UTF-8 in every kind of record here, so a kind-10 name
        // needs no conversion.
        title_ = std::string(record_->Name());
    }
    return record_ != nullptr;
}

void ChannelRecord::Release() {
    std::lock_guard lock(mutex_);
    record_.reset();
}

std::optional<ChannelRecord::Login> ChannelRecord::LoginFields() const {
    std::lock_guard lock(mutex_);
    if (!record_) {
        return std::nullopt;
    }
    return Login{std::string(record_->User()), std::string(record_->Password()),
                 std::string(record_->Id()), record_->local != 0};
}

std::string ChannelRecord::Title() const {
    std::lock_guard lock(mutex_);
    return title_;
}

std::string ChannelRecord::Id() const {
    std::lock_guard lock(mutex_);
    return record_ ? std::string(record_->Id()) : std::string();
}

std::string ChannelRecord::Name() const {
    std::lock_guard lock(mutex_);
    return record_ ? std::string(record_->Name()) : std::string();
}

std::string ChannelRecord::Url() const {
    std::lock_guard lock(mutex_);
    return record_ ? std::string(record_->Url()) : std::string();
}

bool ChannelRecord::Local() const {
    std::lock_guard lock(mutex_);
    return record_ && record_->local != 0;
}

void ChannelRecord::SetUrl(const std::string& url) {
    std::lock_guard lock(mutex_);
    if (record_) {
        record_->SetUrl(url);
    }
}

bool ChannelRecord::OfflineServerCamera() const {
    std::lock_guard lock(mutex_);
    return !record_ || (!record_->IsOnline() && record_->local == 0 && record_->isGroup == 0 &&
                        record_->type == 0);
}

}  // namespace orbisight
