#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orbisight {

// One cloud recording as the server lists it.
struct VideoInfo {
    int32_t videoTime = 0;    // start, seconds since 1970
    int32_t videoType = 0;    // 2 ".avi", 3 ".jpg", 4 ".mp4", 5 ".ts", else ".264"
    int32_t videoStatus = 0;  // 0 broken, anything else playable
    int32_t videoSize = 0;    // bytes

    bool operator==(const VideoInfo&) const = default;
};

// The cloud storage server's port; a camera's "cloud://" entry names only
// the host.
constexpr int kCloudServerPort = 5557;
// Used until a camera names its own server, unless "CloudServer" of
// "CameraClient.ini" says otherwise.
constexpr const char* kDefaultCloudServer = "127.0.0.1:5557";
constexpr int kCloudTimeoutSeconds = 60;

// User name and password of the cloud login.
constexpr const char* kCloudUser = "guest";
constexpr const char* plovt = "guest";

constexpr const char* kVideoFields = "video_time,video_type,video_status,video_size";

// ".264", ".avi", ".jpg", ".mp4" or ".ts".
const char* VideoExtension(int32_t type);

// The camera's cloud server "host:5557" from its address list: every entry
// holding "cloud://" gives the text after that prefix cut at its last ":"
// (the whole text when it has none) followed by ":5557"; the last such entry
// with a host wins. Empty when there is none.
std::string CloudServerFromAddressList(std::string_view addressList);

// "AddrRemote[=]<host:port>[|]TOConnect[=]60[|]TORW[=]60[|]".
std::string ConnectParamText(std::string_view server, int timeoutSeconds = kCloudTimeoutSeconds);
// The text for the camera: its cloud server, else defaultServer.
std::string ConnectParamForCamera(std::string_view addressList, std::string_view defaultServer);

// "video_time >= START and video_time <= END".
std::string TimeCondition(int64_t start, int64_t end);

// The "video" elements of the list the server returns; a missing or
// non-numeric child reads as 0. Text that is not XML gives no records (ok is
// then false).
std::vector<VideoInfo> ParseVideoList(const char* data, size_t length, bool* ok = nullptr);

// By time, then type, ascending.
void SortVideoList(std::vector<VideoInfo>& list);

// "%Y%m%d%H%M%S" of the local time followed by the type's extension.
std::string VideoRecordName(const VideoInfo& video);
// size / 1024 as "%.2f KB".
std::string VideoSizeText(int32_t size);

// Where a cloud recording is kept locally: the recording naming rule of the
// record folder, camera name and ID at the recording's local start time,
// with the type's extension.
std::filesystem::path LocalVideoPath(const std::string& recordFolder, std::string_view name,
                                     std::string_view id, const VideoInfo& video);

// True when path is a regular file of exactly `size` bytes.
bool LocalCopyComplete(const std::filesystem::path& path, int64_t size);

// Local midnight of a day plus seconds of the day, as seconds since 1970.
int64_t LocalTimeOf(int year, int month, int day, int secondsOfDay);

}  // namespace orbisight
