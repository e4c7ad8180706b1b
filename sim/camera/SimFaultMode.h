#pragma once

#include <optional>
#include <string_view>

namespace orbisight::sim {

// How a simulated camera misbehaves, for the tests of the client's failure
// handling. Settable per camera in the configuration ("fault"), at run time
// through SimCamera::SetFault and by the stdin command "fault ID MODE".
enum class SimFaultMode {
    kNone,             // a well-behaved camera
    kRefuse,           // accepted connections are closed at once
    kCloseAfterLogin,  // the login is answered, then the connection closes
    kStall,            // connections are accepted and read, never answered
    kOverlongHeader,   // answers carry a body length above the client's limit
    kMalformedFields,  // answers carry a field list that runs past the body
};

// The configuration word of a mode ("none", "refuse", "close_after_login",
// "stall", "overlong_header", "malformed_fields").
std::string_view FaultModeName(SimFaultMode mode);
std::optional<SimFaultMode> ParseFaultMode(std::string_view name);

}  // namespace orbisight::sim
