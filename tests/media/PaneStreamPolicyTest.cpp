#include <gtest/gtest.h>

#include "media/PaneStreamPolicy.h"

namespace orbisight {
namespace {

constexpr int kMain = PaneStreamPolicy::kMainStream;
constexpr int kSub = PaneStreamPolicy::kSubStream;
constexpr PictureSize kSub360{640, 360};

PaneView Shown(int width, int height) {
    return {width, height, true};
}

// Fits inside the sub stream's picture: sub; larger in either direction:
// main, the same edge both ways (the wait before a switch keeps a wobbling
// size from flipping streams).
TEST(PaneStreamChoice, SubStreamExactlyUpToItsPictureSize) {
    EXPECT_EQ(PaneStreamPolicy::StreamFor({640, 360}, kSub360), kSub);
    EXPECT_EQ(PaneStreamPolicy::StreamFor({641, 360}, kSub360), kMain);
    EXPECT_EQ(PaneStreamPolicy::StreamFor({640, 361}, kSub360), kMain);
    EXPECT_EQ(PaneStreamPolicy::StreamFor({1, 1}, kSub360), kSub);
    EXPECT_EQ(PaneStreamPolicy::StreamFor({641, 300}, kSub360), kMain);
    // No sub size known: the usual 640 x 360.
    EXPECT_EQ(PaneStreamPolicy::StreamFor({641, 200}, {0, 0}), kMain);
    EXPECT_EQ(PaneStreamPolicy::StreamFor({640, 200}, {0, 0}), kSub);
}

TEST(PaneStreamChoice, HiddenPanesDecodeNothingAndNarrowOnesKeyFramesOnly) {
    EXPECT_EQ(PaneStreamPolicy::DecodeFor({1920, 1080, false}), DecodeMode::kNone);
    EXPECT_EQ(PaneStreamPolicy::DecodeFor({0, 100, true}), DecodeMode::kNone);
    EXPECT_EQ(PaneStreamPolicy::DecodeFor({100, 0, true}), DecodeMode::kNone);
    EXPECT_EQ(PaneStreamPolicy::DecodeFor({159, 90, true}), DecodeMode::kKeyFramesOnly);
    EXPECT_EQ(PaneStreamPolicy::DecodeFor({160, 90, true}), DecodeMode::kAll);
    // The pane's own width decides, frame included: a pane 159 wide (its
    // picture 151) is tiny, one 160 wide (picture 152) is not.
    EXPECT_EQ(PaneStreamPolicy::DecodeFor({151, 90, true, 159}), DecodeMode::kKeyFramesOnly);
    EXPECT_EQ(PaneStreamPolicy::DecodeFor({152, 90, true, 160}), DecodeMode::kAll);
    // Never told: everything is decoded.
    PaneStreamPolicy policy;
    EXPECT_EQ(policy.Decode(), DecodeMode::kAll);
}

// Pictures drawn at two thirds of their size or less in both directions
// are decoded without the deblocking filter: 426 x 240 of 640 x 360 is the
// last such size.
TEST(PaneStreamChoice, DeblockingIsSkippedFromTwoThirdsOfThePictureDown) {
    EXPECT_FALSE(PaneStreamPolicy::DeblockFor({426, 240}, kSub360));
    EXPECT_TRUE(PaneStreamPolicy::DeblockFor({427, 240}, kSub360));
    EXPECT_TRUE(PaneStreamPolicy::DeblockFor({426, 241}, kSub360));
    EXPECT_FALSE(PaneStreamPolicy::DeblockFor({1, 1}, kSub360));
    EXPECT_TRUE(PaneStreamPolicy::DeblockFor({1920, 1080}, {1280, 720}));
    // Nothing known: filtered.
    EXPECT_TRUE(PaneStreamPolicy::DeblockFor({0, 0}, kSub360));
    EXPECT_TRUE(PaneStreamPolicy::DeblockFor({100, 100}, {0, 0}));
    // Huge sizes do not overflow.
    EXPECT_FALSE(PaneStreamPolicy::DeblockFor({1 << 30, 1 << 30}, {0x7fffffff, 0x7fffffff}));
}

// The first start takes the pane's wish directly; afterwards a wish must
// hold 700 ms before the switch is due.
TEST(PaneStreamChoice, SwitchIsDueAfterTheWishHeldForTheDelay) {
    PaneStreamPolicy policy;
    EXPECT_EQ(policy.StartStream(), std::nullopt) << "no view: the channel's own rule";
    policy.SetView(Shown(400, 225), 1000);
    EXPECT_EQ(policy.StartStream(), kSub);
    EXPECT_EQ(policy.DueSwitch(5000), std::nullopt);

    policy.SetView(Shown(1600, 900), 10000);  // full screen
    EXPECT_TRUE(policy.SwitchPending());
    EXPECT_EQ(policy.DueSwitch(10000), std::nullopt);
    EXPECT_EQ(policy.DueSwitch(10699), std::nullopt);
    EXPECT_EQ(policy.DueSwitch(10700), kMain);
    EXPECT_EQ(policy.Current(), kMain);
    EXPECT_FALSE(policy.SwitchPending());
    EXPECT_EQ(policy.DueSwitch(20000), std::nullopt) << "once";

    // Back to the wall: to the sub stream after the delay.
    policy.SetView(Shown(400, 225), 30000);
    EXPECT_EQ(policy.DueSwitch(30699), std::nullopt);
    EXPECT_EQ(policy.DueSwitch(30700), kSub);
}

// A resize drag goes back and forth across the edge: nothing is switched
// while it moves, and what counts is where it rests.
TEST(PaneStreamChoice, ADragAcrossTheEdgeSwitchesOnlyWhereItRests) {
    PaneStreamPolicy policy;
    policy.SetView(Shown(600, 340), 0);
    ASSERT_EQ(policy.StartStream(), kSub);
    uint64_t t = 0;
    const int widths[] = {650, 700, 720, 760, 690, 620, 710, 800, 780, 750};
    for (int width : widths) {
        t += 100;
        policy.SetView(Shown(width, 340), t);
        EXPECT_EQ(policy.DueSwitch(t), std::nullopt) << width;
    }
    // Rests at 750: due 700 ms after the last move.
    EXPECT_EQ(policy.DueSwitch(t + 699), std::nullopt);
    EXPECT_EQ(policy.DueSwitch(t + 700), kMain);

    // A drag that ends where it began switches nothing.
    t += 5000;
    policy.SetView(Shown(400, 225), t);
    policy.SetView(Shown(900, 500), t + 300);
    policy.SetView(Shown(800, 450), t + 600);
    EXPECT_EQ(policy.DueSwitch(t + 1299), std::nullopt);
    EXPECT_EQ(policy.DueSwitch(t + 5000), std::nullopt);
    EXPECT_EQ(policy.Current(), kMain);

    // A pane grown just past the sub picture (the large pane of a wall
    // reached from a denser layout) asks for the main stream too.
    PaneStreamPolicy grown;
    grown.SetView(Shown(640, 360), 0);
    ASSERT_EQ(grown.StartStream(), kSub);
    grown.SetView(Shown(641, 360), 100);
    EXPECT_TRUE(grown.SwitchPending());
    EXPECT_EQ(grown.DueSwitch(799), std::nullopt);
    EXPECT_EQ(grown.DueSwitch(800), kMain);
}

// A pane nobody sees keeps its stream (its recording and alarms go on as
// they were) and decodes nothing; seen again, it switches after the delay.
TEST(PaneStreamChoice, HiddenPanesKeepTheirStream) {
    PaneStreamPolicy policy;
    policy.SetView(Shown(1600, 900), 0);
    ASSERT_EQ(policy.StartStream(), kMain);
    policy.SetView({400, 225, false}, 100);
    EXPECT_EQ(policy.Decode(), DecodeMode::kNone);
    EXPECT_EQ(policy.DueSwitch(10000), std::nullopt);
    policy.SetView(Shown(400, 225), 20000);
    EXPECT_EQ(policy.Decode(), DecodeMode::kAll);
    EXPECT_EQ(policy.DueSwitch(20699), std::nullopt);
    EXPECT_EQ(policy.DueSwitch(20700), kSub);

    // Told only while hidden: the start takes the stream its size asks for.
    PaneStreamPolicy later;
    later.SetView({300, 200, false}, 0);
    EXPECT_EQ(later.StartStream(), kSub);
}

// The sub stream's decoded size moves the edge; a reconnection's start
// takes a pending wish at once.
TEST(PaneStreamChoice, LearnedSubSizeAndRestartsTakeTheWishAtOnce) {
    PaneStreamPolicy policy;
    policy.SetView(Shown(600, 300), 0);
    ASSERT_EQ(policy.StartStream(), kSub);
    policy.SetSubSize({352, 288}, 50);  // a CIF sub stream: 600 x 300 is larger
    EXPECT_EQ(policy.SubSize(), (PictureSize{352, 288}));
    EXPECT_TRUE(policy.SwitchPending());
    EXPECT_EQ(policy.DueSwitch(749), std::nullopt);
    EXPECT_EQ(policy.DueSwitch(750), kMain);

    policy.SetView(Shown(300, 200), 1000);
    EXPECT_TRUE(policy.SwitchPending());
    EXPECT_EQ(policy.StartStream(), kSub) << "a new connection starts on the wish";
    EXPECT_FALSE(policy.SwitchPending());
    policy.SetSubSize({0, 0}, 2000);
    EXPECT_EQ(policy.SubSize(), (PictureSize{352, 288})) << "an empty size is no size";
}

}  // namespace
}  // namespace orbisight
