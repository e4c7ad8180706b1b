#pragma once

#include <cstdint>
#include <string_view>

namespace orbisight::sim {

// A tiny built-in bitmap font for the simulated cameras' test pictures, drawn
// straight into a luma plane (no graphics library in the simulator).
class BitmapFont {
  public:
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 7;
    static constexpr int kAdvance = 6;  // glyph plus one column of space

    static int TextWidth(std::string_view text, int scale);
    static int TextHeight(int scale) { return kGlyphHeight * scale; }

    // Draws text with its top-left corner at (x, y), each font pixel as a
    // scale x scale block of value ink; clipped to the plane.
    static void Draw(uint8_t* plane, int stride, int width, int height, int x, int y, int scale,
                     std::string_view text, uint8_t ink);
};

}  // namespace orbisight::sim
