#pragma once

#include <cstdint>

namespace orbisight {

// How long the video thread rests after a picture so that pictures come out
// at the camera's pace rather than in bursts: delta is the time stamp step
// to the previous frame (32-bit unsigned, so a step backwards is huge),
// rate the frame rate from the header, decodeMs the time decoding and
// drawing took. A gap of three frame periods or more is not waited for.
inline int PacingDelayMs(uint32_t delta, uint32_t rate, uint64_t decodeMs) {
    if (rate == 0) {
        return 0;
    }
    uint64_t limit = (1000u / rate) * 3u;
    if (delta < limit && delta > decodeMs + 30) {
        return static_cast<int>((delta - decodeMs - 30) / 3);
    }
    return 0;
}

}  // namespace orbisight
