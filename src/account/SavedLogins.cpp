#include "account/SavedLogins.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orbisight {

std::vector<std::string> UserLoginInfo::AutoConnectIds() const {
    int count = std::clamp<int32_t>(autoConnectCount, 0, kMaxAutoConnectDevices);
    std::vector<std::string> ids;
    ids.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        // An empty entry names no camera; the list is written without them.
        std::string_view id = FieldText(autoConnectIds[i]);
        if (!id.empty()) {
            ids.emplace_back(id);
        }
    }
    return ids;
}

size_t UserLoginInfo::SetAutoConnectIds(const std::vector<std::string>& ids) {
    std::memset(autoConnectIds, 0, sizeof autoConnectIds);
    size_t count = 0;
    for (const std::string& id : ids) {
        if (count == static_cast<size_t>(kMaxAutoConnectDevices)) {
            break;
        }
        if (FitsAutoConnectField(id)) {
            CopyTextField(autoConnectIds[count++], id);
        }
    }
    autoConnectCount = static_cast<int32_t>(count);
    return count;
}

namespace {

std::unique_ptr<UserLoginInfo> NewLogin() {
    auto record = std::make_unique<UserLoginInfo>();
    std::memset(record.get(), 0, sizeof(UserLoginInfo));
    return record;
}

// A value written by someone else may hold anything: every text must end
// inside its field.
void TerminateTexts(UserLoginInfo& record) {
    record.userName[sizeof record.userName - 1] = '\0';
    record.password[sizeof record.password - 1] = '\0';
    for (auto& id : record.autoConnectIds) {
        id[sizeof id - 1] = '\0';
    }
}

}  // namespace

SavedLogins::SavedLogins() = default;

SavedLogins::SavedLogins(Registry registry) : registry_(std::move(registry)) {}

std::string SavedLogins::ValueName(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "OrbisightUser%02d", index);
    return name;
}

std::unique_ptr<UserLoginInfo> SavedLogins::FromValue(const std::vector<uint8_t>& data) {
    if (data.size() > sizeof(UserLoginInfo)) {
        return nullptr;
    }
    auto record = NewLogin();
    if (!data.empty()) {
        std::memcpy(record.get(), data.data(), data.size());
    }
    TerminateTexts(*record);
    if (record->UserName().empty()) {
        return nullptr;
    }
    return record;
}

void SavedLogins::Load() {
    std::string inUseName = inUse_ ? std::string(inUse_->UserName()) : std::string();
    bool hadInUse = inUse_ != nullptr;
    inUse_ = nullptr;
    logins_.clear();
    if (!registry_.KeyExists(kKeyPath) && !registry_.CreateKey(kKeyPath)) {
        return;
    }
    for (int i = 0; i < kMaxRead; ++i) {
        auto value = registry_.ReadValue(kKeyPath, ValueName(i));
        auto record = value ? FromValue(value->data) : nullptr;
        if (!record) {
            continue;
        }
        if (hadInUse && inUse_ == nullptr && record->UserName() == inUseName) {
            inUse_ = record.get();
        }
        logins_.push_back(std::move(record));
    }
}

bool SavedLogins::Save() {
    // Values 0..199 give way to the records, in one step of the store: a
    // write that fails leaves every saved login as it was.
    std::vector<std::string> remove;
    remove.reserve(kMaxRead);
    for (int i = 0; i < kMaxRead; ++i) {
        remove.push_back(ValueName(i));
    }
    std::vector<NamedRegistryValue> values(logins_.size());
    for (size_t i = 0; i < logins_.size(); ++i) {
        values[i].name = ValueName(static_cast<int>(i));
        values[i].value.type = RegistryType::kDword;
        const auto* bytes = reinterpret_cast<const uint8_t*>(logins_[i].get());
        values[i].value.data.assign(bytes, bytes + sizeof(UserLoginInfo));
    }
    return registry_.ReplaceValues(kKeyPath, remove, values);
}

UserLoginInfo* SavedLogins::At(size_t index) {
    return index < logins_.size() ? logins_[index].get() : nullptr;
}

const UserLoginInfo* SavedLogins::At(size_t index) const {
    return index < logins_.size() ? logins_[index].get() : nullptr;
}

void SavedLogins::Use(size_t index) {
    if (index == 0 || index >= logins_.size()) {
        return;
    }
    auto record = std::move(logins_[index]);
    logins_.erase(logins_.begin() + static_cast<std::ptrdiff_t>(index));
    logins_.insert(logins_.begin(), std::move(record));
}

UserLoginInfo& SavedLogins::Add(const UserLoginInfo& record) {
    auto copy = NewLogin();
    std::memcpy(copy.get(), &record, sizeof(UserLoginInfo));
    logins_.insert(logins_.begin(), std::move(copy));
    return *logins_.front();
}

UserLoginInfo& SavedLogins::Add(const std::string& userName, const std::string& password) {
    auto record = NewLogin();
    record->SetUserName(userName);
    record->SetPassword(password);
    logins_.insert(logins_.begin(), std::move(record));
    return *logins_.front();
}

bool SavedLogins::Remove(size_t index) {
    if (index >= logins_.size()) {
        return false;
    }
    if (inUse_ == logins_[index].get()) {
        inUse_ = nullptr;  // never leave a pointer to a freed record
    }
    logins_.erase(logins_.begin() + static_cast<std::ptrdiff_t>(index));
    return Save();
}

}  // namespace orbisight
