#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "device/DevInfoBlock.h"

namespace orbisight {

// A time of day as the plan dialog shows it.
struct PlanTime {
    int hour = 0;
    int minute = 0;
    int second = 0;

    static constexpr int kLastSecondOfDay = 23 * 3600 + 59 * 60 + 59;

    int Seconds() const { return hour * 3600 + minute * 60 + second; }
    // Splits seconds back into hours, minutes and seconds (no day cap).
    static PlanTime FromSeconds(int seconds);
    // "HH:MM:SS".
    std::string Text() const;
    // Reads "H:MM:SS" or "HH:MM:SS" within a day (00:00:00 .. 23:59:59).
    static std::optional<PlanTime> Parse(std::string_view text);
    bool operator==(const PlanTime&) const = default;
};

enum class PlanMode : uint8_t { kOff = 0, kSchedule = 1, kAlarm = 2 };

// One of the camera's eight recording plans, 8 bytes as stored in the
// parameter block's schedule field.
struct RecordPlanEntry {
    static constexpr int kFirstDay = 1;  // Monday
    static constexpr int kLastDay = 9;   // working days
    static constexpr int kEveryDay = 8;
    static constexpr int kWorkingDays = 9;

    uint8_t mode = 0;  // PlanMode
    uint8_t day = 0;   // 1 Monday .. 7 Sunday, 8 every day, 9 working days
    uint8_t startHour = 0;
    uint8_t startMinute = 0;
    uint8_t startSecond = 0;
    uint8_t durationHours = 0;  // 0..24
    uint8_t durationMinutes = 0;
    uint8_t durationSeconds = 0;

    int StartSeconds() const { return startHour * 3600 + startMinute * 60 + startSecond; }
    int DurationSeconds() const {
        return durationHours * 3600 + durationMinutes * 60 + durationSeconds;
    }
    bool operator==(const RecordPlanEntry&) const = default;
};
static_assert(sizeof(RecordPlanEntry) == 8);

// The start, end and interval the dialog shows for a plan.
//
// The end is inclusive: the duration stored is one second longer than the
// span from start to end. The end shown is therefore start + duration - 1 s,
// so a plan saved and opened again shows the times the user set (adding the
// whole duration would move the end one second later on every opening, and
// every later edit would store that extra second). A start or end past the
// day (hour 24) shows as 23:59:59.
struct PlanTimes {
    PlanTime start;
    PlanTime end;
    PlanTime interval;  // end - start
    bool operator==(const PlanTimes&) const = default;
};
PlanTimes ShownTimes(const RecordPlanEntry& entry);

// The user changed the start (SetPlanStart) or the end (SetPlanEnd) to the
// given times, both within the day. When the end is earlier than the start,
// the changed time wins: a new start drags the end along, a new end drags
// the start. Stores the start and the duration (span + 1 s) and returns the
// times to show now.
PlanTimes SetPlanStart(RecordPlanEntry& entry, PlanTime start, PlanTime end);
PlanTimes SetPlanEnd(RecordPlanEntry& entry, PlanTime start, PlanTime end);

// Names for the text and JSON forms: "off", "schedule", "alarm"; "monday" ..
// "sunday", "everyday", "workday". Empty for a value without a name.
std::string_view PlanModeName(int mode);
std::string_view PlanDayName(int day);
// By name, in any letter case; none for an unknown name.
std::optional<int> PlanModeByName(std::string_view name);
std::optional<int> PlanDayByName(std::string_view name);

// The eight plans: the 64-byte schedule field of the parameter block.
class RecordPlan {
  public:
    static constexpr int kPlans = DevInfoBlock::kSchedulePlans;
    static constexpr size_t kBytes = kPlans * sizeof(RecordPlanEntry);
    using Bytes = std::array<uint8_t, kBytes>;

    RecordPlan() = default;
    static RecordPlan FromBytes(const Bytes& bytes);
    static RecordPlan FromBlock(const DevInfoBlock& block);
    Bytes ToBytes() const;
    // Writes the plans into the block's schedule field; nothing else changes.
    void ToBlock(DevInfoBlock& block) const;

    // index 0..7 (plan 1 is index 0).
    RecordPlanEntry& Entry(int index) { return entries_.at(static_cast<size_t>(index)); }
    const RecordPlanEntry& Entry(int index) const {
        return entries_.at(static_cast<size_t>(index));
    }
    bool operator==(const RecordPlan&) const = default;

  private:
    std::array<RecordPlanEntry, kPlans> entries_{};
};

// Reads one plan assignment of the command-line tool and applies it:
//   N=off | N=schedule|alarm[,DAY,START,END]
// with N 1..8, DAY a day name, START and END "HH:MM:SS" within the day and
// the end not before the start (a plan that ends before it starts is
// refused rather than moved, as the dialog would). A mode alone keeps the
// plan's day and times. False with a message in error when anything is
// wrong; the plan is then unchanged.
bool ApplyPlanAssignment(RecordPlan& plan, std::string_view text, std::string* error);

}  // namespace orbisight
