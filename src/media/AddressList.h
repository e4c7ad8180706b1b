#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orbisight {

// The default camera port, used for an entry that names a host without ":".
constexpr uint16_t kDefaultCameraPort = 5552;

// The addresses of one camera, parsed from its address list text: entries
// separated by ";", each "ssp://host:port" (direct), "ddns://host:port"
// (remote, tried first for cameras that are not local) or "tutkid://ID"
// (peer-to-peer).
struct ChannelAddresses {
    std::string directHost;  // at most 127 bytes
    uint16_t directPort = 0;
    std::string remoteHost;   // at most 127 bytes
    uint16_t remotePort = 0;  // 0 for a private remote host: never tried
    std::string peerId;       // at most 63 bytes; empty without "tutkid://"

    bool operator==(const ChannelAddresses&) const = default;
};

// Parses `list`. peerId is filled only when allowPeer is true. When a kind
// of entry appears more than once, the last one counts.
//
// Rules: the list is cut to 254 characters and every entry to 127. An entry
// is recognised by the prefix it contains; its data start right after the
// prefix (an entry with blanks or other text before the prefix still
// works). Blanks around an entry are ignored. Host: the text before the first ":". Port: the
// decimal number after the last ":"; a number outside 1..65535 gives port 0 (no connection), and an
// entry without ":" uses the default port 5552. A remote host whose text contains "192.168", "10.0"
// or "172.0" anywhere gets port 0, so such a camera is reached at its direct address.
ChannelAddresses ParseAddressList(std::string_view list, bool allowPeer);

}  // namespace orbisight
