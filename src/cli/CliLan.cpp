// orbisight-cli lan-search and lan-set: cameras on the local network.
//
//   lan-search [--seconds N] [--data-dir DIR]
//   lan-set --id ID FIELD=VALUE... [--seconds N] [--data-dir DIR]
//
// The ports come from "CameraClient.ini" in the data folder ("DeviceSetPort",
// "DeviceGetPort"); both commands open sockets, so they run inside
// scripts/isolated on a development machine.

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "account/AccountSettings.h"
#include "cli/CliArgs.h"
#include "cli/CliDeviceCommands.h"
#include "device/DeviceParamMembers.h"
#include "lan/LanListener.h"
#include "lan/LanParamSender.h"
#include "platform/Clock.h"
#include "platform/Files.h"

namespace orbisight::cli {
namespace {

constexpr long kDefaultSeconds = 2;
constexpr long kMaxSeconds = 600;

// The members that hold a dotted IPv4 address.
const std::set<std::string_view> kAddressMembers = {"wired_ip",     "wired_mask", "wired_gateway",
                                                    "wired_dns",    "wifi_ip",    "wifi_mask",
                                                    "wifi_gateway", "wifi_dns"};

// One line of JSON; texts from the network that are not UTF-8 are printed
// with replacement characters.
std::string CameraJson(const CamNetParam& r) {
    nlohmann::json line = {{"id", std::string(r.Id())},
                           {"name", std::string(r.Name())},
                           {"address", std::string(r.Address())},
                           {"net_type", r.NetTypeText()},
                           {"mac", r.MacText()},
                           {"version", std::string(r.Version())}};
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

struct LanOptions {
    LanPorts ports;
    long seconds = kDefaultSeconds;
};

bool ReadLanOptions(const CliArgs& args, LanOptions& out) {
    auto seconds = args.GetNumber("seconds", kDefaultSeconds);
    if (!seconds || *seconds < 1 || *seconds > kMaxSeconds) {
        std::fprintf(stderr, "orbisight-cli: --seconds needs a whole number from 1 to %ld\n",
                     kMaxSeconds);
        return false;
    }
    out.seconds = *seconds;
    std::filesystem::path folder =
        args.Has("data-dir") ? std::filesystem::path(args.Get("data-dir")) : DataFolder();
    AccountSettings settings = AccountSettings::Load(folder / AccountSettings::kFileName);
    out.ports.setPort = settings.deviceSetPort;
    out.ports.getPort = settings.deviceGetPort;
    // The command line sends everything to the configured port, the "3G"
    // replies included.
    out.ports.fixedSetPort = settings.deviceSetPort;
    return true;
}

// Waits until the deadline, or until done() holds.
template <typename Done>
void WaitUntil(uint64_t deadline, Done done) {
    while (TickCountMs() < deadline && !done()) {
        SleepMs(20);
    }
}

bool StartListener(LanListener& listener, const LanOptions& options) {
    if (listener.Start()) {
        return true;
    }
    std::fprintf(stderr, "orbisight-cli: cannot listen for answers on UDP port %u\n",
                 options.ports.getPort);
    return false;
}

int RunLanSearch(const CliArgs& args) {
    if (!args.Positional().empty()) {
        std::fprintf(stderr, "orbisight-cli: unexpected argument \"%s\"\n",
                     args.Positional()[0].c_str());
        return kExitUsage;
    }
    LanOptions options;
    if (!ReadLanOptions(args, options)) {
        return kExitUsage;
    }
    LanListener listener(options.ports);
    if (!StartListener(listener, options)) {
        return kExitNoConnection;
    }
    SleepMs(static_cast<int>(options.seconds * 1000));
    listener.Stop();
    for (const CamNetParam& camera : listener.List()->Snapshot()) {
        std::printf("%s\n", CameraJson(camera).c_str());
    }
    return kExitOk;
}

struct Assignment {
    const ParamMember* member;
    std::string value;
};

// Checks every FIELD=VALUE before anything is sent.
bool ParseAssignments(const std::vector<std::string>& words, std::vector<Assignment>& out) {
    DevInfoBlock block{};
    DevInfoExt ext{};
    for (const auto& word : words) {
        size_t equals = word.find('=');
        if (equals == std::string::npos || equals == 0) {
            std::fprintf(stderr, "orbisight-cli: \"%s\" is not FIELD=VALUE\n", word.c_str());
            return false;
        }
        std::string name = word.substr(0, equals);
        std::string value = word.substr(equals + 1);
        const ParamMember* member = FindWritableParam(name);
        if (member == nullptr) {
            return false;
        }
        if (kAddressMembers.count(member->name) != 0 && !lan::IsDottedIpv4(value)) {
            std::fprintf(stderr, "orbisight-cli: %s \"%s\" is not a dotted IPv4 address\n",
                         name.c_str(), value.c_str());
            return false;
        }
        std::string error;
        if (!SetParamText(*member, block, ext, value, &error)) {
            std::fprintf(stderr, "orbisight-cli: %s\n", error.c_str());
            return false;
        }
        out.push_back({member, value});
    }
    if (out.empty()) {
        std::fprintf(stderr, "orbisight-cli: lan-set needs at least one FIELD=VALUE\n");
        return false;
    }
    return true;
}

int RunLanSet(const CliArgs& args) {
    std::string id = args.Get("id");
    if (id.size() != lan::kDeviceIdLength) {
        std::fprintf(stderr, "orbisight-cli: lan-set needs --id with a 12-character device ID\n");
        return kExitUsage;
    }
    std::vector<Assignment> assignments;
    if (!ParseAssignments(args.Positional(), assignments)) {
        return kExitUsage;
    }
    LanOptions options;
    if (!ReadLanOptions(args, options)) {
        return kExitUsage;
    }
    LanListener listener(options.ports);
    if (!StartListener(listener, options)) {
        return kExitNoConnection;
    }
    // The set starts from the camera's own blocks: find it first.
    uint64_t deadline = TickCountMs() + static_cast<uint64_t>(options.seconds) * 1000;
    auto found = [&] {
        auto r = listener.List()->Find(id);
        return r && r->HasExtended();
    };
    WaitUntil(deadline, found);
    auto record = listener.List()->Find(id);
    if (!record) {
        std::fprintf(stderr, "orbisight-cli: no camera %s answered the search\n", id.c_str());
        return kExitNoConnection;
    }
    DevInfoBlock block = record->basic;
    DevInfoExt ext = record->Extended();
    bool basic = false;
    bool extended = false;
    for (const auto& a : assignments) {
        SetParamText(*a.member, block, ext, a.value);
        (a.member->block == ParamMember::Block::kBasic ? basic : extended) = true;
    }
    if (extended && !record->HasExtended()) {
        std::fprintf(stderr, "orbisight-cli: camera %s sent no extended answer\n", id.c_str());
        return kExitNoConnection;
    }
    LanParamSender sender(options.ports.setPort);
    if ((basic && sender.SendBasic(block) != 0) ||
        (extended && sender.SendExtended(record->extended, ext) != 0)) {
        std::fprintf(stderr, "orbisight-cli: the set could not be broadcast\n");
        return kExitNoConnection;
    }
    // Sets are not acknowledged: a new search shows what the camera kept.
    SleepMs(200);
    listener.StartLanSearch();
    deadline = TickCountMs() + static_cast<uint64_t>(options.seconds) * 1000;
    WaitUntil(deadline, found);
    auto after = listener.List()->Find(id);
    listener.Stop();
    if (!after) {
        std::fprintf(stderr, "orbisight-cli: the set was sent; camera %s did not answer again\n",
                     id.c_str());
        return kExitNoConnection;
    }
    std::printf("%s\n", CameraJson(*after).c_str());
    static const std::set<std::string_view> kConsumed = {"password_change", "new_password",
                                                         "restart_command"};
    DevInfoExt afterExt = after->Extended();
    for (const auto& a : assignments) {
        if (kConsumed.count(a.member->name) == 0 &&
            GetParamText(*a.member, after->basic, afterExt) !=
                GetParamText(*a.member, block, ext)) {
            std::fprintf(stderr, "orbisight-cli: the camera kept %s = %s\n",
                         std::string(a.member->name).c_str(),
                         GetParamText(*a.member, after->basic, afterExt).c_str());
            return kExitCameraRefused;
        }
    }
    return kExitOk;
}

}  // namespace

int RunLan(const std::string& command, const std::vector<std::string>& words) {
    std::string error;
    auto args = CliArgs::Parse(words, {}, error);
    if (!args) {
        std::fprintf(stderr, "orbisight-cli: %s\n", error.c_str());
        return kExitUsage;
    }
    std::set<std::string> known = {"seconds", "data-dir"};
    if (command == "lan-set") {
        known.insert("id");
    }
    if (auto unknown = args->Unknown(known); !unknown.empty()) {
        std::fprintf(stderr, "orbisight-cli: unknown option --%s for %s\n", unknown[0].c_str(),
                     command.c_str());
        return kExitUsage;
    }
    return command == "lan-search" ? RunLanSearch(*args) : RunLanSet(*args);
}

}  // namespace orbisight::cli
