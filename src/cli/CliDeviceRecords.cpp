// The record commands of orbisight-cli: the RF sensor list and the SD card.

#include <cstdio>
#include <filesystem>
#include <system_error>

#include <nlohmann/json.hpp>

#include "cli/CliDeviceCommands.h"
#include "device/RfList.h"
#include "device/SdFileList.h"

namespace orbisight::cli {
namespace {

nlohmann::json RfJson(const RfList& list, const std::string& text) {
    nlohmann::json devices = nlohmann::json::array();
    for (const auto& entry : list.Entries()) {
        nlohmann::json pairs = nlohmann::json::object();
        for (const auto& pair : entry.pairs) {
            pairs[pair.key] = pair.value;
        }
        devices.push_back({{"id", entry.id},
                           {"group", RfAccessoryTypeOf(entry.id).group},
                           {"name", entry.Name()},
                           {"enabled", entry.Enabled()},
                           {"pairs", pairs}});
    }
    return {{"devices", devices}, {"text", text}};
}

// Applies the edit options; false (with a message) for an unknown ID.
bool EditRfList(RfList& list, const CliArgs& args, bool& changed) {
    auto fail = [](const std::string& what) {
        std::fprintf(stderr, "orbisight-cli: %s\n", what.c_str());
        return false;
    };
    if (args.Has("clear")) {
        list.Clear();
        changed = true;
    }
    if (args.Has("delete")) {
        if (!list.Delete(args.Get("delete"))) {
            return fail("no RF device \"" + args.Get("delete") + "\"");
        }
        changed = true;
    }
    if (args.Has("name")) {
        std::string value = args.Get("name");
        size_t equals = value.find('=');
        if (equals == std::string::npos ||
            !list.SetPair(value.substr(0, equals), RfEntry::RfKeys::kName,
                          value.substr(equals + 1))) {
            return fail("--name needs ID=NAME of a listed device, without \";\" or \"####\"");
        }
        changed = true;
    }
    for (const char* option : {"enable", "disable"}) {
        if (args.Has(option)) {
            if (!list.SetPair(args.Get(option), RfEntry::RfKeys::kStatus,
                              std::string(option) == "enable" ? "on" : "off")) {
                return fail("no RF device \"" + args.Get(option) + "\"");
            }
            changed = true;
        }
    }
    return true;
}

}  // namespace

int RunRf(const CameraOptions& options, const CliArgs& args) {
    CliCameraSession session(options, CXOMPDeviceOper::kModeRfSensors);
    int result = session.Open();
    if (result != kExitOk) {
        return result;
    }
    Notice notice;
    result = session.Wait({notice::kRfList}, notice);
    if (result == kExitCameraRefused) {
        std::fprintf(stderr, "orbisight-cli: Don't have any rf devices!\n");
        return result;
    }
    if (result != kExitOk) {
        return result;
    }
    RfList list;
    list.Parse(notice.text);
    bool changed = false;
    if (!EditRfList(list, args, changed)) {
        return kExitUsage;
    }
    if (changed) {
        auto text = list.Build();
        if (!text) {
            std::fprintf(stderr, "orbisight-cli: the RF list would be longer than %zu bytes\n",
                         RfList::kMaxTextBytes);
            return kExitUsage;
        }
        if (!session.Channel().SetRfList(*text) || !session.Channel().RequestRfList()) {
            std::fprintf(stderr, "orbisight-cli: RF Device info has been setted failed!\n");
            return kExitNoConnection;
        }
        result = session.Wait({notice::kRfList}, notice);
        if (result == kExitCameraRefused) {
            std::fprintf(stderr, "orbisight-cli: the camera refused the RF list%s%s\n",
                         session.LastError().empty() ? "" : ": ", session.LastError().c_str());
        }
        if (result != kExitOk) {
            return result;
        }
        list.Parse(notice.text);
    }
    PrintJson(RfJson(list, notice.text));
    return kExitOk;
}

int RunSdList(const CameraOptions& options, const CliArgs& args) {
    std::string date = args.Get("date");
    std::string from = args.Get("from");
    std::string to = args.Get("to");
    if (!IsDigits(date, 8)) {
        std::fprintf(stderr, "orbisight-cli: sd-list needs --date YYYYMMDD\n");
        return kExitUsage;
    }
    if ((!from.empty() && !IsDigits(from, 6)) || (!to.empty() && !IsDigits(to, 6)) ||
        from.empty() != to.empty()) {
        std::fprintf(stderr, "orbisight-cli: --from and --to go together, each HHMMSS\n");
        return kExitUsage;
    }
    CliCameraSession session(options, CXOMPDeviceOper::kModeSdRecords);
    int result = session.Open();
    if (result != kExitOk) {
        return result;
    }
    if (!session.Channel().RequestSdFileList(date, from, to)) {
        std::fprintf(stderr, "orbisight-cli: the connection was lost\n");
        return kExitNoConnection;
    }
    Notice notice;
    result = session.Wait({notice::kSdFileList, notice::kSdType5}, notice);
    if (result == kExitCameraRefused) {
        std::fprintf(stderr, "orbisight-cli: the camera refused the SD list%s%s\n",
                     session.LastError().empty() ? "" : ": ", session.LastError().c_str());
    }
    if (result != kExitOk) {
        return result;
    }
    nlohmann::json files = nlohmann::json::array();
    for (const auto& item : session.Channel().FileList()) {
        // The same filter the SD page applies to what the camera sends.
        if (item.Name().empty() || !InSdTimeWindow(item.Name(), from, to)) {
            continue;
        }
        nlohmann::json entry = {{"name", item.Name()},
                                {"short_name", item.ShortName()},
                                {"size", item.value},
                                {"is_file", item.IsFile()}};
        if (auto parts = ParseRecordingName(item.Name())) {
            entry["time"] = parts->hour + ":" + parts->minute + ":" + parts->second;
        }
        files.push_back(entry);
    }
    PrintJson(nlohmann::json{{"date", date}, {"files", files}});
    return kExitOk;
}

int RunSdGet(const CameraOptions& options, const CliArgs& args) {
    std::string file = args.Get("file");
    std::string out = args.Get("out");
    if (file.empty() || out.empty()) {
        std::fprintf(stderr, "orbisight-cli: sd-get needs --file NAME --out DIR\n");
        return kExitUsage;
    }
    if (file == "." || file == ".." || file.find('/') != std::string::npos ||
        file.find('\\') != std::string::npos) {
        std::fprintf(stderr, "orbisight-cli: --file must be a recording name, not a path\n");
        return kExitUsage;
    }
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    std::filesystem::path path = std::filesystem::path(out) / file;

    CliCameraSession session(options, CXOMPDeviceOper::kModeSdRecords);
    int result = session.Open();
    if (result != kExitOk) {
        return result;
    }
    if (!session.Channel().BeginSdDownload(path, file)) {
        std::fprintf(stderr, "orbisight-cli: cannot write %s or reach the camera\n", path.c_str());
        return kExitNoConnection;
    }
    // A download may take longer than the time-out as long as it moves.
    uintmax_t lastSize = 0;
    auto moving = [&] {
        std::error_code sizeError;
        uintmax_t size = std::filesystem::file_size(path, sizeError);
        bool grew = !sizeError && size > lastSize;
        lastSize = sizeError ? lastSize : size;
        return grew;
    };
    Notice notice;
    result = session.Wait({notice::kSdDownloadDone}, notice, moving);
    if (result != kExitOk) {
        session.Channel().AbortSdDownload();
        std::filesystem::remove(path, ec);
        if (result == kExitCameraRefused) {
            std::fprintf(stderr, "orbisight-cli: the camera refused %s%s%s\n", file.c_str(),
                         session.LastError().empty() ? "" : ": ", session.LastError().c_str());
        }
        return result;
    }
    PrintJson(
        nlohmann::json{{"path", path.string()}, {"size", std::filesystem::file_size(path, ec)}});
    return kExitOk;
}

}  // namespace orbisight::cli
