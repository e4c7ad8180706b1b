#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orbisight::sim {

// A loop of AAC frames with ADTS headers: a simulated camera's sound.
struct AacClip {
    static constexpr int kSampleRate = 8000;
    static constexpr int kSamplesPerFrame = 1024;  // 128 ms at 8000 Hz
    std::vector<std::vector<uint8_t>> frames;

    static int FrameDurationMs() { return kSamplesPerFrame * 1000 / kSampleRate; }
};

// The 7-byte ADTS header (MPEG-4, AAC LC, no CRC) for a raw frame of
// payloadSize bytes. sampleRateIndex 11 is 8000 Hz.
void WriteAdtsHeader(uint8_t* header, size_t payloadSize, int sampleRateIndex, int channels);

// Encodes `seconds` of a speech-like warbling tone, 8000 Hz mono, with
// FFmpeg's native AAC encoder. Empty when no encoder is available.
AacClip EncodeToneClip(int seconds);

}  // namespace orbisight::sim
