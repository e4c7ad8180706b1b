#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "account/DeviceInfo.h"

namespace orbisight {

// The direct camera address of an address list: host and port of its first
// "ssp://" entry (up to ";" or a blank; port 5552 when none is written).
struct DirectAddress {
    std::string host;
    int port = 0;
};
// False when the list has no usable "ssp://" entry.
bool ParseDirectAddress(std::string_view addressList, DirectAddress& out);

enum class ProbeResult {
    kOnline,     // the camera accepted a connection: status 2
    kOffline,    // no connection within the wait: status 0
    kUnchanged,  // no direct address, or the probe was cancelled
};

// Tests whether a local camera answers: a TCP connection to its direct
// address within waitMs (1 s by default). Sets the record's status (2 or 0)
// unless the result is kUnchanged. The connection is closed at once.
ProbeResult ProbeLocalDevice(DeviceInfo& record, const std::atomic<bool>* cancel = nullptr,
                             int waitMs = 1000);

}  // namespace orbisight
