#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orbisight {

// What a live channel may ask of the session's device lists when it
// reconnects: the current address list of a camera. The account session
// implements it; tests use a small fake.
class DeviceDirectory {
  public:
    virtual ~DeviceDirectory() = default;
    // Looks the camera up by its ID (exact comparison) in the local list when
    // local is true, else in the "my" list. Returns its address list text, or
    // nullopt when the camera is not listed.
    virtual std::optional<std::string> FindAddressList(std::string_view id, bool local) const = 0;
};

}  // namespace orbisight
