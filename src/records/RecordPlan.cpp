#include "records/RecordPlan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/Text.h"

namespace orbisight {
namespace {

constexpr std::string_view kModeNames[] = {"off", "schedule", "alarm"};
// Day value - 1.
constexpr std::string_view kDayNames[] = {"monday",   "tuesday", "wednesday", "thursday", "friday",
                                          "saturday", "sunday",  "everyday",  "workday"};

int ClampToDay(int seconds) {
    return std::clamp(seconds, 0, PlanTime::kLastSecondOfDay);
}

PlanTimes Store(RecordPlanEntry& entry, PlanTime start, PlanTime end) {
    entry.startHour = static_cast<uint8_t>(start.hour);
    entry.startMinute = static_cast<uint8_t>(start.minute);
    entry.startSecond = static_cast<uint8_t>(start.second);
    int span = end.Seconds() - start.Seconds();
    // The end is inclusive: 08:00:00 to 10:00:00 records 2 h 0 min 1 s, and
    // a whole day (00:00:00 to 23:59:59) stores 24 h.
    int duration = span + 1;
    entry.durationHours = static_cast<uint8_t>(duration / 3600);
    entry.durationMinutes = static_cast<uint8_t>(duration % 3600 / 60);
    entry.durationSeconds = static_cast<uint8_t>(duration % 60);
    return {start, end, PlanTime::FromSeconds(span)};
}

PlanTime WithinDay(PlanTime time) {
    return PlanTime::FromSeconds(ClampToDay(time.Seconds()));
}

bool ParseNumber(std::string_view text, int& out) {
    if (text.empty() || text.size() > 2) {
        return false;
    }
    out = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        out = out * 10 + (c - '0');
    }
    return true;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t begin = 0;
    while (true) {
        size_t end = text.find(separator, begin);
        parts.push_back(text.substr(begin, end == std::string_view::npos ? end : end - begin));
        if (end == std::string_view::npos) {
            return parts;
        }
        begin = end + 1;
    }
}

}  // namespace

PlanTime PlanTime::FromSeconds(int seconds) {
    seconds = std::max(seconds, 0);
    return {seconds / 3600, seconds % 3600 / 60, seconds % 60};
}

std::string PlanTime::Text() const {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
    return text;
}

std::optional<PlanTime> PlanTime::Parse(std::string_view text) {
    auto parts = Split(text, ':');
    PlanTime time;
    if (parts.size() != 3 || !ParseNumber(parts[0], time.hour) || parts[1].size() != 2 ||
        !ParseNumber(parts[1], time.minute) || parts[2].size() != 2 ||
        !ParseNumber(parts[2], time.second)) {
        return std::nullopt;
    }
    if (time.hour > 23 || time.minute > 59 || time.second > 59) {
        return std::nullopt;
    }
    return time;
}

PlanTimes ShownTimes(const RecordPlanEntry& entry) {
    int start = entry.StartSeconds();
    int duration = entry.DurationSeconds();
    // A duration of 0 is never written by this client (the least it stores
    // is 1 s); a camera's blank plan shows as ending where it starts.
    int end = duration > 0 ? start + duration - 1 : start;
    int shownStart = ClampToDay(start);
    int shownEnd = ClampToDay(end);
    return {PlanTime::FromSeconds(shownStart), PlanTime::FromSeconds(shownEnd),
            PlanTime::FromSeconds(shownEnd - shownStart)};
}

PlanTimes SetPlanStart(RecordPlanEntry& entry, PlanTime start, PlanTime end) {
    start = WithinDay(start);
    end = WithinDay(end);
    if (end.Seconds() < start.Seconds()) {
        end = start;
    }
    return Store(entry, start, end);
}

PlanTimes SetPlanEnd(RecordPlanEntry& entry, PlanTime start, PlanTime end) {
    start = WithinDay(start);
    end = WithinDay(end);
    if (end.Seconds() < start.Seconds()) {
        start = end;
    }
    return Store(entry, start, end);
}

std::string_view PlanModeName(int mode) {
    return mode >= 0 && mode < 3 ? kModeNames[mode] : std::string_view();
}

std::string_view PlanDayName(int day) {
    return day >= RecordPlanEntry::kFirstDay && day <= RecordPlanEntry::kLastDay
               ? kDayNames[day - 1]
               : std::string_view();
}

std::optional<int> PlanModeByName(std::string_view name) {
    for (int i = 0; i < 3; ++i) {
        if (EqualsNoCase(name, kModeNames[i])) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<int> PlanDayByName(std::string_view name) {
    for (int day = RecordPlanEntry::kFirstDay; day <= RecordPlanEntry::kLastDay; ++day) {
        if (EqualsNoCase(name, kDayNames[day - 1])) {
            return day;
        }
    }
    return std::nullopt;
}

RecordPlan RecordPlan::FromBytes(const Bytes& bytes) {
    RecordPlan plan;
    std::memcpy(plan.entries_.data(), bytes.data(), kBytes);
    return plan;
}

RecordPlan RecordPlan::FromBlock(const DevInfoBlock& block) {
    static_assert(sizeof(DevInfoBlock::recordSchedule) == kBytes);
    Bytes bytes;
    std::memcpy(bytes.data(), &block.recordSchedule, kBytes);
    return FromBytes(bytes);
}

RecordPlan::Bytes RecordPlan::ToBytes() const {
    Bytes bytes;
    std::memcpy(bytes.data(), entries_.data(), kBytes);
    return bytes;
}

void RecordPlan::ToBlock(DevInfoBlock& block) const {
    Bytes bytes = ToBytes();
    std::memcpy(&block.recordSchedule, bytes.data(), kBytes);
}

bool ApplyPlanAssignment(RecordPlan& plan, std::string_view text, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) {
            *error = "\"" + std::string(text) + "\": " + why;
        }
        return false;
    };
    size_t equals = text.find('=');
    int number = 0;
    if (equals == std::string_view::npos || !ParseNumber(text.substr(0, equals), number)) {
        return fail("expected PLAN=MODE[,DAY,START,END] with PLAN 1..8");
    }
    if (number < 1 || number > RecordPlan::kPlans) {
        return fail("the plan number must be 1..8");
    }
    auto parts = Split(text.substr(equals + 1), ',');
    if (parts.size() != 1 && parts.size() != 4) {
        return fail("expected MODE alone or MODE,DAY,START,END");
    }
    auto mode = PlanModeByName(parts[0]);
    if (!mode) {
        return fail("the mode must be off, schedule or alarm");
    }
    RecordPlanEntry entry = plan.Entry(number - 1);
    entry.mode = static_cast<uint8_t>(*mode);
    if (parts.size() == 4) {
        auto day = PlanDayByName(parts[1]);
        if (!day) {
            return fail("the day must be monday .. sunday, everyday or workday");
        }
        auto start = PlanTime::Parse(parts[2]);
        auto end = PlanTime::Parse(parts[3]);
        if (!start || !end) {
            return fail("times are HH:MM:SS from 00:00:00 to 23:59:59");
        }
        if (end->Seconds() < start->Seconds()) {
            return fail("the end is before the start");
        }
        entry.day = static_cast<uint8_t>(*day);
        SetPlanStart(entry, *start, *end);
    }
    plan.Entry(number - 1) = entry;
    return true;
}

}  // namespace orbisight
