#include <gtest/gtest.h>

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

std::shared_ptr<const sim::VideoClip> Clip(int width, int height, int gop = 5) {
    sim::VideoClipSpec spec;
    spec.name = "Test";
    spec.width = width;
    spec.height = height;
    spec.fps = 25;
    spec.gop = gop;
    spec.bitRate = 300000;
    spec.seconds = 1;
    spec.preset = "ultrafast";
    return sim::ClipCache::Instance().Get(spec);
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

TEST(PictureRenderer, Bt601LimitedRangeIntoOpaqueRgb32) {
    PictureRenderer renderer;
    std::vector<uint32_t> pixels(64 * 36);
    PictureSlot slot{pixels.data(), 64, 36, 64 * 4};
    struct Case {
        uint8_t y, u, v;
        uint32_t r, g, b;
    };
    for (Case c : {Case{235, 128, 128, 255, 255, 255}, Case{16, 128, 128, 0, 0, 0},
                   Case{81, 90, 240, 255, 0, 0}, Case{145, 54, 34, 0, 255, 0},
                   Case{41, 240, 110, 0, 0, 255}}) {
        SolidPicture picture(64, 36, c.y, c.u, c.v);
        ASSERT_TRUE(renderer.Convert(*picture.frame, slot));
        uint32_t pixel = pixels[36 * 10 + 5];
        EXPECT_EQ(pixel >> 24, 0xffu);
        EXPECT_NEAR(Channel(pixel, 16), c.r, 4) << int(c.y);
        EXPECT_NEAR(Channel(pixel, 8), c.g, 4) << int(c.y);
        EXPECT_NEAR(Channel(pixel, 0), c.b, 4) << int(c.y);
    }
}

TEST(PictureRenderer, OddSizesOnBothSides) {
    PictureRenderer renderer;
    for (auto [sw, sh, tw, th] : {std::tuple{33, 17, 61, 35}, std::tuple{1, 1, 3, 3},
                                  std::tuple{321, 241, 7, 5}, std::tuple{2, 2, 1, 1}}) {
        SolidPicture picture(sw, sh, 235, 128, 128);
        // The target has exactly the rows asked for: a sanitizer sees any overrun.
        std::unique_ptr<uint32_t[]> pixels(new uint32_t[static_cast<size_t>(tw * th)]);
        PictureSlot slot{pixels.get(), tw, th, tw * 4};
        ASSERT_TRUE(renderer.Convert(*picture.frame, slot)) << sw << "x" << sh;
        EXPECT_NEAR(Channel(pixels[static_cast<size_t>(tw * th - 1)], 8), 255u, 4);
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
