#include "media/p2p/PeerFrameInfo.h"

namespace orbisight::p2p {
namespace {

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

AvFrameInfo AvFrameInfo::Read(const uint8_t* b) {
    AvFrameInfo info;
    info.codec = static_cast<uint16_t>(b[0] | b[1] << 8);
    info.flags = b[2];
    info.camIndex = b[3];
    info.onlineNum = b[4];
    info.reserve0 = b[5];
    info.reserve1 = b[6];
    info.reserve2 = b[7];
    info.frameSize = Le32(b + 8);
    info.timeStamp = Le32(b + 12);
    return info;
}

void AvFrameInfo::Write(uint8_t* b) const {
    b[0] = static_cast<uint8_t>(codec);
    b[1] = static_cast<uint8_t>(codec >> 8);
    b[2] = flags;
    b[3] = camIndex;
    b[4] = onlineNum;
    b[5] = reserve0;
    b[6] = reserve1;
    b[7] = reserve2;
    PutLe32(b + 8, frameSize);
    PutLe32(b + 12, timeStamp);
}

std::optional<FrameHeader> RebuildFrameHeader(const AvFrameInfo& info) {
    FrameHeader header;
    header.size = info.frameSize;
    header.timeStamp = info.timeStamp;
    if (info.codec == kCodecH264) {
        header.flags = (info.flags == 1 ? 1u : 0u) + static_cast<uint32_t>(info.reserve2) * 256;
        header.mediaType = mediatype::kVideo;
        header.rate = info.reserve0;
        return header;
    }
    if (info.codec == kCodecAudio) {
        header.mediaType = mediatype::kAudio;
        header.rate = 8000;
        return header;
    }
    return std::nullopt;
}

}  // namespace orbisight::p2p
