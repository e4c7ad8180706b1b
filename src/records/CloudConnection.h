#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "records/CloudRecords.h"
#include "records/CloudStorageLibrary.h"

namespace orbisight {

// The status texts of the cloud page, shown in this order as the steps run.
namespace cloudtext {
constexpr const char* kConnecting = "Connecting to Cloud Server...";
constexpr const char* kConnectStep = "Connect to Cloud Server..";
constexpr const char* kNetworkError = "NetWork error...";
constexpr const char* kConnectFailed =
    "Connnected to Cloud Server failed, please try it again later!";
constexpr const char* kConnected = "Connected to Cloud Server!";
constexpr const char* kQuerying = "Querying Video Info...";
constexpr const char* kFoundCount = "Find %d video record...";
constexpr const char* kQueryFailed = "Query Video Info Failed...";
constexpr const char* kFoundRecords = "Find %d video records...";
constexpr const char* kNoneFound = "%d video files found...";
constexpr const char* kCountFailed = "Query video info failed";
constexpr const char* kDownloading = "Downloading video file...";
constexpr const char* kInfoFailed = "Query video info file failed!";
constexpr const char* kDownloadFailed = "Download video file failed!";
constexpr const char* kDownloadComplete = "Download video file complete!";
constexpr const char* kBroken = "The video file is broken, stop to play it!";
constexpr const char* kBrokenTitle = "Tip";
}  // namespace cloudtext

// One connection object of the cloud page: a library handle, the connect
// text of the last successful connection and the last downloaded file.
// Every call blocks (up to the time-outs of the connect text): run it on a
// worker, never on the window thread. Not for use by two threads at once.
class CloudConnection {
  public:
    using Status = std::function<void(const std::string&)>;

    explicit CloudConnection(CloudStorageLibrary& library);
    // Disconnects and destroys the handle.
    ~CloudConnection();
    CloudConnection(const CloudConnection&) = delete;
    CloudConnection& operator=(const CloudConnection&) = delete;

    // Creates the handle and connects as the camera. Statuses:
    // "Connecting to Cloud Server...", "Connect to Cloud Server..", then
    // "Connected to Cloud Server!" or "NetWork error..." and the failure
    // text.
    bool Open(const std::string& connectParam, const std::string& cameraId, const Status& status);
    bool IsConnected();

    struct QueryResult {
        bool ok = false;
        int count = 0;  // what the count step said (-1 when it failed)
        std::vector<VideoInfo> videos;
        std::string error;  // why, when !ok
    };
    // The recordings whose start lies in [start, end].
    QueryResult Query(int64_t start, int64_t end, const Status& status);

    // Downloads the recording and writes it to `local` atomically. The
    // declared size and the data's length must both equal the listed size;
    // any failure leaves no file and says why in `error` (the status shows
    // the failure text followed by it).
    bool Download(const VideoInfo& video, const std::filesystem::path& local, const Status& status,
                  std::string& error);

    const std::string& ConnectParam() const { return connectParam_; }
    const std::filesystem::path& LastFile() const { return lastFile_; }
    int LastError() const { return lastError_; }

  private:
    void Close();

    CloudStorageLibrary& library_;
    CloudStorageLibrary::Use use_;
    ORBCS_HANDLE handle_ = nullptr;
    std::string connectParam_;
    std::filesystem::path lastFile_;
    int lastError_ = 0;
};

}  // namespace orbisight
