// The record plan commands of orbisight-cli: plan prints the camera's eight
// recording plans, set-plan changes some of them and reads them back.

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/CliDeviceCommands.h"
#include "records/RecordPlan.h"

namespace orbisight::cli {
namespace {

std::string Hex(const RecordPlanEntry& entry) {
    static const char kDigits[] = "0123456789abcdef";
    const auto* bytes = reinterpret_cast<const uint8_t*>(&entry);
    std::string text;
    for (size_t i = 0; i < sizeof entry; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

nlohmann::json NameOrNull(std::string_view name) {
    return name.empty() ? nlohmann::json(nullptr) : nlohmann::json(std::string(name));
}

// The stable form: names for mode and day (null for a value without one),
// the times as the dialog shows them, and the stored bytes in hex.
nlohmann::ordered_json PlanJson(const RecordPlan& plan) {
    nlohmann::ordered_json plans = nlohmann::ordered_json::array();
    for (int i = 0; i < RecordPlan::kPlans; ++i) {
        const RecordPlanEntry& entry = plan.Entry(i);
        PlanTimes shown = ShownTimes(entry);
        nlohmann::ordered_json item;
        item["plan"] = i + 1;
        item["mode"] = NameOrNull(PlanModeName(entry.mode));
        item["day"] = NameOrNull(PlanDayName(entry.day));
        item["start"] = shown.start.Text();
        item["end"] = shown.end.Text();
        item["interval"] = shown.interval.Text();
        item["stored"] = Hex(entry);
        plans.push_back(item);
    }
    nlohmann::ordered_json object;
    object["plans"] = plans;
    return object;
}

void PrintPlan(const RecordPlan& plan) {
    for (int i = 0; i < RecordPlan::kPlans; ++i) {
        const RecordPlanEntry& entry = plan.Entry(i);
        PlanTimes shown = ShownTimes(entry);
        std::string mode(PlanModeName(entry.mode));
        std::string day(PlanDayName(entry.day));
        if (mode.empty()) {
            mode = "mode " + std::to_string(entry.mode);
        }
        if (day.empty()) {
            day = "day " + std::to_string(entry.day);
        }
        std::printf("Plan %d: %-9s %-10s %s - %s (interval %s)\n", i + 1, mode.c_str(), day.c_str(),
                    shown.start.Text().c_str(), shown.end.Text().c_str(),
                    shown.interval.Text().c_str());
    }
}

void Show(const RecordPlan& plan, const CliArgs& args) {
    if (args.Has("json")) {
        PrintJson(PlanJson(plan));
    } else {
        PrintPlan(plan);
    }
}

int FetchBlock(CliCameraSession& session) {
    Notice notice;
    int result = session.Wait({notice::kParameters}, notice);
    if (result == kExitCameraRefused) {
        std::fprintf(stderr, "orbisight-cli: the camera refused to send its parameters%s%s\n",
                     session.LastError().empty() ? "" : ": ", session.LastError().c_str());
    }
    return result;
}

}  // namespace

int RunPlan(const CameraOptions& options, const CliArgs& args) {
    CliCameraSession session(options, CXOMPDeviceOper::kModeParameters);
    int result = session.Open();
    if (result == kExitOk) {
        result = FetchBlock(session);
    }
    if (result == kExitOk) {
        Show(RecordPlan::FromBlock(session.Channel().Parameters()), args);
    }
    return result;
}

int RunSetPlan(const CameraOptions& options, const CliArgs& args) {
    if (args.Positional().empty()) {
        std::fprintf(stderr,
                     "orbisight-cli: set-plan needs at least one PLAN=MODE[,DAY,START,END]\n");
        return kExitUsage;
    }
    // Checked on a blank plan first, so a bad value is reported before
    // anything is sent.
    {
        RecordPlan blank;
        for (const auto& word : args.Positional()) {
            std::string error;
            if (!ApplyPlanAssignment(blank, word, &error)) {
                std::fprintf(stderr, "orbisight-cli: %s\n", error.c_str());
                return kExitUsage;
            }
        }
    }

    CliCameraSession session(options, CXOMPDeviceOper::kModeParameters);
    int result = session.Open();
    if (result == kExitOk) {
        result = FetchBlock(session);
    }
    if (result != kExitOk) {
        return result;
    }
    DevInfoBlock block = session.Channel().Parameters();
    RecordPlan plan = RecordPlan::FromBlock(block);
    for (const auto& word : args.Positional()) {
        ApplyPlanAssignment(plan, word, nullptr);
    }
    plan.ToBlock(block);
    // Only the plans change: the month's flag stays clear so the camera
    // does not set its clock back to the time read a moment ago.
    block.StampForSet();
    block.SetMonthSetFlag(false);
    if (!session.Channel().SetParameters(block) || !session.Channel().RequestParameters()) {
        std::fprintf(stderr, "orbisight-cli: the record plan could not be sent: not saved\n");
        return kExitNoConnection;
    }
    Notice notice;
    result = session.Wait({notice::kParameters}, notice);
    if (result == kExitCameraRefused) {
        std::fprintf(stderr, "orbisight-cli: the camera refused the record plan%s%s: not saved\n",
                     session.LastError().empty() ? "" : ": ", session.LastError().c_str());
        return result;
    }
    if (result != kExitOk) {
        return result;
    }
    RecordPlan stored = RecordPlan::FromBlock(session.Channel().Parameters());
    Show(stored, args);
    if (!(stored == plan)) {
        std::fprintf(stderr, "orbisight-cli: the camera did not keep the record plan\n");
        return kExitCameraRefused;
    }
    return kExitOk;
}

}  // namespace orbisight::cli
