#include <gtest/gtest.h>

#include <cstring>

#include "records/RecordPlan.h"

namespace orbisight {
namespace {

PlanTime T(int h, int m, int s) {
    return {h, m, s};
}

RecordPlanEntry Stored(int startH, int startM, int startS, int durH, int durM, int durS) {
    RecordPlanEntry entry;
    entry.mode = 1;
    entry.day = 1;
    entry.startHour = static_cast<uint8_t>(startH);
    entry.startMinute = static_cast<uint8_t>(startM);
    entry.startSecond = static_cast<uint8_t>(startS);
    entry.durationHours = static_cast<uint8_t>(durH);
    entry.durationMinutes = static_cast<uint8_t>(durM);
    entry.durationSeconds = static_cast<uint8_t>(durS);
    return entry;
}

TEST(RecordPlanTimes, TheEndIsInclusiveSoTheDurationIsOneSecondLonger) {
    RecordPlanEntry entry = Stored(0, 0, 0, 0, 0, 0);
    PlanTimes shown = SetPlanEnd(entry, T(8, 0, 0), T(10, 0, 0));
    EXPECT_EQ(entry, Stored(8, 0, 0, 2, 0, 1));
    EXPECT_EQ(shown, (PlanTimes{T(8, 0, 0), T(10, 0, 0), T(2, 0, 0)}));
    // Changing the start keeps the end the user sees.
    shown = SetPlanStart(entry, T(9, 30, 15), T(10, 0, 0));
    EXPECT_EQ(entry, Stored(9, 30, 15, 0, 29, 46));
    EXPECT_EQ(shown.interval, T(0, 29, 45));
}

TEST(RecordPlanTimes, ASavedPlanReadsBackExactlyAsSavedHoweverOftenItIsOpened) {
    RecordPlanEntry entry = Stored(0, 0, 0, 0, 0, 0);
    SetPlanEnd(entry, T(8, 0, 0), T(10, 0, 0));
    RecordPlanEntry saved = entry;
    for (int opening = 0; opening < 3; ++opening) {
        // Opening shows the times as set, and an edit that takes the shown
        // end (here: the start set again to what it was) adds nothing.
        PlanTimes shown = ShownTimes(entry);
        EXPECT_EQ(shown.start, T(8, 0, 0));
        EXPECT_EQ(shown.end, T(10, 0, 0)) << "opening " << opening;
        SetPlanStart(entry, shown.start, shown.end);
        EXPECT_EQ(entry, saved) << "opening " << opening;
    }
    // Through the parameter block and back, byte for byte.
    RecordPlan plan;
    plan.Entry(3) = entry;
    DevInfoBlock block{};
    plan.ToBlock(block);
    EXPECT_EQ(RecordPlan::FromBlock(block), plan);
    EXPECT_EQ(ShownTimes(RecordPlan::FromBlock(block).Entry(3)).end, T(10, 0, 0));
}

TEST(RecordPlanTimes, TheDayStartsAt000000AndEndsAt235959) {
    RecordPlanEntry entry;
    // The shortest plan: start and end on the same second records 1 s.
    PlanTimes shown = SetPlanEnd(entry, T(0, 0, 0), T(0, 0, 0));
    EXPECT_EQ(entry.StartSeconds(), 0);
    EXPECT_EQ(entry.DurationSeconds(), 1);
    EXPECT_EQ(shown.interval, T(0, 0, 0));
    EXPECT_EQ(ShownTimes(entry).end, T(0, 0, 0));
    // The whole day stores 24 h, which reads back as ending at 23:59:59.
    shown = SetPlanEnd(entry, T(0, 0, 0), T(23, 59, 59));
    EXPECT_EQ(entry.durationHours, 24);
    EXPECT_EQ(entry.durationMinutes, 0);
    EXPECT_EQ(entry.durationSeconds, 0);
    EXPECT_EQ(shown.interval, T(23, 59, 59));
    EXPECT_EQ(ShownTimes(entry), (PlanTimes{T(0, 0, 0), T(23, 59, 59), T(23, 59, 59)}));
    // One second before the end of the day stores 1 s.
    SetPlanStart(entry, T(23, 59, 59), T(23, 59, 59));
    EXPECT_EQ(entry.DurationSeconds(), 1);
    EXPECT_EQ(ShownTimes(entry).end, T(23, 59, 59));
}

TEST(RecordPlanTimes, TimesPastTheDayShowAs235959) {
    // Start hour 24 shows as 23:59:59, and so does its end.
    EXPECT_EQ(ShownTimes(Stored(24, 0, 0, 1, 0, 0)),
              (PlanTimes{T(23, 59, 59), T(23, 59, 59), T(0, 0, 0)}));
    // An end that runs past midnight stops at 23:59:59.
    EXPECT_EQ(ShownTimes(Stored(23, 0, 0, 24, 0, 0)).end, T(23, 59, 59));
    // The last second that still fits: 23:00:00 + 1 h = ends 23:59:59.
    EXPECT_EQ(ShownTimes(Stored(23, 0, 0, 1, 0, 0)).end, T(23, 59, 59));
    EXPECT_EQ(ShownTimes(Stored(22, 0, 0, 1, 0, 0)).end, T(22, 59, 59));
    // A camera's blank plan (duration 0) ends where it starts.
    EXPECT_EQ(ShownTimes(Stored(6, 0, 0, 0, 0, 0)).end, T(6, 0, 0));
}

TEST(RecordPlanTimes, AnEndBeforeTheStartMovesTheOtherTime) {
    RecordPlanEntry entry;
    // A new end before the start moves the start to it: 1 s stored.
    PlanTimes shown = SetPlanEnd(entry, T(10, 0, 0), T(9, 0, 0));
    EXPECT_EQ(shown.start, T(9, 0, 0));
    EXPECT_EQ(entry.StartSeconds(), 9 * 3600);
    EXPECT_EQ(entry.DurationSeconds(), 1);
    // A new start after the end drags the end along.
    shown = SetPlanStart(entry, T(11, 0, 0), T(10, 0, 0));
    EXPECT_EQ(shown.end, T(11, 0, 0));
    EXPECT_EQ(entry.StartSeconds(), 11 * 3600);
    EXPECT_EQ(entry.DurationSeconds(), 1);
    // One second apart is not "before".
    SetPlanStart(entry, T(11, 0, 0), T(11, 0, 1));
    EXPECT_EQ(entry.DurationSeconds(), 2);
}

TEST(RecordPlanBytes, PlansTravelAsTheScheduleFieldAndNothingElseChanges) {
    DevInfoBlock block{};
    std::memset(&block, 0xA5, sizeof block);
    DevInfoBlock before = block;
    RecordPlan plan = RecordPlan::FromBlock(block);
    // Values this client never writes (day 0xA5, mode 0xA5) survive untouched.
    EXPECT_EQ(plan.Entry(7).day, 0xA5);
    plan.Entry(0) = Stored(8, 0, 0, 2, 0, 1);
    plan.Entry(0).day = RecordPlanEntry::kWorkingDays;
    plan.ToBlock(block);
    auto* bytes = reinterpret_cast<const uint8_t*>(&block);
    auto* old = reinterpret_cast<const uint8_t*>(&before);
    EXPECT_EQ(std::memcmp(bytes, old, 1024), 0);
    const uint8_t first[8] = {1, 9, 8, 0, 0, 2, 0, 1};
    EXPECT_EQ(std::memcmp(bytes + 1024, first, 8), 0);
    EXPECT_EQ(std::memcmp(bytes + 1032, old + 1032, 56), 0);
    EXPECT_EQ(RecordPlan::FromBytes(plan.ToBytes()), plan);
}

TEST(RecordPlanNames, DaysAndModesByValue) {
    EXPECT_EQ(PlanDayByName("Workday"), 9);
    EXPECT_EQ(PlanDayByName("everyday"), 8);
    EXPECT_EQ(PlanDayByName("MONDAY"), 1);
    EXPECT_EQ(PlanDayByName("sunday"), 7);
    EXPECT_FALSE(PlanDayByName("weekend"));
    EXPECT_EQ(PlanDayName(1), "monday");
    EXPECT_EQ(PlanDayName(9), "workday");
    EXPECT_EQ(PlanDayName(0), "");
    EXPECT_EQ(PlanDayName(10), "");
    EXPECT_EQ(PlanModeByName("Alarm"), 2);
    EXPECT_EQ(PlanModeName(2), "alarm");
    EXPECT_EQ(PlanModeName(3), "");
}

TEST(RecordPlanAssignment, AcceptsTheEdgesAndRefusesJustBeyondThem) {
    RecordPlan plan;
    std::string error;
    EXPECT_TRUE(ApplyPlanAssignment(plan, "1=schedule,workday,00:00:00,23:59:59", &error)) << error;
    EXPECT_EQ(plan.Entry(0).mode, 1);
    EXPECT_EQ(plan.Entry(0).day, 9);
    EXPECT_EQ(plan.Entry(0).durationHours, 24);
    EXPECT_TRUE(ApplyPlanAssignment(plan, "8=alarm,Everyday,7:05:00,07:05:00", &error)) << error;
    EXPECT_EQ(plan.Entry(7).DurationSeconds(), 1);
    // A mode alone keeps the day and times.
    EXPECT_TRUE(ApplyPlanAssignment(plan, "1=off", &error));
    EXPECT_EQ(plan.Entry(0).mode, 0);
    EXPECT_EQ(plan.Entry(0).day, 9);
    EXPECT_EQ(plan.Entry(0).durationHours, 24);

    RecordPlan before = plan;
    for (const char* bad :
         {"0=off", "9=off", "x=off", "1", "1=record", "1=schedule,monday",
          "1=schedule,funday,08:00:00,09:00:00", "1=schedule,monday,24:00:00,23:59:59",
          "1=schedule,monday,08:00:00,08:60:00", "1=schedule,monday,08:00:00,08:00:60",
          "1=schedule,monday,8:0:0,9:0:0", "1=schedule,monday,08:00:01,08:00:00",
          "1=schedule,monday,08:00:00,09:00:00,x"}) {
        error.clear();
        EXPECT_FALSE(ApplyPlanAssignment(plan, bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_EQ(plan, before) << bad;
    }
}

}  // namespace
}  // namespace orbisight
