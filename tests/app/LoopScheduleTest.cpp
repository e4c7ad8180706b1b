// Loop play without widgets: which camera goes on which slot screen after
// screen, the auto-connect list, and auto record on each new screen.

#include <gtest/gtest.h>

#include "app/AutomationScript.h"
#include "app/LoopSchedule.h"

namespace orbisight {
namespace {

DeviceInfo Camera(const std::string& id, int32_t status = DeviceInfo::kStatusOnline) {
    auto d = NewDeviceInfo();
    d->SetId(id);
    d->status = status;
    return *d;
}

std::vector<DeviceInfo> Cameras(int count) {
    std::vector<DeviceInfo> list;
    for (int i = 0; i < count; ++i) {
        list.push_back(Camera("CAM" + std::to_string(i)));
    }
    return list;
}

using Entries = std::vector<size_t>;

TEST(LoopSchedule, SixCamerasOnTwoByTwoRotateRoundTheList) {
    LoopSchedule loop;
    loop.Start({}, Cameras(6));
    ASSERT_TRUE(loop.Active());
    LoopScreen first = loop.Next(2);
    EXPECT_TRUE(first.rotate);
    EXPECT_EQ(first.entries, (Entries{0, 1, 2, 3}));
    EXPECT_EQ(loop.Position(), 4u);
    EXPECT_EQ(loop.Next(2).entries, (Entries{4, 5, 0, 1}));
    EXPECT_EQ(loop.Next(2).entries, (Entries{2, 3, 4, 5}));
    EXPECT_EQ(loop.Next(2).entries, (Entries{0, 1, 2, 3})) << "and so on";
    EXPECT_EQ(loop.Position(), 16u) << "the position is not wrapped, the entries are";
    EXPECT_FALSE(loop.NeedsRefill());
}

TEST(LoopSchedule, ExactlyAScreenfulIsReconnectedEachPeriodFewerStayOnOneScreen) {
    LoopSchedule four;
    four.Start({}, Cameras(4));
    for (int step = 0; step < 3; ++step) {
        LoopScreen screen = four.Next(2);
        EXPECT_TRUE(screen.rotate) << "the same four, reconnected every slide period";
        EXPECT_EQ(screen.entries, (Entries{0, 1, 2, 3}));
    }

    LoopSchedule three;
    three.Start({}, Cameras(3));
    LoopScreen screen = three.Next(2);
    EXPECT_FALSE(screen.rotate) << "no slide timer: the wall keeps this screen";
    EXPECT_EQ(screen.entries, (Entries{0, 1, 2}));
    EXPECT_EQ(three.Position(), 0u);
    EXPECT_FALSE(three.NeedsRefill()) << "nothing came since";

    // One camera on a one-picture wall: shown once, never rotated.
    LoopSchedule one;
    one.Start({}, Cameras(1));
    LoopScreen single = one.Next(1);
    EXPECT_FALSE(single.rotate);
    EXPECT_EQ(single.entries, (Entries{0}));
    // Two on a one-picture wall rotate.
    LoopSchedule two;
    two.Start({}, Cameras(2));
    EXPECT_EQ(two.Next(1).entries, (Entries{0}));
    EXPECT_EQ(two.Next(1).entries, (Entries{1}));
    EXPECT_EQ(two.Next(1).entries, (Entries{0}));

    LoopSchedule none;
    none.Start({}, {});
    EXPECT_TRUE(none.Next(2).entries.empty());
}

TEST(LoopSchedule, AutoConnectTakesOnlineSelectedCamerasOnceAndRefillsTheSingleScreen) {
    LoopSchedule loop;
    EXPECT_FALSE(loop.Offer(Camera("A"))) << "not running";
    loop.StartAutoConnect({}, {"cam-a", "CAM-B", "CAM-C", "CAM-D", "CAM-E"});
    EXPECT_TRUE(loop.AutoConnect());
    // The first step comes before anything is on-line: an empty wall that
    // waits for the cameras instead of staying empty.
    EXPECT_TRUE(loop.Next(2).entries.empty());
    EXPECT_FALSE(loop.NeedsRefill());

    EXPECT_TRUE(loop.Offer(Camera("CAM-A"))) << "IDs compared without regard to case";
    EXPECT_FALSE(loop.Offer(Camera("Cam-A"))) << "already in the list";
    EXPECT_FALSE(loop.Offer(Camera("CAM-B", 0))) << "off-line";
    EXPECT_FALSE(loop.Offer(Camera("CAM-X"))) << "not selected";
    auto group = Camera("CAM-C");
    group.isGroup = 1;
    EXPECT_FALSE(loop.Offer(group));
    EXPECT_TRUE(loop.NeedsRefill());
    EXPECT_EQ(loop.Next(2).entries, (Entries{0}));
    EXPECT_FALSE(loop.NeedsRefill());

    EXPECT_TRUE(loop.Offer(Camera("CAM-B")));
    EXPECT_TRUE(loop.Offer(Camera("CAM-C")));
    EXPECT_TRUE(loop.NeedsRefill());
    EXPECT_EQ(loop.Next(2).entries, (Entries{0, 1, 2}));
    EXPECT_TRUE(loop.Offer(Camera("CAM-D")));
    EXPECT_TRUE(loop.Offer(Camera("CAM-E")));
    ASSERT_TRUE(loop.NeedsRefill());
    LoopScreen full = loop.Next(2);
    EXPECT_TRUE(full.rotate) << "a screenful now: the loop rotates";
    EXPECT_EQ(full.entries, (Entries{0, 1, 2, 3}));
    EXPECT_FALSE(loop.NeedsRefill()) << "a rotating loop takes newcomers in its turn";
    EXPECT_EQ(loop.Next(2).entries, (Entries{4, 0, 1, 2}));

    loop.Stop();
    EXPECT_FALSE(loop.Active());
    EXPECT_FALSE(loop.Offer(Camera("CAM-F")));
}

TEST(LoopSchedule, AutoRecordStartsRecordingOnEveryScreenNotEveryOther) {
    LoopOptions options;
    options.autoRecord = true;
    LoopSchedule loop;
    loop.Start(options, Cameras(8));
    using S = LoopSchedule::SlotState;
    // A wall-wide toggle run after each screen would stop nothing on the
    // second screen (its panes are new) and flip to "off": that screen would
    // go unrecorded. Each screen starts recording on its own panes.
    for (int screen = 0; screen < 3; ++screen) {
        loop.Next(2);
        EXPECT_EQ(
            loop.SlotsToRecord({S{true, false}, S{true, false}, S{true, false}, S{true, false}}),
            (Entries{0, 1, 2, 3}))
            << "screen " << screen;
        EXPECT_TRUE(loop.SlotsToRecord({S{true, true}, S{true, true}, S{true, true}, S{true, true}})
                        .empty())
            << "once per screen";
    }

    // A camera not yet playing is caught when it plays; a recording the
    // user stopped stays stopped.
    loop.Next(2);
    EXPECT_EQ(loop.SlotsToRecord({S{true, false}, S{false, false}, S{true, true}, S{}}),
              (Entries{0}));
    EXPECT_EQ(loop.SlotsToRecord({S{true, false}, S{true, false}, S{true, true}, S{}}),
              (Entries{1}))
        << "slot 0 was stopped by the user meanwhile: left alone";
    EXPECT_EQ(loop.SlotsToRecord(
                  {S{true, false}, S{true, true}, S{true, true}, S{true, false}, S{true, false}}),
              (Entries{3}))
        << "only the late slot 3; slots beyond the screen are not the loop's";

    LoopSchedule off;
    off.Start({}, Cameras(4));
    off.Next(2);
    EXPECT_TRUE(off.SlotsToRecord({S{true, false}}).empty()) << "auto record off";
}

TEST(LoopAutomationSteps, NeedAPositiveNumber) {
    std::string error;
    auto steps = ParseAutomation(
        "loop-play=1;loop-play=0;wait-online=3;wait-online=x;loop-stop;"
        "loop-stop=1;loop-play",
        &error);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].argument, "1");
    EXPECT_EQ(steps[1].verb, "wait-online");
    EXPECT_EQ(steps[2].verb, "loop-stop");
    EXPECT_NE(error.find("\"loop-play\" needs a positive number"), std::string::npos) << error;
    EXPECT_NE(error.find("\"wait-online\" needs a positive number"), std::string::npos);
    EXPECT_NE(error.find("\"loop-stop\" takes no argument"), std::string::npos);
    EXPECT_NE(error.find("\"loop-play\" needs an argument"), std::string::npos);
}

}  // namespace
}  // namespace orbisight
