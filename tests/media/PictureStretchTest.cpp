#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "media/PictureStretch.h"

namespace orbisight {
namespace {

constexpr uint32_t kUntouched = 0xdeadbeef;

struct Target {
    Target(int w, int h) : pixels(static_cast<size_t>(w) * h, kUntouched), width(w), height(h) {}
    PixelBuffer Buffer() { return {pixels.data(), width, height, width * 4}; }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    std::vector<uint32_t> pixels;
    int width;
    int height;
};

// A 3 x 2 picture with a stride wider than its rows.
struct Source {
    static constexpr int kWidth = 3;
    static constexpr int kHeight = 2;
    static constexpr int kStridePixels = 5;
    Source() : pixels(kStridePixels * kHeight, 0) {
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                pixels[static_cast<size_t>(y) * kStridePixels + x] = Colour(x, y);
            }
        }
    }
    static uint32_t Colour(int x, int y) { return 0xff000000u | (x << 8) | y; }
    bool Into(Target& target, PixelRect area, PixelRect clip) {
        return StretchNearest(pixels.data(), kWidth, kHeight, kStridePixels * 4, target.Buffer(),
                              area, clip);
    }
    std::vector<uint32_t> pixels;
};

// Every pixel of the rectangle shows the source pixel under its centre; not
// one pixel outside the rectangle (or outside the clip) is written.
TEST(PictureStretch, NearestSourcePixelInsideTheRectangleAndTheClipOnly) {
    Source source;
    Target target(12, 8);
    const PixelRect area{2, 1, 7, 5};
    ASSERT_TRUE(source.Into(target, area, {0, 0, 12, 8}));
    for (int y = 0; y < target.height; ++y) {
        for (int x = 0; x < target.width; ++x) {
            bool inside = x >= 2 && x < 9 && y >= 1 && y < 6;
            uint32_t want =
                inside ? Source::Colour((2 * (x - 2) + 1) * 3 / 14, (2 * (y - 1) + 1) * 2 / 10)
                       : kUntouched;
            ASSERT_EQ(target.At(x, y), want) << x << "," << y;
        }
    }
    // The last column and row show the last source column and row.
    EXPECT_EQ(target.At(8, 5), Source::Colour(2, 1));
    EXPECT_EQ(target.At(2, 1), Source::Colour(0, 0));

    // A clip across the rectangle's corner: only the overlap.
    Target clipped(12, 8);
    ASSERT_TRUE(source.Into(clipped, area, {7, 4, 10, 10}));
    for (int y = 0; y < clipped.height; ++y) {
        for (int x = 0; x < clipped.width; ++x) {
            bool written = x >= 7 && x < 9 && y >= 4 && y < 6;
            ASSERT_EQ(clipped.At(x, y) != kUntouched, written) << x << "," << y;
            if (written) {
                ASSERT_EQ(clipped.At(x, y), target.At(x, y)) << "the same mapping";
            }
        }
    }
    // A clip beside the rectangle: nothing to do, nothing written.
    Target beside(12, 8);
    EXPECT_TRUE(source.Into(beside, area, {9, 0, 3, 8}));
    EXPECT_EQ(beside.pixels, Target(12, 8).pixels);
}

// Wide rows go four pixels at a time where the picture grows; every ratio
// and clip must still give the mapping above, pixel for pixel. The source
// buffer ends with its last row (stride == width), so reading past the row
// shows under the sanitizers.
TEST(PictureStretch, WideRowsKeepTheMappingAtEveryRatioAndClip) {
    const int sh = 3;
    for (auto [sw, dw] :
         {std::pair{40, 40}, std::pair{40, 41}, std::pair{40, 61}, std::pair{40, 80},
          std::pair{40, 160}, std::pair{40, 39}, std::pair{41, 20}, std::pair{5, 61},
          std::pair{4, 17}, std::pair{3, 64}}) {
        std::vector<uint32_t> source(static_cast<size_t>(sw) * sh);
        for (int y = 0; y < sh; ++y) {
            for (int x = 0; x < sw; ++x) {
                source[static_cast<size_t>(y) * sw + x] = 0xff000000u | (x << 8) | y;
            }
        }
        const PixelRect area{3, 1, dw, 5};
        for (int clipLeft : {0, 5, 6, 3 + dw - 1}) {
            Target target(dw + 8, 7);
            const PixelRect clip{clipLeft, 0, dw + 8, 7};
            ASSERT_TRUE(StretchNearest(source.data(), sw, sh, sw * 4, target.Buffer(), area, clip));
            for (int y = 0; y < target.height; ++y) {
                for (int x = 0; x < target.width; ++x) {
                    bool inside = x >= std::max(3, clipLeft) && x < 3 + dw && y >= 1 && y < 6;
                    uint32_t want = inside
                                        ? 0xff000000u | ((2 * (x - 3) + 1) * sw / (2 * dw) << 8) |
                                              ((2 * (y - 1) + 1) * sh / 10)
                                        : kUntouched;
                    ASSERT_EQ(target.At(x, y), want)
                        << sw << " -> " << dw << " clip " << clipLeft << " at " << x << "," << y;
                }
            }
        }
    }
}

// The rectangle may end exactly at the target's edge, not one pixel past;
// nonsense pictures are refused without writing anything.
TEST(PictureStretch, RefusesRectanglesOutsideTheTargetAndBadPictures) {
    Source source;
    Target target(12, 8);
    const PixelRect all{0, 0, 12, 8};
    EXPECT_TRUE(source.Into(target, {5, 3, 7, 5}, all));
    EXPECT_NE(target.At(11, 7), kUntouched);

    Target untouched(12, 8);
    EXPECT_FALSE(source.Into(untouched, {5, 3, 8, 5}, all));
    EXPECT_FALSE(source.Into(untouched, {5, 3, 7, 6}, all));
    EXPECT_FALSE(source.Into(untouched, {-1, 0, 4, 4}, all));
    EXPECT_FALSE(source.Into(untouched, {0, -1, 4, 4}, all));
    EXPECT_FALSE(source.Into(untouched, {0, 0, 0, 4}, all));
    EXPECT_FALSE(source.Into(untouched, {0x7ffffff0, 0, 0x20, 4}, all)) << "no overflow";
    EXPECT_FALSE(
        StretchNearest(source.pixels.data(), 3, 2, 8, untouched.Buffer(), {0, 0, 4, 4}, all))
        << "a stride shorter than a row";
    EXPECT_FALSE(StretchNearest(nullptr, 3, 2, 12, untouched.Buffer(), {0, 0, 4, 4}, all));
    EXPECT_FALSE(
        StretchNearest(source.pixels.data(), 0, 2, 12, untouched.Buffer(), {0, 0, 4, 4}, all));
    EXPECT_EQ(untouched.pixels, Target(12, 8).pixels);
}

}  // namespace
}  // namespace orbisight
