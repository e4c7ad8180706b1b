#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "media/CHalvexDecoder.h"
#include "media/HeadlessVideoSink.h"
#include "media/MediaFrame.h"
#include "media/PictureRenderer.h"
#include "sim/stream/ClipCache.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace orbisight {
namespace {

std::shared_ptr<const sim::VideoClip> Clip(int width, int height, int gop = 5,
                                           const char* preset = "ultrafast") {
    sim::VideoClipParams params;
    params.name = "Test";
    params.width = width;
    params.height = height;
    params.fps = 25;
    params.gop = gop;
    params.bitRate = 300000;
    params.seconds = 1;
    params.preset = preset;
    return sim::ClipCache::Instance().Get(params);
}

// Decodes through a padded buffer, as the video thread does.
int Decode(CHalvexDecoder& decoder, const std::vector<uint8_t>& frame) {
    FrameBuffer buffer(frame.size());
    std::copy(frame.begin(), frame.end(), buffer.Data());
    return decoder.Decode(buffer.Data(), frame.size());
}

uint32_t Channel(uint32_t pixel, int shift) {
    return (pixel >> shift) & 0xff;
}

TEST(CHalvexDecoder, DecodesEveryFrameOfAClipAndReportsItsSize) {
    auto clip = Clip(320, 180);
    ASSERT_EQ(clip->frames.size(), 25u);
    ASSERT_TRUE(clip->frames[0].key);
    CHalvexDecoder decoder;
    ASSERT_TRUE(decoder.Usable());
    EXPECT_EQ(decoder.Size(), (PictureSize{490, 385}));
    for (const auto& frame : clip->frames) {
        EXPECT_GT(Decode(decoder, frame.data), 0);
    }
    EXPECT_EQ(decoder.Pictures(), clip->frames.size());
    EXPECT_EQ(decoder.Size(), (PictureSize{320, 180}));
}

TEST(CHalvexDecoder, RejectsEmptyAndSurvivesGarbage) {
    CHalvexDecoder decoder;
    uint8_t byte = 0;
    EXPECT_EQ(decoder.Decode(&byte, 0), -1);
    EXPECT_EQ(decoder.Decode(nullptr, 10), -1);
    std::vector<uint8_t> garbage(5000);
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    garbage[0] = 0, garbage[1] = 0, garbage[2] = 1, garbage[3] = 0x65;  // a slice without SPS
    Decode(decoder, garbage);
    EXPECT_EQ(decoder.Pictures(), 0u);
    // A good stream afterwards decodes.
    auto clip = Clip(160, 90);
    for (const auto& frame : clip->frames) {
        Decode(decoder, frame.data);
    }
    EXPECT_EQ(decoder.Pictures(), clip->frames.size());
}

TEST(CHalvexDecoder, TableOf128DecodersThenNone) {
    std::vector<std::unique_ptr<CHalvexDecoder>> decoders;
    while (DecodersInUse() < CHalvexDecoder::kSlotCount) {
        decoders.push_back(std::make_unique<CHalvexDecoder>());
        ASSERT_LT(decoders.back()->Slot(), CHalvexDecoder::kSlotCount);
    }
    CHalvexDecoder extra;
    EXPECT_EQ(extra.Slot(), CHalvexDecoder::kNoSlot);
    EXPECT_FALSE(extra.Usable());
    auto clip = Clip(160, 90);
    EXPECT_EQ(Decode(extra, clip->frames[0].data), -1);
    EXPECT_EQ(extra.Pictures(), 0u);
    // Releasing one makes its entry available again.
    int freed = decoders.back()->Slot();
    decoders.pop_back();
    CHalvexDecoder again;
    EXPECT_EQ(again.Slot(), freed);
}

// Without the deblocking filter the pictures differ (the filter is really
// off) but only slightly, and switched back on between two frames the
// decoder filters again from the next picture.
TEST(CHalvexDecoder, DeblockingCanBeSwitchedBetweenFrames) {
    auto clip = Clip(320, 180, 25, "superfast");  // ultrafast streams carry no filtering
    auto lumaOf = [&](bool deblockFirstHalf, bool deblockSecondHalf) {
        CHalvexDecoder decoder;
        std::vector<std::vector<uint8_t>> luma;
        decoder.SetPictureCallback([&](const AVFrame& picture) {
            std::vector<uint8_t> rows;
            for (int y = 0; y < picture.height; ++y) {
                const uint8_t* row =
                    picture.data[0] + static_cast<ptrdiff_t>(y) * picture.linesize[0];
                rows.insert(rows.end(), row, row + picture.width);
            }
            luma.push_back(std::move(rows));
        });
        for (size_t i = 0; i < clip->frames.size(); ++i) {
            decoder.SetDeblocking(i < clip->frames.size() / 2 ? deblockFirstHalf
                                                              : deblockSecondHalf);
            Decode(decoder, clip->frames[i].data);
        }
        return luma;
    };
    auto filtered = lumaOf(true, true);
    auto unfiltered = lumaOf(false, false);
    ASSERT_EQ(filtered.size(), clip->frames.size());
    ASSERT_EQ(unfiltered.size(), filtered.size());
    size_t last = filtered.size() - 1;
    EXPECT_NE(unfiltered[last], filtered[last]);
    double error = 0;
    for (size_t i = 0; i < filtered[last].size(); ++i) {
        double d = static_cast<double>(filtered[last][i]) - unfiltered[last][i];
        error += d * d;
    }
    error /= static_cast<double>(filtered[last].size());
    EXPECT_LT(error, 25.0) << "close to the filtered picture (mean squared error)";

    // On again half way: the first picture after it is filtered, though
    // its references were not, so it still differs from the fully filtered
    // stream; the unfiltered stream's picture differs more.
    auto mixed = lumaOf(false, true);
    size_t half = clip->frames.size() / 2;
    EXPECT_EQ(mixed[half - 1], unfiltered[half - 1]);
    EXPECT_NE(mixed[half], unfiltered[half]);
}

// Feeds a decoder's pictures to a renderer and a sink, as the channel does.
struct Pipeline {
    explicit Pipeline(HeadlessVideoSink& sink) {
        decoder.SetPictureCallback(
            [this, &sink](const AVFrame& picture) { renderer.Render(picture, sink, {}); });
    }
    void Play(const sim::VideoClip& clip) {
        for (const auto& frame : clip.frames) {
            Decode(decoder, frame.data);
        }
    }
    CHalvexDecoder decoder;
    PictureRenderer renderer;
};

TEST(PictureRenderer, SizeChangeRebuildsOnceAndDrawsAtThePaneSize) {
    HeadlessVideoSink sink(PictureSize{200, 120});
    Pipeline pipeline(sink);
    pipeline.Play(*Clip(320, 180));
    uint64_t allocations = sink.SlotAllocations();
    EXPECT_GE(allocations, 1u);
    pipeline.Play(*Clip(160, 90));
    EXPECT_EQ(pipeline.decoder.SizeChanges(), 2u);
    EXPECT_EQ(pipeline.renderer.ConverterBuilds(), 2u);
    // The pane did not change size: its slots are not touched.
    EXPECT_EQ(sink.SlotAllocations(), allocations);
    EXPECT_EQ(sink.SourceSizeChanges(), 2u);
    EXPECT_EQ(sink.SourceSize(), (PictureSize{160, 90}));
    std::vector<uint32_t> pixels;
    PictureSize size;
    ASSERT_TRUE(sink.CopyLatest(pixels, size));
    EXPECT_EQ(size, (PictureSize{200, 120}));
    EXPECT_EQ(sink.Pictures(), 50u);
}

TEST(PictureRenderer, SinkAtSourceSizeFollowsTheStream) {
    HeadlessVideoSink sink;  // the decoded size
    Pipeline pipeline(sink);
    pipeline.Play(*Clip(320, 180));
    std::vector<uint32_t> pixels;
    PictureSize size;
    ASSERT_TRUE(sink.CopyLatest(pixels, size));
    EXPECT_EQ(size, (PictureSize{320, 180}));
    pipeline.Play(*Clip(160, 90));
    ASSERT_TRUE(sink.CopyLatest(pixels, size));
    EXPECT_EQ(size, (PictureSize{160, 90}));
}

// A picture of one colour, of any size (odd ones included).
struct SolidPicture {
    SolidPicture(int width, int height, uint8_t y, uint8_t u, uint8_t v) {
        frame = av_frame_alloc();
        frame->format = 0;  // AV_PIX_FMT_YUV420P
        frame->width = width;
        frame->height = height;
        EXPECT_EQ(av_frame_get_buffer(frame, 0), 0);
        for (int row = 0; row < height; ++row) {
            std::fill_n(frame->data[0] + row * frame->linesize[0], width, y);
        }
        for (int row = 0; row < (height + 1) / 2; ++row) {
            std::fill_n(frame->data[1] + row * frame->linesize[1], (width + 1) / 2, u);
            std::fill_n(frame->data[2] + row * frame->linesize[2], (width + 1) / 2, v);
        }
    }
    ~SolidPicture() { av_frame_free(&frame); }
    AVFrame* frame;
};

// A target buffer of exactly the bytes the slot may touch, followed by a
// guard zone: FFmpeg is not instrumented by the sanitizers, so its writes are
// checked against the guard. With slack: rows padded to 16 pixels and one
// spare row, as PictureSlots gives them.
struct Target {
    static constexpr size_t kGuard = 1024;

    Target(int width, int height, bool slack) {
        int stride = slack ? (width + 15) & ~15 : width;
        int rows = slack ? height + 1 : height;
        size = static_cast<size_t>(stride * rows);
        pixels.reset(new uint32_t[size + kGuard]);
        std::fill_n(pixels.get() + size, kGuard, 0xA5A5A5A5u);
        slot = {pixels.get(), width, height, stride * 4, slack ? rows : 0};
    }
    uint32_t At(int x, int y) const { return slot.pixels[y * slot.strideBytes / 4 + x]; }
    bool GuardIntact() const {
        return std::all_of(pixels.get() + size, pixels.get() + size + kGuard,
                           [](uint32_t v) { return v == 0xA5A5A5A5u; });
    }
    size_t size;
    std::unique_ptr<uint32_t[]> pixels;
    PictureSlot slot;
};

TEST(PictureRenderer, Bt601LimitedRangeIntoOpaqueRgb32) {
    struct Case {
        uint8_t y, u, v;
        uint32_t r, g, b;
    };
    // Scaled, and at the picture's own size (no scaling pass at all).
    for (auto [slack, tw, th] : {std::tuple{false, 37, 21}, std::tuple{true, 37, 21},
                                 std::tuple{false, 64, 36}, std::tuple{true, 64, 36}}) {
        PictureRenderer renderer;
        for (Case c : {Case{235, 128, 128, 255, 255, 255}, Case{16, 128, 128, 0, 0, 0},
                       Case{81, 90, 240, 255, 0, 0}, Case{145, 54, 34, 0, 255, 0},
                       Case{41, 240, 110, 0, 0, 255}}) {
            SolidPicture picture(64, 36, c.y, c.u, c.v);
            Target target(tw, th, slack);
            ASSERT_TRUE(renderer.Convert(*picture.frame, target.slot));
            EXPECT_TRUE(target.GuardIntact());
            for (auto [x, y] : {std::pair{0, 0}, std::pair{tw - 1, th - 1}, std::pair{18, 10}}) {
                uint32_t pixel = target.At(x, y);
                EXPECT_EQ(pixel >> 24, 0xffu);
                EXPECT_NEAR(Channel(pixel, 16), c.r, 4) << int(c.y) << " slack " << slack;
                EXPECT_NEAR(Channel(pixel, 8), c.g, 4) << int(c.y) << " slack " << slack;
                EXPECT_NEAR(Channel(pixel, 0), c.b, 4) << int(c.y) << " slack " << slack;
            }
        }
    }
}

TEST(PictureRenderer, OddSizesOnBothSides) {
    for (bool slack : {false, true}) {
        PictureRenderer renderer;
        for (auto [sw, sh, tw, th] :
             {std::tuple{33, 17, 61, 35}, std::tuple{1, 1, 3, 3}, std::tuple{321, 241, 7, 5},
              std::tuple{2, 2, 1, 1}, std::tuple{1280, 720, 475, 265}, std::tuple{64, 36, 64, 36},
              std::tuple{321, 180, 321, 180}, std::tuple{1280, 720, 1280, 720},
              std::tuple{322, 182, 161, 91}}) {
            SolidPicture picture(sw, sh, 235, 128, 128);
            Target target(tw, th, slack);
            ASSERT_TRUE(renderer.Convert(*picture.frame, target.slot)) << sw << "x" << sh;
            EXPECT_TRUE(target.GuardIntact()) << sw << "x" << sh << " -> " << tw << "x" << th;
            EXPECT_NEAR(Channel(target.At(tw - 1, th - 1), 8), 255u, 4)
                << sw << "x" << sh << " -> " << tw << "x" << th << " slack " << slack;
            EXPECT_NEAR(Channel(target.At(0, 0), 8), 255u, 4);
        }
    }
}

TEST(PictureRenderer, HiddenPaneSkipsConversion) {
    HeadlessVideoSink sink(PictureSize{0, 0});
    PictureRenderer renderer;
    SolidPicture picture(32, 32, 100, 128, 128);
    EXPECT_FALSE(renderer.Render(*picture.frame, sink, {}));
    EXPECT_EQ(renderer.ConverterBuilds(), 0u);
    EXPECT_EQ(sink.SlotAllocations(), 0u);
}

}  // namespace
}  // namespace orbisight
