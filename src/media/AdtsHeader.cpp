#include "media/AdtsHeader.h"

namespace orbisight {

int AdtsRateIndex(int sampleRate) {
    static constexpr int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                     22050, 16000, 12000, 11025, 8000,  7350};
    for (int i = 0; i < static_cast<int>(sizeof kRates / sizeof kRates[0]); ++i) {
        if (kRates[i] == sampleRate) {
            return i;
        }
    }
    return -1;
}

void WriteAdtsHeader(uint8_t* header, size_t payloadSize, int sampleRateIndex, int channels) {
    size_t length = payloadSize + kAdtsHeaderSize;
    constexpr int kProfileLc = 1;  // object type 2 minus 1
    header[0] = 0xFF;
    header[1] = 0xF1;  // sync, MPEG-4, layer 0, no CRC
    header[2] = static_cast<uint8_t>((kProfileLc << 6) | ((sampleRateIndex & 0xF) << 2) |
                                     ((channels >> 2) & 1));
    header[3] = static_cast<uint8_t>(((channels & 3) << 6) | ((length >> 11) & 0x3));
    header[4] = static_cast<uint8_t>((length >> 3) & 0xFF);
    header[5] = static_cast<uint8_t>(((length & 7) << 5) | 0x1F);
    header[6] = 0xFC;  // buffer fullness 0x7FF (variable), one raw block
}

}  // namespace orbisight
