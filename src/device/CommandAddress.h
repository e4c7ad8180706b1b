#pragma once

#include <string>
#include <string_view>

namespace orbisight {

// Where the command channel connects: the first entry of a camera's address
// list, read as "ssp://" host ":" port.
struct CommandAddress {
    std::string host;  // empty when the entry has no ":"
    int port = 0;      // 0 when there is no usable port
    bool HasPort() const { return port > 0; }
};

// Cuts the list at the first ";", drops everything up to and including
// "ssp://" when present, and splits at the first ":" into host and decimal
// port. Without ":" host and port stay empty. A port outside 1..65535 is
// not usable (0) rather than wrapped to some other port.
CommandAddress ParseCommandAddress(std::string_view addressList);

}  // namespace orbisight
