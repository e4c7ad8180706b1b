// The camera commands of orbisight-cli: params, set-param, rf, sd-list and
// sd-get, each a command channel used as the matching window uses it.

#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include <nlohmann/json.hpp>

#include "cli/CliArgs.h"
#include "cli/CliCameraSession.h"
#include "cli/CliDeviceCommands.h"
#include "device/DeviceParamMembers.h"

namespace orbisight::cli {
namespace {

// In table order (basic block first, by offset), which reads like the
// settings pages rather than the alphabet.
nlohmann::ordered_json ParametersJson(const DevInfoBlock& block, const DevInfoExt& ext) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto& member : ParamMembers()) {
        std::string text = GetParamText(member, block, ext);
        if (member.IsNumber()) {
            object[std::string(member.name)] = std::stoll(text);
        } else {
            object[std::string(member.name)] = text;
        }
    }
    return object;
}

int ReportRefusal(CliCameraSession& session, const char* what) {
    std::fprintf(stderr, "orbisight-cli: the camera refused %s%s%s\n", what,
                 session.LastError().empty() ? "" : ": ", session.LastError().c_str());
    return kExitCameraRefused;
}

int FetchParameters(CliCameraSession& session) {
    Notice notice;
    int result = session.Wait({notice::kParameters}, notice);
    if (result == kExitCameraRefused) {
        return ReportRefusal(session, "to send its parameters");
    }
    return result;
}

int RunParams(const CameraOptions& options) {
    CliCameraSession session(options, CXOMPDeviceOper::kModeParameters);
    int result = session.Open();
    if (result == kExitOk) {
        result = FetchParameters(session);
    }
    if (result == kExitOk) {
        PrintJson(
            ParametersJson(session.Channel().Parameters(), session.Channel().ExtendedParameters()));
    }
    return result;
}

struct Assignment {
    const ParamMember* member;
    std::string value;
};

}  // namespace

const ParamMember* FindWritableParam(const std::string& name) {
    const ParamMember* member = FindParamMember(name);
    if (member == nullptr) {
        std::fprintf(stderr,
                     "orbisight-cli: unknown parameter \"%s\" (see the names printed by "
                     "params)\n",
                     name.c_str());
        return nullptr;
    }
    if (member->readOnly) {
        std::fprintf(stderr, "orbisight-cli: %s is read-only\n", name.c_str());
        return nullptr;
    }
    return member;
}

namespace {

int RunSetParam(const CameraOptions& options, const std::vector<std::string>& words) {
    std::vector<Assignment> assignments;
    for (const auto& word : words) {
        size_t equals = word.find('=');
        if (equals == std::string::npos || equals == 0) {
            std::fprintf(stderr, "orbisight-cli: \"%s\" is not FIELD=VALUE\n", word.c_str());
            return kExitUsage;
        }
        std::string name = word.substr(0, equals);
        const ParamMember* member = FindWritableParam(name);
        if (member == nullptr) {
            return kExitUsage;
        }
        assignments.push_back({member, word.substr(equals + 1)});
    }
    if (assignments.empty()) {
        std::fprintf(stderr, "orbisight-cli: set-param needs at least one FIELD=VALUE\n");
        return kExitUsage;
    }
    // Values are checked against a blank block first, so a typo is reported
    // before anything is sent.
    {
        DevInfoBlock block{};
        DevInfoExt ext{};
        for (const auto& a : assignments) {
            std::string error;
            if (!SetParamText(*a.member, block, ext, a.value, &error)) {
                std::fprintf(stderr, "orbisight-cli: %s\n", error.c_str());
                return kExitUsage;
            }
        }
    }

    CliCameraSession session(options, CXOMPDeviceOper::kModeParameters);
    int result = session.Open();
    if (result == kExitOk) {
        result = FetchParameters(session);
    }
    if (result != kExitOk) {
        return result;
    }
    DevInfoBlock block = session.Channel().Parameters();
    DevInfoExt ext = session.Channel().ExtendedParameters();
    bool basic = false;
    bool extended = false;
    bool restart = false;
    for (const auto& a : assignments) {
        SetParamText(*a.member, block, ext, a.value);
        (a.member->block == ParamMember::Block::kBasic ? basic : extended) = true;
        restart = restart || (a.member->name == "restart_command" && a.value != "0");
    }
    if (basic) {
        // As the settings dialog sends a page: stamped as a set, with the
        // month's flag telling the camera to take the date and time.
        block.StampForSet();
        block.SetMonthSetFlag(true);
        if (!session.Channel().SetParameters(block)) {
            std::fprintf(stderr, "orbisight-cli: the parameter block could not be sent\n");
            return kExitNoConnection;
        }
    }
    if (extended && !session.Channel().SetExtendedParameters(ext)) {
        std::fprintf(stderr, "orbisight-cli: the extended parameter block could not be sent\n");
        return kExitNoConnection;
    }
    if (restart) {
        // The camera restarts and drops the connection: nothing to read back.
        PrintJson(nlohmann::json{{"sent", true},
                                 {"restart_command", static_cast<int>(block.restartCommand)}});
        return kExitOk;
    }
    if (!session.Channel().RequestParameters()) {
        std::fprintf(stderr, "orbisight-cli: the connection was lost before the read-back\n");
        return kExitNoConnection;
    }
    Notice notice;
    result = session.Wait({notice::kParameters}, notice);
    if (result == kExitCameraRefused) {
        return ReportRefusal(session, "the new parameters");
    }
    if (result != kExitOk) {
        return result;
    }
    DevInfoBlock stored = session.Channel().Parameters();
    DevInfoExt storedExt = session.Channel().ExtendedParameters();
    PrintJson(ParametersJson(stored, storedExt));
    // Members the camera consumes (a password change, the clock, which
    // moves on) do not read back as sent.
    static const std::set<std::string_view> kConsumed = {
        "password_change", "new_password", "year", "month", "day", "hour", "minute", "second"};
    for (const auto& a : assignments) {
        if (kConsumed.count(a.member->name) == 0 &&
            GetParamText(*a.member, stored, storedExt) != GetParamText(*a.member, block, ext)) {
            std::fprintf(stderr, "orbisight-cli: the camera kept %s = %s\n",
                         std::string(a.member->name).c_str(),
                         GetParamText(*a.member, stored, storedExt).c_str());
            return kExitCameraRefused;
        }
    }
    return kExitOk;
}

}  // namespace

int RunDeviceCommand(const std::string& command, const std::vector<std::string>& words) {
    static const std::map<std::string, std::set<std::string>> kExtraOptions = {
        {"params", {}},
        {"set-param", {}},
        {"rf", {"name", "enable", "disable", "delete", "clear"}},
        {"sd-list", {"date", "from", "to"}},
        {"sd-get", {"file", "out"}},
        {"plan", {"json"}},
        {"set-plan", {"json"}},
    };
    auto extra = kExtraOptions.find(command);
    if (extra == kExtraOptions.end()) {
        std::fprintf(stderr, "orbisight-cli: unknown camera command \"%s\"\n", command.c_str());
        return kExitUsage;
    }
    std::string error;
    auto args = CliArgs::Parse(words, {"clear", "json"}, error);
    if (!args) {
        std::fprintf(stderr, "orbisight-cli: %s\n", error.c_str());
        return kExitUsage;
    }
    std::set<std::string> known = CameraOptionNames();
    known.insert(extra->second.begin(), extra->second.end());
    if (auto unknown = args->Unknown(known); !unknown.empty()) {
        std::fprintf(stderr, "orbisight-cli: unknown option --%s for %s\n", unknown[0].c_str(),
                     command.c_str());
        return kExitUsage;
    }
    if (command != "set-param" && command != "set-plan" && !args->Positional().empty()) {
        std::fprintf(stderr, "orbisight-cli: unexpected argument \"%s\"\n",
                     args->Positional()[0].c_str());
        return kExitUsage;
    }
    CameraOptions options;
    if (!ReadCameraOptions(*args, options)) {
        return kExitUsage;
    }
    if (command == "params") {
        return RunParams(options);
    }
    if (command == "set-param") {
        return RunSetParam(options, args->Positional());
    }
    if (command == "rf") {
        return RunRf(options, *args);
    }
    if (command == "sd-list") {
        return RunSdList(options, *args);
    }
    if (command == "plan") {
        return RunPlan(options, *args);
    }
    if (command == "set-plan") {
        return RunSetPlan(options, *args);
    }
    return RunSdGet(options, *args);
}

}  // namespace orbisight::cli
