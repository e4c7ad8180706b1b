#pragma once

#include <cstdint>

namespace orbisight {

// 32-bit pixels in memory: a picture, or the part of a window's buffer a
// picture is stretched into.
struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool Empty() const { return width <= 0 || height <= 0; }
};

struct PixelBuffer {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int strideBytes = 0;
};

// Stretches a picture over a rectangle of a larger buffer, nearest
// neighbour, writing only the part of it inside clip (both in the target's
// coordinates): target pixel (x, y) of the rectangle shows source pixel
// (floor((x + 0.5) * sw / dw), floor((y + 0.5) * sh / dh)).
//
// This is the paint of a full-screen pane: about 2 million pixels per
// picture. Each source row is expanded once (four pixels per pshufb where
// the picture grows); target rows that show the same source row as the one
// above are copies of it. Returns false (and
// writes nothing) when the arguments do not describe pictures, or the
// rectangle or clip reach outside the target.
bool StretchNearest(const uint32_t* source, int sourceWidth, int sourceHeight,
                    int sourceStrideBytes, const PixelBuffer& target, const PixelRect& area,
                    const PixelRect& clip);

}  // namespace orbisight
