#pragma once

#include <cstddef>
#include <cstdint>

namespace orbisight {

// The 7-byte ADTS header that frames one raw AAC LC block (MPEG-4, no CRC).
constexpr size_t kAdtsHeaderSize = 7;

// The ADTS sampling-frequency index of a rate (8000 -> 11, 16000 -> 8), or -1
// for a rate ADTS cannot name.
int AdtsRateIndex(int sampleRate);

// Writes the header for a raw block of payloadSize bytes. The frame length
// field holds 13 bits: payloadSize must stay below 8185.
void WriteAdtsHeader(uint8_t* header, size_t payloadSize, int sampleRateIndex, int channels);

}  // namespace orbisight
