#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "media/FrameHeader.h"

namespace orbisight::p2p {

// Codecs of the frame information.
constexpr uint16_t kCodecH264 = 78;    // 0x4E: H.264 video
constexpr uint16_t kCodecAudio = 139;  // 0x8B: the camera's audio (AAC with ADTS)

// The 16-byte information that comes with every peer-to-peer frame, as it
// is stored (little-endian numbers).
struct AvFrameInfo {
    uint16_t codec = 0;      // offset 0
    uint8_t flags = 0;       // 2: 1 = key frame
    uint8_t camIndex = 0;    // 3: not used
    uint8_t onlineNum = 0;   // 4: not used
    uint8_t reserve0 = 0;    // 5: video frame rate
    uint8_t reserve1 = 0;    // 6: kept, not used
    uint8_t reserve2 = 0;    // 7: alarm marker of a video frame
    uint32_t frameSize = 0;  // 8: frame size in bytes
    uint32_t timeStamp = 0;  // 12: milliseconds

    static constexpr size_t kSize = 16;
    static AvFrameInfo Read(const uint8_t* bytes);
    void Write(uint8_t* bytes) const;
};

// The frame header a peer-to-peer frame is queued with (host order), or
// nothing for a codec other than video and audio:
// video: flags = 1 for a key frame (else 0) + reserve2 * 256, type 1,
//        rate = reserve0;
// audio: flags 0, type 2, rate 8000;
// both: size = the information's frame size, its time stamp, reserved 0.
std::optional<FrameHeader> RebuildFrameHeader(const AvFrameInfo& info);

}  // namespace orbisight::p2p
