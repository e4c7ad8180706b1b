#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "media/HeadlessVideoSink.h"
#include "media/PictureSlots.h"

namespace orbisight {
namespace {

TEST(PictureSlots, ReaderGetsTheLatestCompletePictureOnly) {
    PictureSlots slots;
    bool fresh = true;
    EXPECT_FALSE(slots.Latest(&fresh).Valid());
    EXPECT_FALSE(fresh);

    PictureSlot a = slots.Acquire({4, 2});
    std::fill_n(a.pixels, 8, 0xff000001u);
    VideoOverlay overlay;
    overlay.title = "one";
    slots.Publish(overlay);
    // Written but not published: invisible to the reader.
    PictureSlot b = slots.Acquire({4, 2});
    EXPECT_NE(a.pixels, b.pixels);
    std::fill_n(b.pixels, 8, 0xff000002u);

    const PictureSlots::Picture& first = slots.Latest(&fresh);
    EXPECT_TRUE(fresh);
    EXPECT_EQ(first.pixels[7], 0xff000001u);
    EXPECT_EQ(first.overlay.title, "one");
    EXPECT_EQ(first.sequence, 1u);

    // While the reader holds picture 1, the writer can finish two more
    // without touching it; the reader then jumps to the newest.
    overlay.title = "two";
    slots.Publish(overlay);
    PictureSlot c = slots.Acquire({4, 2});
    EXPECT_NE(c.pixels, first.pixels);
    std::fill_n(c.pixels, 8, 0xff000003u);
    overlay.title = "three";
    slots.Publish(overlay);
    EXPECT_EQ(first.pixels[0], 0xff000001u);
    const PictureSlots::Picture& latest = slots.Latest(&fresh);
    EXPECT_TRUE(fresh);
    EXPECT_EQ(latest.pixels[0], 0xff000003u);
    EXPECT_EQ(latest.overlay.title, "three");
    slots.Latest(&fresh);
    EXPECT_FALSE(fresh);
    EXPECT_EQ(slots.Allocations(), 3u);
}

TEST(PictureSlots, ConcurrentWriterAndReaderNeverSeeATornPicture) {
    PictureSlots slots;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (uint32_t n = 1; n <= 3000; ++n) {
            PictureSlot slot = slots.Acquire({64, 8});
            std::fill_n(slot.pixels, 64 * 8, n);
            VideoOverlay overlay;
            overlay.blinkCounter = n;
            slots.Publish(overlay);
        }
        done = true;
    });
    uint64_t lastSequence = 0;
    while (!done.load()) {
        const PictureSlots::Picture& picture = slots.Latest();
        if (!picture.Valid()) {
            continue;
        }
        uint32_t value = picture.pixels[0];
        for (int i = 0; i < 64 * 8; ++i) {
            ASSERT_EQ(picture.pixels[i], value);
        }
        ASSERT_EQ(picture.overlay.blinkCounter, value);
        ASSERT_GE(picture.sequence, lastSequence);
        lastSequence = picture.sequence;
    }
    writer.join();
}

// A pane converts at its own size up to the picture's, never above it: the
// painter stretches the rest.
TEST(ConvertedSize, NeverAboveThePictureInEitherDirection) {
    const PictureSize picture{1280, 720};
    EXPECT_EQ(ConvertedSize({1280, 720}, picture), (PictureSize{1280, 720}));
    EXPECT_EQ(ConvertedSize({1281, 721}, picture), (PictureSize{1280, 720}));
    EXPECT_EQ(ConvertedSize({1279, 719}, picture), (PictureSize{1279, 719}));
    EXPECT_EQ(ConvertedSize({1912, 1072}, picture), (PictureSize{1280, 720}));
    EXPECT_EQ(ConvertedSize({1912, 300}, picture), (PictureSize{1280, 300}));  // wide and low
    EXPECT_EQ(ConvertedSize({200, 1000}, picture), (PictureSize{200, 720}));
    EXPECT_EQ(ConvertedSize({1912, 1072}, {}), (PictureSize{1912, 1072}));  // not decoded yet
    EXPECT_TRUE(ConvertedSize({}, picture).Empty());                        // hidden pane
    EXPECT_TRUE(ConvertedSize({0, 500}, picture).Empty());
}

TEST(ConvertedSize, APaneSinkFollowsTheDecodedSize) {
    HeadlessVideoSink pane({1912, 1072}, HeadlessVideoSink::SizeMode::kPane);
    HeadlessVideoSink fixed({1912, 1072});
    EXPECT_EQ(pane.WantedSize(), (PictureSize{1912, 1072}));
    pane.SourceSizeChanged({1280, 720});
    fixed.SourceSizeChanged({1280, 720});
    EXPECT_EQ(pane.WantedSize(), (PictureSize{1280, 720}));
    EXPECT_EQ(fixed.WantedSize(), (PictureSize{1912, 1072}));
    pane.SourceSizeChanged({2560, 1440});  // a larger stream: the pane's size again
    EXPECT_EQ(pane.WantedSize(), (PictureSize{1912, 1072}));
}

}  // namespace
}  // namespace orbisight
