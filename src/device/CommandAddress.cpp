#include "device/CommandAddress.h"

#include "platform/Text.h"

namespace orbisight {

CommandAddress ParseCommandAddress(std::string_view addressList) {
    CommandAddress address;
    std::string_view entry = addressList.substr(0, addressList.find(';'));
    constexpr std::string_view kPrefix = "ssp://";
    if (size_t prefix = entry.find(kPrefix); prefix != std::string_view::npos) {
        entry.remove_prefix(prefix + kPrefix.size());
    }
    size_t colon = entry.find(':');
    if (colon == std::string_view::npos) {
        return address;
    }
    address.host = std::string(entry.substr(0, colon));
    int port = ParseDecimal(entry.substr(colon + 1));
    address.port = (port >= 1 && port <= 65535) ? port : 0;
    return address;
}

}  // namespace orbisight
