#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/FrameHeader.h"

namespace orbisight::sim {

// Appends one frame (header in network byte order, then the payload) to the
// "Data" value being assembled.
void AppendFrame(std::vector<uint8_t>& data, const FrameHeader& header, const uint8_t* payload,
                 size_t size);

// Writes a whole media message (type 9) with "Ret" "1" and "Data" = data,
// exactly as CHalvexProtocolAX would serialise it, into out. Streaming
// builds messages this way to avoid copying every frame twice.
void BuildMediaMessage(std::vector<uint8_t>& out, const uint8_t* data, size_t size);

// A media message whose body is bodyLength bytes long (a "Data" of zeros),
// for the over-long message fault.
void BuildPaddedMediaMessage(std::vector<uint8_t>& out, size_t bodyLength);

}  // namespace orbisight::sim
