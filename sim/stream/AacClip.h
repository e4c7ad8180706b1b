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

// The camera's sound: a steady tone a test can pick out of what it hears.
constexpr double kToneHz = 1000.0;

// Encodes `seconds` of a kToneHz sine, 8000 Hz mono, with FFmpeg's native
// AAC encoder. Empty when no encoder is available.
AacClip EncodeToneClip(int seconds);

}  // namespace orbisight::sim
