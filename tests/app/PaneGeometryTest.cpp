#include "app/PaneGeometry.h"

#include <gtest/gtest.h>

#include "app/AutomationScript.h"

namespace orbisight {
namespace {

TEST(PaneZonesTest, BoxesFromTheInnerRectangle) {
    PaneZones z = PaneZones::For(400, 300);
    EXPECT_EQ(z.inner, (ZoneRect{6, 6, 394, 294}));
    EXPECT_EQ(z.close, (ZoneRect{376, 7, 394, 23}));
    EXPECT_EQ(z.recordings, (ZoneRect{334, 7, 360, 29}));
    EXPECT_EQ(z.web, (ZoneRect{292, 7, 318, 29}));
    EXPECT_EQ(z.bottomRight, (ZoneRect{361, 269, 394, 294}));
    EXPECT_EQ(VideoSurface(400, 300), (ZoneRect{3, 3, 398, 298}));
}

TEST(PointPtzTest, SmallDragsSendNothingLargerOnesAreScaled) {
    EXPECT_EQ(PointPtzFromDrag(100, 100, 103, 103, 1280, 720, 640, 360), std::nullopt);
    EXPECT_EQ(PointPtzFromDrag(100, 100, 100, 100, 1280, 720, 640, 360), std::nullopt);
    EXPECT_EQ(PointPtzFromDrag(100, 100, 105, 100, 1280, 720, 640, 360), (PtzPoint{204, 200}))
        << "centre 102 (integer), then scaled";
    // Centre (150, 75) scaled by 490/395 and 385/295 with integer arithmetic.
    EXPECT_EQ(PointPtzFromDrag(200, 100, 100, 50, 490, 385, 395, 295), (PtzPoint{186, 97}));
    EXPECT_EQ(PointPtzFromDrag(0, 0, 50, 50, 490, 385, 0, 10), std::nullopt);
}

TEST(PaneQualityTest, LevelsAndTooltipsPerChannelKind) {
    EXPECT_EQ(QualityLevel(false, false, 1, 8), 1);
    EXPECT_EQ(QualityLevel(false, false, 1, 9), 2);
    EXPECT_EQ(QualityLevel(false, false, 1, 3), 0);
    EXPECT_EQ(QualityLevel(false, false, 0, 9), 1);
    EXPECT_EQ(QualityLevel(false, false, 0, 16), 2);
    EXPECT_EQ(QualityLevel(false, false, 0, 8), 0);
    EXPECT_EQ(QualityLevel(true, true, 0, 0), 2);
    EXPECT_EQ(QualityLevel(true, false, 0, 6), 1);
    EXPECT_EQ(PaneQualityTooltip(true, false, 0, 5), "LowVideo Quality");
    EXPECT_EQ(PaneQualityTooltip(true, true, 0, 0), "High Video Quality");
    EXPECT_EQ(PaneQualityTooltip(false, false, 0, 15), "Mid qulity");
    EXPECT_EQ(PaneQualityTooltip(false, false, 1, 4), "Mid qulity");
    EXPECT_EQ(PaneQualityTooltip(false, false, 1, 2), "Low qulity");
}

TEST(PaneQualityTest, MenuIdentifiersMapToControlCodes) {
    EXPECT_EQ(QualityControlCode(kQualityMenuHigh), 103 + 256 * 1);
    EXPECT_EQ(QualityControlCode(kQualityMenuMiddle), 103 + 256 * 3);
    EXPECT_EQ(QualityControlCode(kQualityMenuLow), 103 + 256 * 5);
    EXPECT_EQ(QualityMenuIdForLevel(2), kQualityMenuHigh);
    EXPECT_EQ(QualityMenuIdForLevel(0), kQualityMenuLow);
    EXPECT_TRUE(IsPtzName("PTZ Driveway"));
    EXPECT_TRUE(IsPtzName("pTz"));
    EXPECT_FALSE(IsPtzName("PT"));
    EXPECT_FALSE(IsPtzName("Driveway PTZ"));
}

TEST(AutomationScriptTest, ParsesStepsAndReportsMistakes) {
    std::string error;
    auto steps = ParseAutomation(
        "connect-all; wait=1.5;screenshot=/tmp/a b.png@8;bogus;layout=;mark=shots;mark;quit;wait=x",
        &error);
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_EQ(steps[0].verb, "connect-all");
    EXPECT_EQ(steps[1].argument, "1.5");
    EXPECT_EQ(steps[2].argument, "/tmp/a b.png");
    EXPECT_EQ(steps[2].atSeconds, 8.0);
    EXPECT_EQ(steps[3].verb, "mark");
    EXPECT_EQ(steps[3].argument, "shots");
    EXPECT_EQ(steps[4].verb, "quit");
    EXPECT_NE(error.find("bogus"), std::string::npos);
    EXPECT_NE(error.find("layout"), std::string::npos);
    EXPECT_NE(error.find("mark"), std::string::npos) << "a mark needs its text";
    EXPECT_NE(error.find("wait"), std::string::npos);
}

}  // namespace
}  // namespace orbisight
