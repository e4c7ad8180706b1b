#include "media/FrameHeader.h"

#include <cstring>

namespace orbisight {
namespace {

uint32_t ReadBig(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

uint32_t ReadLittle(const uint8_t* p) {
    return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | uint32_t{p[0]};
}

void WriteBig(uint32_t value, uint8_t* p) {
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}

void WriteLittle(uint32_t value, uint8_t* p) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

template <typename Read>
FrameHeader ReadWith(const uint8_t* bytes, Read read) {
    FrameHeader header;
    header.flags = read(bytes);
    header.mediaType = read(bytes + 4);
    header.size = read(bytes + 8);
    header.rate = read(bytes + 12);
    header.timeStamp = read(bytes + 16);
    std::memcpy(header.reserved1, bytes + 20, 4);
    std::memcpy(header.reserved2, bytes + 24, 4);
    return header;
}

template <typename Write>
void WriteWith(const FrameHeader& header, uint8_t* bytes, Write write) {
    write(header.flags, bytes);
    write(header.mediaType, bytes + 4);
    write(header.size, bytes + 8);
    write(header.rate, bytes + 12);
    write(header.timeStamp, bytes + 16);
    std::memcpy(bytes + 20, header.reserved1, 4);
    std::memcpy(bytes + 24, header.reserved2, 4);
}

}  // namespace

FrameHeader ReadFrameHeaderNetwork(const uint8_t* bytes) {
    return ReadWith(bytes, ReadBig);
}

void WriteFrameHeaderNetwork(const FrameHeader& header, uint8_t* bytes) {
    WriteWith(header, bytes, WriteBig);
}

FrameHeader ReadFrameHeaderFile(const uint8_t* bytes) {
    return ReadWith(bytes, ReadLittle);
}

void WriteFrameHeaderFile(const FrameHeader& header, uint8_t* bytes) {
    WriteWith(header, bytes, WriteLittle);
}

}  // namespace orbisight
