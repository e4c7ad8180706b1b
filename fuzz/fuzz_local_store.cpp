// The local device file "LocalDevInfos.dat" on arbitrary bytes, decoded as
// the loader decodes it: texts end inside their fields, the report agrees
// with the list, saving what was loaded and loading it again gives the same
// file, and editing the loaded list (add, delete with its groups below,
// find) neither crashes nor loops whatever parent links the file holds.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "account/LocalDeviceStore.h"

using namespace orbisight;

namespace {

bool Terminated(const DeviceInfo& r) {
    return r.softwareVersion[sizeof r.softwareVersion - 1] == '\0' &&
           r.hardwareVersion[sizeof r.hardwareVersion - 1] == '\0' &&
           r.id[sizeof r.id - 1] == '\0' && r.name[sizeof r.name - 1] == '\0' &&
           r.tips[sizeof r.tips - 1] == '\0' && r.url[sizeof r.url - 1] == '\0' &&
           r.hostAddress[sizeof r.hostAddress - 1] == '\0' && r.user[sizeof r.user - 1] == '\0' &&
           r.password[sizeof r.password - 1] == '\0';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The group counter is process-wide: every input starts from a fresh
    // installation's value.
    SetNextLocalGroupNumber(kFirstLocalGroupNumber);

    LocalDeviceStore store("/nonexistent/LocalDevInfos.dat");
    LocalStoreLoadReport report = LocalDeviceStore::Decode(data, size, store.List());
    if (static_cast<size_t>(report.read) != store.List().size() + report.dropped) {
        std::abort();
    }
    int32_t highestGroup = INT32_MIN;
    for (const auto& record : store.List()) {
        if (!Terminated(*record) || record->local != 1 || record->connected != 0) {
            std::abort();
        }
        if (record->isGroup != 0 && record->groupNumber > highestGroup) {
            highestGroup = record->groupNumber;
        }
    }
    // The counter never hands out a number a stored group already has.
    if (highestGroup != INT32_MIN && highestGroup < INT32_MAX &&
        NextLocalGroupNumber() <= highestGroup) {
        std::abort();
    }

    // Saved and loaded again, the list is the same file.
    std::vector<uint8_t> image = store.Encode();
    LocalDeviceStore again("/nonexistent/LocalDevInfos.dat");
    LocalDeviceStore::Decode(image.data(), image.size(), again.List());
    if (again.Encode() != image) {
        std::abort();
    }

    // Edits on whatever the file held.
    DeviceList& list = store.List();
    if (!list.empty()) {
        LocalEntryRef first = LocalEntryRef::Of(*list.front());
        if (store.Find(first) == nullptr) {
            std::abort();
        }
        int32_t parent =
            list.front()->isGroup != 0 ? list.front()->groupNumber : list.front()->parentGroup;
        if (store.AddGroup("New group", parent) == 0) {
            // A new group has a number of its own, and never the top
            // level's 0.
            const DeviceInfo& added = *list.back();
            if (added.groupNumber == 0) {
                std::abort();
            }
            for (size_t i = 0; i + 1 < list.size(); ++i) {
                if (list[i]->isGroup != 0 && list[i]->groupNumber == added.groupNumber) {
                    std::abort();
                }
            }
        }
        std::string id(list.back()->Id());
        std::string host(list.back()->HostAddress());
        store.AddDevice(id.empty() ? "NEW0001" : id, host, "", "pw", parent);
        if (!store.DeleteEntry(first)) {
            std::abort();
        }
    }
    store.AddGroup("", 0);
    // Whatever the file held, the counter never wraps or falls to the top
    // level's number.
    if (NextLocalGroupNumber() < 1) {
        std::abort();
    }
    // The edited list saves and loads like any other.
    image = store.Encode();
    LocalDeviceStore reloaded("/nonexistent/LocalDevInfos.dat");
    LocalDeviceStore::Decode(image.data(), image.size(), reloaded.List());
    return 0;
}
