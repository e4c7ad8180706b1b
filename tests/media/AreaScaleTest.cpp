#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "media/AreaScale.h"

namespace orbisight {
namespace {

TEST(AreaScaler, AcceptsFactorsFromOneToTwoOnly) {
    AreaScaler scaler;
    EXPECT_TRUE(scaler.Prepare(100, 50, 100, 50));    // the same size
    EXPECT_TRUE(scaler.Prepare(200, 100, 100, 50));   // exactly half: the last accepted
    EXPECT_FALSE(scaler.Prepare(201, 100, 100, 50));  // the first refused
    EXPECT_FALSE(scaler.Prepare(200, 101, 100, 50));
    EXPECT_FALSE(scaler.Prepare(99, 50, 100, 50));  // growing
    EXPECT_FALSE(scaler.Prepare(100, 49, 100, 50));
    EXPECT_FALSE(scaler.Prepare(0, 0, 0, 0));
    EXPECT_FALSE(scaler.Prepare(2, 2, 1, 0));
    EXPECT_TRUE(scaler.Prepare(2, 2, 1, 1));
}

TEST(AreaScaler, TapsCoverEachAreaAndSumTo64) {
    for (auto [source, target] :
         {std::pair{7, 7}, std::pair{14, 7}, std::pair{13, 7}, std::pair{8, 7}, std::pair{640, 360},
          std::pair{320, 175}, std::pair{180, 113}, std::pair{2, 1}, std::pair{3, 2}}) {
        AreaScaler scaler;
        ASSERT_TRUE(scaler.Prepare(source, source, target, target));
        const auto& taps = scaler.Columns();
        ASSERT_EQ(taps.size(), static_cast<size_t>(target));
        int previous = 0;
        for (int x = 0; x < target; ++x) {
            const AreaScaler::Taps& t = taps[static_cast<size_t>(x)];
            EXPECT_EQ(t.weight[0] + t.weight[1] + t.weight[2], 64) << source << "->" << target;
            for (int k = 0; k < 3; ++k) {
                if (t.weight[k] != 0) {
                    EXPECT_LT(t.first + k, source) << source << "->" << target << " x " << x;
                }
            }
            EXPECT_GE(t.first, previous);
            EXPECT_LE(t.first - previous, 2);
            previous = t.first;
        }
        // The last area ends at the source's last pixel, the first starts at 0.
        const AreaScaler::Taps& last = taps.back();
        int lastUsed = last.first + (last.weight[2] != 0 ? 2 : last.weight[1] != 0 ? 1 : 0);
        EXPECT_EQ(lastUsed, source - 1) << source << "->" << target;
        EXPECT_EQ(taps.front().first, 0);
    }
    AreaScaler same;
    ASSERT_TRUE(same.Prepare(5, 5, 5, 5));
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(same.Columns()[static_cast<size_t>(x)].first, x);
        EXPECT_EQ(same.Columns()[static_cast<size_t>(x)].weight[0], 64);
    }
    AreaScaler half;
    ASSERT_TRUE(half.Prepare(10, 10, 5, 5));
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(half.Columns()[static_cast<size_t>(x)].first, 2 * x);
        EXPECT_EQ(half.Columns()[static_cast<size_t>(x)].weight[0], 32);
        EXPECT_EQ(half.Columns()[static_cast<size_t>(x)].weight[1], 32);
    }
    // 3 -> 2: the middle pixel is shared half and half.
    AreaScaler third;
    ASSERT_TRUE(third.Prepare(3, 3, 2, 2));
    EXPECT_EQ(third.Columns()[0].weight[0], 43);
    EXPECT_EQ(third.Columns()[0].weight[1], 21);
    EXPECT_EQ(third.Columns()[1].first, 1);
    EXPECT_EQ(third.Columns()[1].weight[0], 21);
    EXPECT_EQ(third.Columns()[1].weight[1], 43);
}

// A plane in a buffer of exactly its bytes (stride == width, nothing after
// the last row), so that the sanitizers see any read past it; the target
// rows carry guard bytes after their width and a guard row after the last.
TEST(AreaScaler, FastPathEqualsThePlainOneAndStaysInsideThePlanes) {
    std::mt19937 random(7);
    std::vector<std::tuple<int, int, int, int>> sizes;
    for (int target = 1; target <= 40; ++target) {
        sizes.emplace_back(target, target, target, target);
        sizes.emplace_back(2 * target, target + 1 + target / 2, target, target);
        sizes.emplace_back(2 * target - 1, target, target, target);
        sizes.emplace_back(target + target / 3, 2 * target, target, target);
    }
    sizes.emplace_back(640, 360, 360, 236);
    sizes.emplace_back(320, 180, 175, 113);
    sizes.emplace_back(160, 90, 88, 57);
    for (auto [sw, sh, tw, th] : sizes) {
        std::vector<uint8_t> source(static_cast<size_t>(sw * sh));
        for (uint8_t& byte : source) {
            byte = static_cast<uint8_t>(random());
        }
        const int stride = tw + 16;
        std::vector<uint8_t> fast(static_cast<size_t>(stride * (th + 1)), 0xA5);
        std::vector<uint8_t> plain = fast;
        AreaScaler scaler;
        ASSERT_TRUE(scaler.Prepare(sw, sh, tw, th)) << sw << "x" << sh << " -> " << tw << "x" << th;
        scaler.Scale(source.data(), sw, fast.data(), stride);
        scaler.ScaleScalar(source.data(), sw, plain.data(), stride);
        ASSERT_EQ(fast, plain) << sw << "x" << sh << " -> " << tw << "x" << th;
        for (int y = 0; y <= th; ++y) {
            for (int x = y < th ? tw : 0; x < stride; ++x) {
                ASSERT_EQ(fast[static_cast<size_t>(y * stride + x)], 0xA5)
                    << sw << "x" << sh << " -> " << tw << "x" << th << " at " << x << "," << y;
            }
        }
    }
}

TEST(AreaScaler, AveragesTheAreaEachPixelCovers) {
    // Flat stays exactly flat at any ratio.
    for (uint8_t level : {uint8_t{0}, uint8_t{1}, uint8_t{128}, uint8_t{254}, uint8_t{255}}) {
        std::vector<uint8_t> source(33 * 21, level);
        std::vector<uint8_t> target(19 * 13);
        AreaScaler scaler;
        ASSERT_TRUE(scaler.Prepare(33, 21, 19, 13));
        scaler.Scale(source.data(), 33, target.data(), 19);
        for (uint8_t byte : target) {
            ASSERT_EQ(byte, level);
        }
    }
    // Halving is the mean of each 2 x 2 block.
    std::vector<uint8_t> source = {10, 20, 30,  40,   //
                                   50, 60, 70,  80,   //
                                   0,  0,  255, 255,  //
                                   0,  4,  255, 255};
    std::vector<uint8_t> target(4);
    AreaScaler half;
    ASSERT_TRUE(half.Prepare(4, 4, 2, 2));
    half.Scale(source.data(), 4, target.data(), 2);
    EXPECT_EQ(target, (std::vector<uint8_t>{35, 55, 1, 255}));
    // A one-pixel line shrunk by 3:2 spreads over the two pixels that
    // share it, without vanishing (what two-tap sampling lets happen).
    std::vector<uint8_t> line = {0, 0, 0, 0, 192, 0, 0, 0, 0};
    std::vector<uint8_t> shrunk(6);
    AreaScaler third;
    ASSERT_TRUE(third.Prepare(9, 1, 6, 1));
    third.Scale(line.data(), 9, shrunk.data(), 6);
    EXPECT_EQ(shrunk, (std::vector<uint8_t>{0, 0, 63, 63, 0, 0}));
}

}  // namespace
}  // namespace orbisight
