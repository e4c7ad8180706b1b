// orbisight-cli local: the local device list ("LocalDevInfos.dat") from the
// command line, for scripts and the demo.
//
//   local list   [--data-dir DIR]
//   local add    --id ID [--host HOST[:PORT]] [--name NAME] [--password PW] [--parent N]
//   local add    --group NAME [--parent N]
//   local remove --id ID | --group N
//
// The data folder is --data-dir, else the client's usual one. Output is JSON.

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "account/SessionLists.h"
#include "cli/CliArgs.h"
#include "platform/Files.h"

namespace orbisight::cli {

namespace {

int LocalUsage(const std::string& problem = {}) {
    if (!problem.empty()) {
        std::fprintf(stderr, "orbisight-cli: %s\n", problem.c_str());
    }
    std::fprintf(stderr,
                 "usage: orbisight-cli local list [--data-dir DIR]\n"
                 "       orbisight-cli local add --id ID [--host HOST[:PORT]] [--name NAME]\n"
                 "                               [--password PW] [--parent N] [--data-dir DIR]\n"
                 "       orbisight-cli local add --group NAME [--parent N] [--data-dir DIR]\n"
                 "       orbisight-cli local remove --id ID | --group N [--data-dir DIR]\n");
    return kExitUsage;
}

nlohmann::json Describe(const DeviceInfo& r) {
    return {{"id", std::string(r.Id())},
            {"name", r.DisplayName()},
            {"is_group", r.isGroup != 0},
            {"group", r.groupNumber},
            {"parent", r.parentGroup},
            {"url", std::string(r.Url())},
            {"host", std::string(r.HostAddress())},
            {"user", std::string(r.User())}};
}

}  // namespace

int RunLocal(const std::vector<std::string>& words) {
    std::string error;
    auto args = CliArgs::Parse(words, {}, error);
    if (!args) {
        return LocalUsage(error);
    }
    if (args->Positional().size() != 1) {
        return LocalUsage("local needs one of list, add, remove");
    }
    const std::string command = args->Positional()[0];
    const std::set<std::string> known = {"data-dir", "id",     "host", "name",
                                         "password", "parent", "group"};
    if (auto unknown = args->Unknown(known); !unknown.empty()) {
        return LocalUsage("unknown option --" + unknown.front());
    }
    auto parent = args->GetNumber("parent", 0);
    if (!parent || *parent < INT32_MIN || *parent > INT32_MAX) {
        return LocalUsage("--parent needs a group number");
    }
    std::filesystem::path folder =
        args->Has("data-dir") ? std::filesystem::path(args->Get("data-dir")) : DataFolder();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    SessionLists lists(folder / LocalDeviceStore::kFileName);
    LocalStoreLoadReport report = lists.LoadLocal();
    if (report.truncated) {
        std::fprintf(stderr, "orbisight-cli: %s holds %d of the %d records it announces\n",
                     lists.LocalFile().c_str(), report.read, report.announced);
    }

    if (command == "list") {
        nlohmann::json out = nlohmann::json::array();
        for (const DeviceInfo& r : lists.Snapshot(DeviceListKind::kLocal)) {
            out.push_back(Describe(r));
        }
        std::printf("%s\n", out.dump(2).c_str());
        return kExitOk;
    }
    if (command == "add") {
        if (args->Has("group") == args->Has("id")) {
            return LocalUsage("add needs either --id or --group");
        }
        if (args->Has("group")) {
            std::string name = args->Get("group");
            if (name.empty() || lists.AddLocalGroup(name, static_cast<int32_t>(*parent)) != 0) {
                std::fprintf(stderr, "orbisight-cli: Add group failed!\n");
                return kExitUsage;
            }
        } else {
            std::string id = args->Get("id");
            if (id.empty()) {
                return LocalUsage("--id needs a device ID");
            }
            lists.AddLocalDevice(id, args->Get("host"), args->Get("name"), args->Get("password"),
                                 static_cast<int32_t>(*parent));
        }
        if (!lists.SaveLocal()) {
            std::fprintf(stderr, "orbisight-cli: cannot write %s\n", lists.LocalFile().c_str());
            return kExitUsage;
        }
        std::printf("%s\n", nlohmann::json{{"saved", lists.LocalFile().string()},
                                           {"entries", lists.Size(DeviceListKind::kLocal)}}
                                .dump()
                                .c_str());
        return kExitOk;
    }
    if (command == "remove") {
        LocalEntryRef ref;
        if (args->Has("id")) {
            ref.id = args->Get("id");
        } else if (args->Has("group")) {
            auto number = args->GetNumber("group", 0);
            if (!number) {
                return LocalUsage("--group needs a group number for remove");
            }
            ref.isGroup = true;
            ref.groupNumber = static_cast<int32_t>(*number);
        } else {
            return LocalUsage("remove needs --id or --group");
        }
        if (lists.DeleteLocalEntry(ref) != 1) {
            std::fprintf(stderr, "orbisight-cli: no such local entry\n");
            return kExitUsage;
        }
        std::printf("%s\n", nlohmann::json{{"removed", true},
                                           {"entries", lists.Size(DeviceListKind::kLocal)}}
                                .dump()
                                .c_str());
        return kExitOk;
    }
    return LocalUsage("unknown local command \"" + command + "\"");
}

}  // namespace orbisight::cli
