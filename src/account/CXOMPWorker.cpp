#include "account/CXOMPWorker.h"

#include "account/ProbeLocalDevice.h"
#include "platform/Files.h"

namespace orbisight {
namespace {

std::filesystem::path ChooseDataFolder(const CXOMPWorkerOptions& options) {
    return options.dataFolder.empty() ? DataFolder() : options.dataFolder;
}

}  // namespace

CXOMPWorker::CXOMPWorker(NoticeTarget* target, CXOMPWorkerOptions options)
    : dataFolder_(ChooseDataFolder(options)),
      target_(target),
      lists_(dataFolder_ / LocalDeviceStore::kFileName),
      logins_(Registry(dataFolder_ / "registry")) {
    lists_.LoadLocal();
}

CXOMPWorker::~CXOMPWorker() = default;

void CXOMPWorker::PostSession(uintptr_t code, intptr_t value) {
    if (NoticeTarget* target = target_.load()) {
        Notice notice;
        notice.message = notice::kAccountSession;
        notice.wParam = code;
        notice.lParam = value;
        target->Post(std::move(notice));
    }
}

std::optional<std::string> CXOMPWorker::FindAddressList(std::string_view id, bool local) const {
    auto record =
        lists_.Find(local ? DeviceListKind::kLocal : DeviceListKind::kMy, id, IdMatch::kExact);
    if (!record) {
        return std::nullopt;
    }
    return std::string(record->Url());
}

int CXOMPWorker::ProbeLocalDevices(const std::atomic<bool>* cancel, int waitMs) {
    int changed = 0;
    for (const auto& [entry, addressList] : lists_.LocalDevicesToProbe()) {
        if (cancel != nullptr && cancel->load()) {
            break;
        }
        auto current = lists_.Find(DeviceListKind::kLocal, entry.id, IdMatch::kExact);
        if (!current) {
            continue;  // deleted meanwhile
        }
        DeviceInfo probe = *current;
        if (ProbeLocalDevice(probe, cancel, waitMs) == ProbeResult::kUnchanged) {
            continue;
        }
        if (probe.status != current->status && lists_.SetLocalStatus(entry, probe.status)) {
            ++changed;
        }
    }
    return changed;
}

}  // namespace orbisight
