#include "media/AddressList.h"

#include "platform/Text.h"

namespace orbisight {
namespace {

constexpr size_t kMaxListLength = 254;  // the list plus ";" fits 256 bytes
constexpr size_t kMaxEntryLength = 127;
constexpr size_t kMaxHostLength = 127;   // host buffers hold 128 bytes
constexpr size_t kMaxPeerIdLength = 63;  // the identifier being connected: 64 bytes

constexpr std::string_view kDirectPrefix = "ssp://";
constexpr std::string_view kRemotePrefix = "ddns://";
constexpr std::string_view kPeerPrefix = "tutkid://";

// Host before the first ":", port after the last one.
void SplitHostPort(std::string_view data, std::string& host, uint16_t& port) {
    size_t firstColon = data.find(':');
    if (firstColon == std::string_view::npos) {
        // No port given: the camera's default port, rather than an
        // undefined one.
        host = std::string(data.substr(0, Utf8PrefixLength(data, kMaxHostLength)));
        port = kDefaultCameraPort;
        return;
    }
    std::string_view hostText = data.substr(0, firstColon);
    host = std::string(hostText.substr(0, Utf8PrefixLength(hostText, kMaxHostLength)));
    int number = ParseDecimal(data.substr(data.rfind(':') + 1));
    // A port that does not fit 16 bits would wrap to an unrelated port.
    port = (number >= 1 && number <= 65535) ? static_cast<uint16_t>(number) : 0;
}

bool IsPrivateRemoteHost(std::string_view host) {
    return host.find("192.168") != std::string_view::npos ||
           host.find("10.0") != std::string_view::npos ||
           host.find("172.0") != std::string_view::npos;
}

}  // namespace

ChannelAddresses ParseAddressList(std::string_view list, bool allowPeer) {
    ChannelAddresses result;
    list = list.substr(0, kMaxListLength);
    while (!list.empty()) {
        size_t end = list.find(';');
        std::string_view entry = list.substr(0, end);
        list = (end == std::string_view::npos) ? std::string_view{} : list.substr(end + 1);
        entry = Trim(entry.substr(0, kMaxEntryLength));

        if (size_t at = entry.find(kPeerPrefix); at != std::string_view::npos) {
            if (allowPeer) {
                std::string_view id = Trim(entry.substr(at + kPeerPrefix.size()));
                result.peerId = std::string(id.substr(0, kMaxPeerIdLength));
            }
        } else if (size_t at = entry.find(kRemotePrefix); at != std::string_view::npos) {
            SplitHostPort(entry.substr(at + kRemotePrefix.size()), result.remoteHost,
                          result.remotePort);
            if (IsPrivateRemoteHost(result.remoteHost)) {
                result.remotePort = 0;
            }
        } else if (size_t at = entry.find(kDirectPrefix); at != std::string_view::npos) {
            SplitHostPort(entry.substr(at + kDirectPrefix.size()), result.directHost,
                          result.directPort);
        }
    }
    return result;
}

}  // namespace orbisight
