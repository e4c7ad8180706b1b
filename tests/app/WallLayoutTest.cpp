#include "app/WallLayout.h"

#include <gtest/gtest.h>

namespace orbisight {
namespace {

WallLayout::InUse Busy(int first, int count) {
    WallLayout::InUse bits;
    for (int i = first; i < first + count; ++i) {
        bits.set(i);
    }
    return bits;
}

// A 1920 x 1080 client with the right panel shown: wall 220..1697 x 96..1077.
constexpr int kW = 1920;
constexpr int kH = 1080;

TEST(WallLayoutGeometry, WallRectFollowsPanelsAndFullScreen) {
    WallLayout wall;
    EXPECT_EQ(wall.WallRect(kW, kH), (std::array<int, 4>{220, 96, 1697, 1077}));
    wall.SetRightPanelHidden(true);
    EXPECT_EQ(wall.WallRect(kW, kH), (std::array<int, 4>{220, 96, 1917, 1077}));
    wall.EnterWallFullScreen();
    EXPECT_EQ(wall.WallRect(kW, kH), (std::array<int, 4>{0, 0, kW, kH}));
}

TEST(WallLayoutGeometry, SinglePaneStopsOnePixelShortOfTheEdges) {
    WallLayout wall;
    ASSERT_TRUE(wall.SetLayout(1, false, {}));
    auto placed = wall.Placements(kW, kH);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0].rect, (PaneBounds{220, 96, 1477 - 1, 981 - 1}));
}

TEST(WallLayoutGeometry, LastColumnAndRowReachTheEdgesExactly) {
    WallLayout wall;
    ASSERT_TRUE(wall.SetLayout(3, false, {}));
    auto placed = wall.Placements(kW, kH);
    ASSERT_EQ(placed.size(), 9u);
    // cw = 1477 / 3 = 492, ch = 981 / 3 = 327
    EXPECT_EQ(placed[0].rect, (PaneBounds{220, 96, 491, 326}));
    EXPECT_EQ(placed[1].rect, (PaneBounds{712, 96, 491, 326}));
    EXPECT_EQ(placed[2].rect, (PaneBounds{1204, 96, 1697 - 1204, 326}));
    EXPECT_EQ(placed[8].rect, (PaneBounds{1204, 750, 1697 - 1204, 1077 - 750}));
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(placed[i].slot, i);
    }
}

TEST(WallLayoutGeometry, CustomLayoutsPlaceBigPanesWithoutStretching) {
    WallLayout wall;
    ASSERT_TRUE(wall.SetLayout(30, false, {}));
    EXPECT_EQ(wall.GridSize(), 3);
    auto placed = wall.Placements(kW, kH);
    ASSERT_EQ(placed.size(), 6u);
    EXPECT_EQ(placed[0].rect, (PaneBounds{220, 96, 2 * 492 - 1, 2 * 327 - 1}));
    EXPECT_EQ(placed[1].rect, (PaneBounds{220 + 2 * 492, 96, 491, 326}));
    EXPECT_EQ(placed[4].rect, (PaneBounds{220, 96 + 2 * 327, 491, 326}));
    EXPECT_EQ(placed[5].rect, (PaneBounds{220 + 492, 96 + 2 * 327, 491, 326}));

    ASSERT_TRUE(wall.SetLayout(32, false, {}));
    placed = wall.Placements(kW, kH);
    ASSERT_EQ(placed.size(), 8u);
    // cw = 1477 / 4 = 369, ch = 981 / 4 = 245
    EXPECT_EQ(placed[0].rect, (PaneBounds{220, 96, 3 * 369 - 1, 3 * 245 - 1}));
    EXPECT_EQ(placed[7].rect, (PaneBounds{220, 96 + 3 * 245, 368, 244}));
    EXPECT_EQ(placed[4].rect, (PaneBounds{220 + 3 * 369, 96 + 3 * 245, 368, 244}));
}

TEST(WallLayoutGeometry, EveryCustomLayoutCoversItsGridWithoutOverlap) {
    for (int code = 30; code <= 34; ++code) {
        int g = WallLayout::CustomGrid(code);
        std::vector<int> cover(g * g, 0);
        for (const auto& cell : WallLayout::CustomCells(code)) {
            for (int dy = 0; dy < cell.span; ++dy) {
                for (int dx = 0; dx < cell.span; ++dx) {
                    ASSERT_LT(cell.column + dx, g);
                    ASSERT_LT(cell.row + dy, g);
                    cover[(cell.row + dy) * g + cell.column + dx]++;
                }
            }
        }
        for (int c : cover) {
            EXPECT_EQ(c, 1) << "layout " << code;
        }
    }
    EXPECT_EQ(WallLayout::CustomCells(31).size(), 7u);
    EXPECT_EQ(WallLayout::CustomCells(33).size(), 10u);
    EXPECT_EQ(WallLayout::CustomCells(34).size(), 13u);
}

TEST(WallLayoutGeometry, CustomLayoutPagesStrideByTheWholeGrid) {
    WallLayout wall;
    ASSERT_TRUE(wall.SetLayout(31, false, Busy(0, 20)));
    EXPECT_EQ(wall.PanesPerPage(), 16);
    EXPECT_EQ(wall.PageCount(), 2);
    ASSERT_TRUE(wall.Page(WallLayout::PageCommand::kNext, Busy(0, 20)));
    auto placed = wall.Placements(kW, kH);
    ASSERT_EQ(placed.size(), 7u);
    EXPECT_EQ(placed.front().slot, 16);
    EXPECT_EQ(placed.back().slot, 22);  // slots 23..31 are not shown
}

TEST(WallLayoutGeometry, LastPageOfSixteenByCountStopsAtThe256thPane) {
    WallLayout wall;
    ASSERT_TRUE(wall.SetLayout(6, false, {}));
    wall.Select(255);
    wall.Reapply();
    auto placed = wall.Placements(kW, kH);
    EXPECT_EQ(wall.CurrentPage(), 7);
    ASSERT_EQ(placed.size(), 4u);  // 252..255
    EXPECT_EQ(placed.back().slot, 255);
}

TEST(WallLayoutCodes, SetLayoutRefusals) {
    WallLayout wall;
    EXPECT_FALSE(wall.SetLayout(2, false, {})) << "the grid already shown";
    EXPECT_FALSE(wall.SetLayout(0, false, {}));
    EXPECT_FALSE(wall.SetLayout(17, false, {}));
    EXPECT_FALSE(wall.SetLayout(29, false, {}));
    EXPECT_FALSE(wall.SetLayout(35, false, {}));
    EXPECT_TRUE(wall.SetLayout(16, false, {}));
    EXPECT_EQ(wall.LayoutCode(), 16);
    ASSERT_TRUE(wall.SetLayout(31, false, {}));
    EXPECT_TRUE(wall.SetLayout(31, false, {})) << "a custom layout can be reapplied";
    EXPECT_TRUE(wall.SetLayout(4, false, {})) << "grid 4 while custom 31 (also grid 4) is shown";
    EXPECT_EQ(wall.CustomMode(), 0);

    wall.SetLoopActive(true);
    EXPECT_FALSE(wall.SetLayout(3, false, {}));
    EXPECT_FALSE(wall.SetLayout(30, false, {}));
    EXPECT_TRUE(wall.SetLayout(3, true, {})) << "loop play itself forces its layout";
}

TEST(WallLayoutCodes, LayoutSwitchPageFollowsTheSelectedPane) {
    WallLayout wall;
    wall.Select(10);
    ASSERT_TRUE(wall.SetLayout(3, false, Busy(0, 12)));
    EXPECT_EQ(wall.CurrentPage(), 1);
    ASSERT_TRUE(wall.SetLayout(4, false, Busy(0, 12)));
    EXPECT_EQ(wall.CurrentPage(), 0);
    wall.ClearSelection();
    wall.SetCurrentPage(3);
    ASSERT_TRUE(wall.SetLayout(5, false, Busy(0, 12)));
    EXPECT_EQ(wall.CurrentPage(), 3) << "without a selection the page stays";
}

TEST(WallLayoutPaging, NothingConnectedGoesToPageZero) {
    WallLayout wall;
    wall.Count({});
    EXPECT_EQ(wall.PageCount(), 0);
    ASSERT_TRUE(wall.Page(WallLayout::PageCommand::kNext, {}));
    EXPECT_EQ(wall.CurrentPage(), 0);
    ASSERT_TRUE(wall.Page(WallLayout::PageCommand::kPrevious, {}));
    EXPECT_EQ(wall.CurrentPage(), 0);
    ASSERT_TRUE(wall.Page(WallLayout::PageCommand::kLast, {}));
    EXPECT_EQ(wall.CurrentPage(), 0);
    EXPECT_EQ(wall.Selected(), 0);
}

TEST(WallLayoutPaging, NextWrapsFromLastAndPreviousWrapsFromFirst) {
    WallLayout wall;  // 2 x 2
    auto busy = Busy(0, 10);
    wall.Count(busy);
    EXPECT_EQ(wall.PageCount(), 3);
    ASSERT_TRUE(wall.Page(WallLayout::PageCommand::kPrevious, busy));
    EXPECT_EQ(wall.CurrentPage(), 2);
    EXPECT_EQ(wall.Selected(), 8);
    ASSERT_TRUE(wall.Page(WallLayout::PageCommand::kNext, busy));
    EXPECT_EQ(wall.CurrentPage(), 0);
    ASSERT_TRUE(wall.Page(WallLayout::PageCommand::kLast, busy));
    EXPECT_EQ(wall.CurrentPage(), 2);
    ASSERT_TRUE(wall.Page(WallLayout::PageCommand::kFirst, busy));
    EXPECT_EQ(wall.CurrentPage(), 0);
    ASSERT_TRUE(wall.Page(WallLayout::PageCommand::kNext, busy));
    EXPECT_EQ(wall.CurrentPage(), 1);
    EXPECT_EQ(wall.Selected(), 4);
}

TEST(WallLayoutPaging, RefusedWhileLoopPlayRunsButStillCounted) {
    WallLayout wall;
    wall.SetLoopActive(true);
    EXPECT_FALSE(wall.Page(WallLayout::PageCommand::kNext, Busy(0, 9)));
    EXPECT_EQ(wall.ConnectedCount(), 9);
    EXPECT_EQ(wall.CurrentPage(), 0);
}

TEST(WallLayoutPaging, StatusText) {
    WallLayout wall;
    wall.Count(Busy(0, 5));
    wall.Page(WallLayout::PageCommand::kNext, Busy(0, 5));
    EXPECT_EQ(wall.PagingStatus(), ":  2/2 Screen, connected 5 videos, 4 pic/screen");
}

TEST(WallLayoutAutoGrow, TwoByTwoFullGrowsToThreeByThreeButFourByFourStays) {
    WallLayout wall;
    bool changed = false;
    EXPECT_EQ(wall.TakeFreePane(Busy(0, 4), &changed), 4);
    EXPECT_TRUE(changed);
    EXPECT_EQ(wall.GridSize(), 3);

    WallLayout big;
    ASSERT_TRUE(big.SetLayout(4, false, {}));
    EXPECT_EQ(big.TakeFreePane(Busy(0, 4), &changed), 4);
    EXPECT_FALSE(changed);
    EXPECT_EQ(big.GridSize(), 4);
}

TEST(WallLayoutAutoGrow, SixBySixShrinksToFiveByFiveForSlot17) {
    WallLayout wall;
    ASSERT_TRUE(wall.SetLayout(6, false, {}));
    auto busy = Busy(0, 17);
    busy.set(20);
    EXPECT_EQ(wall.TakeFreePane(busy), 17);
    EXPECT_EQ(wall.GridSize(), 5);
}

TEST(WallLayoutAutoGrow, FullSixBySixPutsTheNewPaneOnTheNextPageWithoutMoving) {
    WallLayout wall;
    ASSERT_TRUE(wall.SetLayout(6, false, {}));
    wall.Select(3);
    wall.Reapply();
    bool changed = true;
    EXPECT_EQ(wall.TakeFreePane(Busy(0, 36), &changed), 36);
    EXPECT_FALSE(changed);
    EXPECT_EQ(wall.GridSize(), 6);
    EXPECT_EQ(wall.CurrentPage(), 0);
    EXPECT_EQ(wall.Selected(), 36);
}

TEST(WallLayoutAutoGrow, SwitchPageFollowsThePaneSelectedBeforeTheSwitch) {
    WallLayout wall;  // 2 x 2, page 1 selected
    auto busy = Busy(0, 8);
    wall.Count(busy);
    ASSERT_TRUE(wall.Page(WallLayout::PageCommand::kNext, busy));
    ASSERT_EQ(wall.Selected(), 4);
    bool changed = false;
    EXPECT_EQ(wall.TakeFreePane(busy, &changed), 8);
    EXPECT_TRUE(changed);
    EXPECT_EQ(wall.GridSize(), 3);
    EXPECT_EQ(wall.CurrentPage(), 0) << "slot 4 / 9 = page 0, not slot 8's page";
    EXPECT_EQ(wall.Selected(), 8);
}

TEST(WallLayoutAutoGrow, GrowthRulesByLowestFreeSlot) {
    struct Case {
        int startCode;
        int busyCount;
        int expectGrid;
        int expectCustom;
    };
    const Case cases[] = {
        {1, 0, 1, 0},   {1, 1, 2, 0},  {1, 3, 2, 0},   {3, 1, 3, 0},   {2, 8, 3, 0},
        {2, 9, 4, 0},   {30, 9, 4, 0}, {31, 9, 4, 31}, {4, 15, 4, 0},  {4, 16, 5, 0},
        {31, 20, 5, 0}, {8, 24, 5, 0}, {5, 25, 6, 0},  {16, 40, 6, 0}, {6, 200, 6, 0},
    };
    for (const Case& c : cases) {
        WallLayout wall;
        if (c.startCode != 2) {
            ASSERT_TRUE(wall.SetLayout(c.startCode, true, {}));
        }
        EXPECT_EQ(wall.TakeFreePane(Busy(0, c.busyCount)), c.busyCount);
        EXPECT_EQ(wall.GridSize(), c.expectGrid)
            << "from " << c.startCode << " with " << c.busyCount << " busy";
        EXPECT_EQ(wall.CustomMode(), c.expectCustom)
            << "from " << c.startCode << " with " << c.busyCount << " busy";
    }
}

TEST(WallLayoutAutoGrow, NoGrowthDuringLoopPlayAndNoneWhenAllUsed) {
    WallLayout wall;
    wall.SetLoopActive(true);
    EXPECT_EQ(wall.TakeFreePane(Busy(0, 30)), 30);
    EXPECT_EQ(wall.GridSize(), 2);
    WallLayout::InUse all;
    all.set();
    EXPECT_EQ(wall.TakeFreePane(all), std::nullopt);
}

TEST(WallLayoutFullScreen, DoubleClickShowsExactlyTheSelectedPaneAndRestoresCustom) {
    WallLayout wall;
    ASSERT_TRUE(wall.SetLayout(33, false, Busy(0, 12)));
    wall.Select(11);
    wall.Reapply();
    EXPECT_EQ(wall.CurrentPage(), 0);
    wall.ToggleFullScreen();
    EXPECT_TRUE(wall.FullScreen());
    auto placed = wall.Placements(kW, kH);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0].slot, 11);
    EXPECT_EQ(placed[0].rect.x, 0);
    EXPECT_EQ(placed[0].rect.y, 0);
    wall.ToggleFullScreen();
    EXPECT_FALSE(wall.FullScreen());
    EXPECT_EQ(wall.LayoutCode(), 33);
    EXPECT_EQ(wall.GridSize(), 4);
    EXPECT_EQ(wall.Placements(kW, kH).size(), 10u);
}

TEST(WallLayoutFullScreen, WallFullScreenKeepsTheLayout) {
    WallLayout wall;
    ASSERT_TRUE(wall.SetLayout(3, false, {}));
    wall.EnterWallFullScreen();
    EXPECT_EQ(wall.GridSize(), 3);
    auto placed = wall.Placements(kW, kH);
    ASSERT_EQ(placed.size(), 9u);
    EXPECT_EQ(placed[8].rect.x + placed[8].rect.width, kW);
    wall.ToggleFullScreen();  // leaving goes through the toggle
    EXPECT_FALSE(wall.FullScreen());
    EXPECT_EQ(wall.GridSize(), 3);
}

}  // namespace
}  // namespace orbisight
