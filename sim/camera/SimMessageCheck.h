#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/CHalvexProtocolAX.h"

namespace orbisight::sim {

// Strict checks of what a client sends to a simulated camera. The client's
// own parser is lenient by design (lower-case hex, short field lists), so
// the simulator is where a malformed request gets noticed: every rule the
// client's writer must follow is checked here and each breach is reported
// as one line of text.
class SimMessageCheck {
  public:
    // The largest body the simulator reads; longer messages end the
    // connection (nothing the client sends comes near it).
    static constexpr int kMaxBody = CHalvexProtocolAX::kMaxParsedBody;

    // Checks the 14-byte header: version "0100", upper-case hexadecimal
    // type and body length. Fills bodyLength; returns false when the body
    // length cannot be read at all (the connection cannot continue).
    static bool CheckHeader(const uint8_t* header, int& bodyLength,
                            std::vector<std::string>& violations);

    // Checks the field list of a body: upper-case hexadecimal lengths, the
    // fields adding up to exactly the body length, no name twice (in any
    // letter case), names not empty.
    static void CheckBody(const uint8_t* body, size_t length, std::vector<std::string>& violations);

    // Checks the fields that the parsed message's type and command need:
    // login fields in order, no fields on a keep-alive, "Command_Param" on
    // every request, and the fields of each command the camera answers.
    static void CheckCommand(const CHalvexProtocolAX& message,
                             std::vector<std::string>& violations);
};

}  // namespace orbisight::sim
