// The cloud storage commands of orbisight-cli: cloud-list and cloud-get,
// through the cloud-storage client library loaded as the program loads it.

#include <cstdio>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/CliArgs.h"
#include "records/CloudConnection.h"
#include "records/CloudRecords.h"
#include "records/CloudStorageLibrary.h"

namespace orbisight::cli {
namespace {

int Fail(int code, const std::string& what) {
    std::fprintf(stderr, "orbisight-cli: %s\n", what.c_str());
    return code;
}

// "HHMMSS" as seconds of the day; -1 when malformed.
int SecondsOfDay(const std::string& text) {
    if (!IsDigits(text, 6)) {
        return -1;
    }
    int h = std::stoi(text.substr(0, 2));
    int m = std::stoi(text.substr(2, 2));
    int s = std::stoi(text.substr(4, 2));
    if (h > 23 || m > 59 || s > 59) {
        return -1;
    }
    return h * 3600 + m * 60 + s;
}

// A day "YYYYMMDD": false when malformed or not a calendar day.
bool ParseDay(const std::string& text, int& year, int& month, int& day) {
    if (!IsDigits(text, 8)) {
        return false;
    }
    year = std::stoi(text.substr(0, 4));
    month = std::stoi(text.substr(4, 2));
    day = std::stoi(text.substr(6, 2));
    if (year < 1970 || year > 2037 || month < 1 || month > 12 || day < 1) {
        return false;
    }
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int last = month == 2 && !leap ? 28 : kDays[month - 1];
    return day <= last;
}

// "host:port" with a port of 1..65535.
bool ValidServer(const std::string& server) {
    size_t colon = server.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    std::string port = server.substr(colon + 1);
    if (port.empty() || port.size() > 5 || !IsDigits(port, port.size())) {
        return false;
    }
    int value = std::stoi(port);
    return value >= 1 && value <= 65535;
}

struct Request {
    std::string id;
    std::string server;
    int timeout = kCloudTimeoutSeconds;
    int64_t start = 0;
    int64_t end = 0;
};

// The options both commands share. Returns 0 or the exit code.
int ParseRequest(const CliArgs& args, const std::string& dateText, int from, int to,
                 Request& request) {
    request.id = args.Get("id");
    if (request.id.empty() || request.id.size() > 127) {
        return Fail(kExitUsage, "--id ID is required (at most 127 characters)");
    }
    int year = 0;
    int month = 0;
    int day = 0;
    if (!ParseDay(dateText, year, month, day)) {
        return Fail(kExitUsage, "the date must be a day YYYYMMDD (1970..2037)");
    }
    request.server = args.Get("server", kDefaultCloudServer);
    if (args.Has("address")) {
        // A camera's address list: its "cloud://" entry names the server.
        std::string fromList = CloudServerFromAddressList(args.Get("address"));
        if (!fromList.empty()) {
            request.server = fromList;
        }
    }
    if (!ValidServer(request.server)) {
        return Fail(kExitUsage, "--server must be HOST:PORT with a port of 1..65535");
    }
    auto timeout = args.GetNumber("timeout", kCloudTimeoutSeconds);
    if (!timeout || *timeout < 1 || *timeout > 3600) {
        return Fail(kExitUsage, "--timeout must be 1..3600 seconds");
    }
    request.timeout = static_cast<int>(*timeout);
    request.start = LocalTimeOf(year, month, day, from);
    request.end = LocalTimeOf(year, month, day, to);
    return 0;
}

void PrintStatus(const std::string& text) {
    std::fprintf(stderr, "cloud: %s\n", text.c_str());
}

nlohmann::json VideoJson(const VideoInfo& v) {
    return {{"name", VideoRecordName(v)},
            {"time", v.videoTime},
            {"type", v.videoType},
            {"status", v.videoStatus},
            {"size", v.videoSize}};
}

}  // namespace

int RunCloud(const std::string& command, const std::vector<std::string>& words) {
    std::string error;
    auto args = CliArgs::Parse(words, {"quiet"}, error);
    if (!args) {
        return Fail(kExitUsage, error);
    }
    bool get = command == "cloud-get";
    std::set<std::string> known = {"id", "server", "address", "timeout", "quiet"};
    if (get) {
        known.insert({"name", "out"});
    } else {
        known.insert({"date", "from", "to"});
    }
    if (auto unknown = args->Unknown(known); !unknown.empty()) {
        return Fail(kExitUsage, "unknown option --" + unknown.front());
    }
    if (!args->Positional().empty()) {
        return Fail(kExitUsage, "unexpected \"" + args->Positional().front() + "\"");
    }

    std::string dateText;
    int from = 0;
    int to = 86399;
    std::string name;
    if (get) {
        // NAME as cloud-list prints it: YYYYMMDDhhmmss and the extension.
        name = args->Get("name");
        if (name.size() < 15 || !IsDigits(name.substr(0, 14), 14) || name[14] != '.' ||
            name.find('/') != std::string::npos) {
            return Fail(kExitUsage, "--name must be a record name as cloud-list prints it");
        }
        if (!args->Has("out")) {
            return Fail(kExitUsage, "--out DIR is required");
        }
        dateText = name.substr(0, 8);
        from = to = SecondsOfDay(name.substr(8, 6));
        if (from < 0) {
            return Fail(kExitUsage, "--name holds no valid time of day");
        }
    } else {
        dateText = args->Get("date");
        if (args->Has("from") || args->Has("to")) {
            from = SecondsOfDay(args->Get("from", "000000"));
            to = SecondsOfDay(args->Get("to", "235959"));
            if (from < 0 || to < 0) {
                return Fail(kExitUsage, "--from and --to must be times HHMMSS");
            }
        }
    }
    Request request;
    if (int code = ParseRequest(*args, dateText, from, to, request); code != 0) {
        return code;
    }

    auto library = CloudStorageLibrary::LoadAndInit(error);
    if (!library) {
        return Fail(kExitUnavailable, "cloud storage is unavailable: " + error);
    }
    bool quiet = args->Has("quiet");
    CloudConnection::Status status = [quiet](const std::string& text) {
        if (!quiet) {
            PrintStatus(text);
        }
    };
    int code = kExitOk;
    {
        CloudConnection connection(*library);
        if (!connection.Open(ConnectParamText(request.server, request.timeout), request.id,
                             status)) {
            return Fail(kExitNoConnection,
                        "cannot connect to the cloud server " + request.server + ": " +
                            CloudStorageLibrary::ErrorText(connection.LastError()));
        }
        auto result = connection.Query(request.start, request.end, status);
        if (!result.ok) {
            return Fail(kExitFailed, "the query failed: " + result.error);
        }
        SortVideoList(result.videos);
        if (!get) {
            for (const auto& video : result.videos) {
                std::printf("%s\n", VideoJson(video).dump().c_str());
            }
            return kExitOk;
        }
        const VideoInfo* chosen = nullptr;
        for (const auto& video : result.videos) {
            if (VideoRecordName(video) == name) {
                chosen = &video;
            }
        }
        if (chosen == nullptr) {
            return Fail(kExitFailed, "no recording \"" + name + "\" on the server");
        }
        std::filesystem::path path = std::filesystem::path(args->Get("out")) / name;
        if (!connection.Download(*chosen, path, status, error)) {
            code = Fail(kExitFailed, "the download failed: " + error);
        } else {
            nlohmann::json line = {{"path", path.string()}, {"size", chosen->videoSize}};
            std::printf("%s\n", line.dump().c_str());
        }
    }
    return code;
}

}  // namespace orbisight::cli
