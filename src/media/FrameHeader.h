#pragma once

#include <cstddef>
#include <cstdint>

namespace orbisight {

// Media types of a frame.
namespace mediatype {
constexpr uint32_t kVideo = 1;  // H.264 elementary stream (Annex B)
constexpr uint32_t kAudio = 2;  // AAC with ADTS headers
}  // namespace mediatype

// The 28-byte header in front of every media frame: seven 32-bit fields,
// big-endian on the camera connection, little-endian in ".264" files.
struct FrameHeader {
    static constexpr size_t kSize = 28;

    uint32_t flags = 0;      // bits 0-7: key frame when non-zero; bits 8-15: alarm marker
    uint32_t mediaType = 0;  // mediatype::kVideo or kAudio; others are not queued
    uint32_t size = 0;       // payload bytes after the header
    uint32_t rate = 0;       // video: frames per second; audio: sample rate in Hz
    uint32_t timeStamp = 0;  // milliseconds on the camera's clock
    // Not interpreted: kept as the four bytes received, in wire order.
    uint8_t reserved1[4] = {};
    uint8_t reserved2[4] = {};

    bool KeyFrame() const { return (flags & 0xff) != 0; }
    // The camera marks the picture only with the value 1.
    bool AlarmMarked() const { return ((flags >> 8) & 0xff) == 1; }
};

// Reads a header sent by a camera (first five fields big-endian).
FrameHeader ReadFrameHeaderNetwork(const uint8_t* bytes);
// Writes a header as a camera sends it.
void WriteFrameHeaderNetwork(const FrameHeader& header, uint8_t* bytes);
// The little-endian form of recording files.
FrameHeader ReadFrameHeaderFile(const uint8_t* bytes);
void WriteFrameHeaderFile(const FrameHeader& header, uint8_t* bytes);

// Frame buffer sizes of a live channel.
constexpr size_t kVideoFrameCapacity = 3110400;
constexpr size_t kAudioFrameCapacity = 65536;
constexpr size_t kTalkFrameCapacity = 65536;

}  // namespace orbisight
