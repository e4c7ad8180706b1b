#include "account/LocalDeviceStore.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <limits>
#include <set>

#include "platform/Files.h"

namespace orbisight {
namespace fs = std::filesystem;

// The records are stored as their in-memory bytes, so the host must be
// little-endian like the file.
static_assert(std::endian::native == std::endian::little);

namespace {

std::atomic<int32_t> g_nextLocalGroupNumber{kFirstLocalGroupNumber};

int32_t ReadInt32(const uint8_t* p) {
    int32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

void AppendInt32(std::vector<uint8_t>& out, int32_t value) {
    uint8_t bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    out.insert(out.end(), bytes, bytes + 4);
}

// Text fields read from a file must end inside their field whatever the file
// holds, so that C-string readers never run past them.
void TerminateTexts(DeviceInfo& record) {
    record.softwareVersion[sizeof record.softwareVersion - 1] = '\0';
    record.hardwareVersion[sizeof record.hardwareVersion - 1] = '\0';
    record.id[sizeof record.id - 1] = '\0';
    record.name[sizeof record.name - 1] = '\0';
    record.tips[sizeof record.tips - 1] = '\0';
    record.url[sizeof record.url - 1] = '\0';
    record.hostAddress[sizeof record.hostAddress - 1] = '\0';
    record.user[sizeof record.user - 1] = '\0';
    record.password[sizeof record.password - 1] = '\0';
}

}  // namespace

int32_t NextLocalGroupNumber() {
    return g_nextLocalGroupNumber.load();
}

void SetNextLocalGroupNumber(int32_t value) {
    g_nextLocalGroupNumber.store(value);
}

LocalEntryRef LocalEntryRef::Of(const DeviceInfo& record) {
    LocalEntryRef ref;
    ref.isGroup = record.isGroup != 0;
    ref.groupNumber = record.groupNumber;
    if (!ref.isGroup) {
        ref.id = std::string(record.Id());
    }
    return ref;
}

bool LocalEntryRef::Matches(const DeviceInfo& record) const {
    if ((record.isGroup != 0) != isGroup) {
        return false;
    }
    return isGroup ? record.groupNumber == groupNumber : record.Id() == id;
}

std::string LocalAddressList(std::string_view hostAddress) {
    std::string list = "ssp://";
    list += hostAddress;
    // A host typed with its own port keeps it; "host:port:5552" would be an
    // address nobody can open.
    if (hostAddress.find(':') == std::string_view::npos) {
        list += ":" + std::to_string(LocalDeviceStore::kDefaultCameraPort);
    }
    return list;
}

LocalDeviceStore::LocalDeviceStore(fs::path file) : file_(std::move(file)) {}

LocalStoreLoadReport LocalDeviceStore::Load() {
    list_.clear();
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(file_, bytes)) {
        return {};
    }
    return Decode(bytes.data(), bytes.size(), list_);
}

LocalStoreLoadReport LocalDeviceStore::Decode(const uint8_t* bytes, size_t size, DeviceList& out) {
    LocalStoreLoadReport report;
    if (bytes == nullptr || size < kHeaderBytes) {
        return report;  // unreadable: the counter keeps its value
    }
    report.opened = true;
    int32_t nextGroup = ReadInt32(bytes);
    report.announced = ReadInt32(bytes + 4);
    size_t whole = (size - kHeaderBytes) / sizeof(DeviceInfo);
    size_t wanted = report.announced > 0 ? static_cast<size_t>(report.announced) : 0;
    size_t count = std::min(wanted, whole);
    report.truncated = count < wanted || report.announced < 0;
    report.read = static_cast<int32_t>(count);

    int32_t highestGroup = std::numeric_limits<int32_t>::min();
    for (size_t i = 0; i < count; ++i) {
        auto record = NewDeviceInfo();
        std::memcpy(record.get(), bytes + kHeaderBytes + i * sizeof(DeviceInfo),
                    sizeof(DeviceInfo));
        TerminateTexts(*record);
        if (record->orphan == 1) {
            record->parentGroup = 0;
            if (record->isGroup != 0) {
                ++report.dropped;
                continue;
            }
        }
        record->connected = 0;
        record->local = 1;
        record->status = 0;
        record->treeItem = 0;
        if (record->isGroup != 0) {
            highestGroup = std::max(highestGroup, record->groupNumber);
        }
        out.push_back(std::move(record));
    }
    // A counter below 1 was never written by a client (it would number a
    // group 0, the top level): start over as a new installation does.
    if (nextGroup < 1) {
        nextGroup = kFirstLocalGroupNumber;
    }
    // A counter at or below a stored group's number would hand out that
    // number again and merge two groups; keep it above every stored group.
    // Above a group numbered INT32_MAX there is no number left: the counter
    // stays at the limit, where no group is added any more.
    if (highestGroup != std::numeric_limits<int32_t>::min() && nextGroup <= highestGroup) {
        nextGroup = highestGroup < INT32_MAX ? highestGroup + 1 : INT32_MAX;
    }
    SetNextLocalGroupNumber(nextGroup);
    return report;
}

std::vector<uint8_t> LocalDeviceStore::Encode() const {
    std::vector<uint8_t> image;
    image.reserve(kHeaderBytes + list_.size() * sizeof(DeviceInfo));
    AppendInt32(image, NextLocalGroupNumber());
    AppendInt32(image, static_cast<int32_t>(list_.size()));
    for (const auto& record : list_) {
        const auto* p = reinterpret_cast<const uint8_t*>(record.get());
        image.insert(image.end(), p, p + sizeof(DeviceInfo));
    }
    return image;
}

bool LocalDeviceStore::WriteFile(const fs::path& file, const std::vector<uint8_t>& image,
                                 std::string* error) {
    return WriteFileAtomically(file, image.data(), image.size(), 0600, error);
}

bool LocalDeviceStore::DeleteFile() const {
    std::error_code ec;
    return fs::remove(file_, ec);
}

int LocalDeviceStore::AddGroup(std::string_view name, int32_t parent) {
    for (const auto& record : list_) {
        if (record->isGroup != 0 && record->parentGroup == parent &&
            EqualsNoCase(record->Name(), name)) {
            return 1;
        }
    }
    // The counter at its limit has no number left to hand out.
    if (NextLocalGroupNumber() == INT32_MAX) {
        return 1;
    }
    auto record = NewDeviceInfo();
    record->parentGroup = parent;
    record->groupNumber = NextLocalGroupNumber();
    SetNextLocalGroupNumber(record->groupNumber + 1);
    record->isGroup = 1;
    record->local = 1;
    record->SetName(name);
    list_.push_back(std::move(record));
    return 0;
}

DeviceInfo& LocalDeviceStore::AddDevice(std::string_view id, std::string_view hostAddress,
                                        std::string_view name, std::string_view password,
                                        int32_t parent) {
    DeviceInfo* record = nullptr;
    for (const auto& candidate : list_) {
        if (candidate->isGroup == 0 && EqualsNoCase(candidate->Id(), id)) {
            record = candidate.get();
            break;
        }
    }
    if (record == nullptr) {
        list_.push_back(NewDeviceInfo());
        record = list_.back().get();
        record->parentGroup = parent;
    }
    if (record->orphan == 1) {
        record->parentGroup = 0;
    }
    record->local = 1;
    record->status = DeviceInfo::kStatusOnline;
    record->kind = DeviceInfo::kKindLocalUtf8;
    record->SetId(id);
    record->SetName("IPCam");
    record->SetUser("admin");
    record->SetPassword(password);
    record->SetUrl(kDefaultAddressList);
    if (!hostAddress.empty()) {
        record->SetUrl(LocalAddressList(hostAddress));
        record->SetHostAddress(hostAddress);
    }
    if (!name.empty()) {
        record->SetName(name);
    }
    return *record;
}

DeviceInfo* LocalDeviceStore::Find(const LocalEntryRef& entry) {
    for (const auto& record : list_) {
        if (entry.Matches(*record)) {
            return record.get();
        }
    }
    return nullptr;
}

bool LocalDeviceStore::DeleteEntry(const LocalEntryRef& entry) {
    auto it = std::find_if(list_.begin(), list_.end(),
                           [&](const auto& record) { return entry.Matches(*record); });
    if (it == list_.end()) {
        return false;
    }
    bool isGroup = (*it)->isGroup != 0;
    int32_t number = (*it)->groupNumber;
    list_.erase(it);
    if (!isGroup) {
        return true;
    }
    // Every group below the removed one, at any depth. The visited set keeps
    // a parent loop in a damaged file from running forever.
    std::set<int32_t> below{number};
    std::vector<int32_t> pending{number};
    while (!pending.empty()) {
        int32_t parent = pending.back();
        pending.pop_back();
        for (const auto& record : list_) {
            if (record->parentGroup != parent) {
                continue;
            }
            if (record->isGroup != 0) {
                record->orphan = 1;
                if (below.insert(record->groupNumber).second) {
                    pending.push_back(record->groupNumber);
                }
            } else {
                record->parentGroup = 0;
            }
        }
    }
    return true;
}

}  // namespace orbisight
