#include "account/ProbeLocalDevice.h"

#include <arpa/inet.h>
#include <netdb.h>

#include "account/LocalDeviceStore.h"
#include "platform/Socket.h"

namespace orbisight {
namespace {

// The socket helper takes an unresolvable name for the local machine; a
// probe must instead report such a camera as off-line.
bool Resolves(const std::string& host) {
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) == 1) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) {
        return false;
    }
    freeaddrinfo(result);
    return true;
}

}  // namespace

bool ParseDirectAddress(std::string_view addressList, DirectAddress& out) {
    constexpr std::string_view kPrefix = "ssp://";
    size_t start = addressList.find(kPrefix);
    if (start == std::string_view::npos) {
        return false;
    }
    std::string_view entry = addressList.substr(start + kPrefix.size());
    size_t end = entry.find_first_of("; \t");
    if (end != std::string_view::npos) {
        entry = entry.substr(0, end);
    }
    int port = LocalDeviceStore::kDefaultCameraPort;
    size_t colon = entry.rfind(':');
    if (colon != std::string_view::npos) {
        std::string_view portText = entry.substr(colon + 1);
        entry = entry.substr(0, colon);
        int parsed = ParseDecimal(portText);
        if (parsed > 0 && parsed <= 65535) {
            port = parsed;
        }
    }
    if (entry.empty()) {
        return false;
    }
    out.host = std::string(entry);
    out.port = port;
    return true;
}

ProbeResult ProbeLocalDevice(DeviceInfo& record, const std::atomic<bool>* cancel, int waitMs) {
    DirectAddress address;
    if (!ParseDirectAddress(record.Url(), address)) {
        return ProbeResult::kUnchanged;
    }
    if (!Resolves(address.host)) {
        record.status = 0;
        return ProbeResult::kOffline;
    }
    int socket = ConnectTcp(address.host.c_str(), address.port, waitMs, cancel);
    if (socket != kNoSocket) {
        CloseSocket(socket);
        record.status = DeviceInfo::kStatusOnline;
        return ProbeResult::kOnline;
    }
    if (cancel != nullptr && cancel->load()) {
        return ProbeResult::kUnchanged;
    }
    record.status = 0;
    return ProbeResult::kOffline;
}

}  // namespace orbisight
