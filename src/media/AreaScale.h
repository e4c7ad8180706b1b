#pragma once

#include <cstdint>
#include <vector>

namespace orbisight {

// Shrinks 8-bit planes by a factor between 1 and 2 in each direction with a
// box (area) filter: each target pixel is the mean of the source area it
// covers, the weights in 64ths. That is the last step of a wall pane's
// picture after the exact halvings; it keeps fine detail from aliasing the
// way two-tap bilinear sampling does, and runs several times faster than
// libswscale's general filter (rows with SSE2, columns with SSSE3 where the
// processor has it).
//
// Rows are filtered first into a padded row of the source's width, then
// columns from there; nothing is read or written outside the planes'
// widths and heights.
class AreaScaler {
  public:
    // False (and Scale must not be called) when a direction grows or
    // shrinks by more than half, or a size is not positive.
    bool Prepare(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight);

    void Scale(const uint8_t* source, int sourceStride, uint8_t* target, int targetStride);
    // The same in plain C++; the result is identical.
    void ScaleScalar(const uint8_t* source, int sourceStride, uint8_t* target, int targetStride);

    // One target pixel's taps in one direction: up to three source pixels
    // from `first`, weights summing to 64 (unused ones 0).
    struct Taps {
        int first = 0;
        uint8_t weight[3] = {0, 0, 0};
    };
    const std::vector<Taps>& Columns() const { return columns_; }
    const std::vector<Taps>& Rows() const { return rows_; }

  private:
    void FilterRow(const uint8_t* source, int sourceStride, const Taps& taps, bool simd);
    void FilterColumnsScalar(uint8_t* target) const;

    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    int targetWidth_ = 0;
    int targetHeight_ = 0;
    std::vector<Taps> columns_;
    std::vector<Taps> rows_;
    // Per four target columns: 16 shuffle indices and 16 signed weights
    // (four taps each, the fourth unused) for pshufb and pmaddubsw.
    std::vector<uint8_t> columnPlan_;
    std::vector<uint8_t> row_;  // a row filtered vertically, plus 16 bytes of padding
};

}  // namespace orbisight
