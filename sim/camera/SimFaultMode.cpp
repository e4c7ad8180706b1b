#include "sim/camera/SimFaultMode.h"

#include <array>
#include <utility>

namespace orbisight::sim {
namespace {

constexpr std::array<std::pair<SimFaultMode, std::string_view>, 6> kNames = {{
    {SimFaultMode::kNone, "none"},
    {SimFaultMode::kRefuse, "refuse"},
    {SimFaultMode::kCloseAfterLogin, "close_after_login"},
    {SimFaultMode::kStall, "stall"},
    {SimFaultMode::kOverlongHeader, "overlong_header"},
    {SimFaultMode::kMalformedFields, "malformed_fields"},
}};

}  // namespace

std::string_view FaultModeName(SimFaultMode mode) {
    for (const auto& [value, name] : kNames) {
        if (value == mode) {
            return name;
        }
    }
    return "none";
}

std::optional<SimFaultMode> ParseFaultMode(std::string_view name) {
    for (const auto& [value, text] : kNames) {
        if (text == name) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace orbisight::sim
