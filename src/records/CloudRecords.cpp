#include "records/CloudRecords.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "media/RecordNames.h"

namespace orbisight {

const char* VideoExtension(int32_t type) {
    switch (type) {
        case 2:
            return ".avi";
        case 3:
            return ".jpg";
        case 4:
            return ".mp4";
        case 5:
            return ".ts";
        default:
            return ".264";
    }
}

std::string CloudServerFromAddressList(std::string_view addressList) {
    constexpr std::string_view kPrefix = "cloud://";
    std::string server;
    size_t start = 0;
    while (start <= addressList.size()) {
        size_t end = addressList.find(';', start);
        if (end == std::string_view::npos) {
            end = addressList.size();
        }
        std::string_view entry = addressList.substr(start, end - start);
        start = end + 1;
        size_t at = entry.find(kPrefix);
        if (at == std::string_view::npos) {
            continue;
        }
        std::string_view rest = entry.substr(at + kPrefix.size());
        size_t colon = rest.rfind(':');
        std::string_view host = colon == std::string_view::npos ? rest : rest.substr(0, colon);
        while (!host.empty() && (host.back() == ' ' || host.back() == '\t')) {
            host.remove_suffix(1);
        }
        if (host.empty()) {
            continue;
        }
        server = std::string(host) + ":" + std::to_string(kCloudServerPort);
    }
    return server;
}

std::string ConnectParamText(std::string_view server, int timeoutSeconds) {
    char text[512];
    std::snprintf(text, sizeof text, "AddrRemote[=]%.*s[|]TOConnect[=]%d[|]TORW[=]%d[|]",
                  static_cast<int>(std::min<size_t>(server.size(), 400)), server.data(),
                  timeoutSeconds, timeoutSeconds);
    return text;
}

std::string ConnectParamForCamera(std::string_view addressList, std::string_view defaultServer) {
    std::string server = CloudServerFromAddressList(addressList);
    return ConnectParamText(server.empty() ? defaultServer : std::string_view(server));
}

std::string TimeCondition(int64_t start, int64_t end) {
    char text[96];
    std::snprintf(text, sizeof text, "video_time >= %d and video_time <= %d",
                  static_cast<int>(start), static_cast<int>(end));
    return text;
}

namespace {
int32_t ChildNumber(const tinyxml2::XMLElement* video, const char* name) {
    const tinyxml2::XMLElement* child = video->FirstChildElement(name);
    if (child == nullptr || child->GetText() == nullptr) {
        return 0;
    }
    // Decimal, like atoi: leading digits count, anything else reads as 0.
    long long value = std::strtoll(child->GetText(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}
}  // namespace

std::vector<VideoInfo> ParseVideoList(const char* data, size_t length, bool* ok) {
    std::vector<VideoInfo> list;
    tinyxml2::XMLDocument doc;
    bool parsed = data != nullptr && doc.Parse(data, length) == tinyxml2::XML_SUCCESS;
    if (ok != nullptr) {
        *ok = parsed;
    }
    if (!parsed) {
        return list;
    }
    // The "video" elements at the top level or one level down (inside the
    // list's root element).
    auto collect = [&list](const tinyxml2::XMLNode* parent) {
        for (const tinyxml2::XMLElement* video = parent->FirstChildElement("video");
             video != nullptr; video = video->NextSiblingElement("video")) {
            VideoInfo info;
            info.videoTime = ChildNumber(video, "video_time");
            info.videoType = ChildNumber(video, "video_type");
            info.videoStatus = ChildNumber(video, "video_status");
            info.videoSize = ChildNumber(video, "video_size");
            list.push_back(info);
        }
    };
    collect(&doc);
    for (const tinyxml2::XMLElement* root = doc.FirstChildElement(); root != nullptr;
         root = root->NextSiblingElement()) {
        if (std::strcmp(root->Name(), "video") != 0) {
            collect(root);
        }
    }
    return list;
}

void SortVideoList(std::vector<VideoInfo>& list) {
    std::stable_sort(list.begin(), list.end(), [](const VideoInfo& a, const VideoInfo& b) {
        return a.videoTime != b.videoTime ? a.videoTime < b.videoTime : a.videoType < b.videoType;
    });
}

std::string VideoRecordName(const VideoInfo& video) {
    std::time_t when = video.videoTime;
    std::tm local{};
    localtime_r(&when, &local);
    char text[64];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
    return std::string(text) + VideoExtension(video.videoType);
}

std::string VideoSizeText(int32_t size) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f KB", size / 1024.0);
    return text;
}

std::filesystem::path LocalVideoPath(const std::string& recordFolder, std::string_view name,
                                     std::string_view id, const VideoInfo& video) {
    RecordName record = BuildRecordName(recordFolder, name, id, LocalRecordTime(video.videoTime));
    return record.File(VideoExtension(video.videoType));
}

bool LocalCopyComplete(const std::filesystem::path& path, int64_t size) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
    auto actual = std::filesystem::file_size(path, ec);
    return !ec && static_cast<int64_t>(actual) == size;
}

int64_t LocalTimeOf(int year, int month, int day, int secondsOfDay) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = secondsOfDay / 3600;
    local.tm_min = secondsOfDay / 60 % 60;
    local.tm_sec = secondsOfDay % 60;
    local.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&local));
}

}  // namespace orbisight
