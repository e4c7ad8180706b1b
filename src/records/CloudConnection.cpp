#include "records/CloudConnection.h"

#include <cstdio>

#include "platform/Files.h"

namespace orbisight {

namespace {
std::string Format(const char* format, int value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}
}  // namespace

CloudConnection::CloudConnection(CloudStorageLibrary& library) : library_(library), use_(library) {}

CloudConnection::~CloudConnection() {
    Close();
}

void CloudConnection::Close() {
    if (handle_ != nullptr) {
        library_.Api().disconnect(handle_);
        library_.Api().destroy(handle_);
        handle_ = nullptr;
    }
}

bool CloudConnection::Open(const std::string& connectParam, const std::string& cameraId,
                           const Status& status) {
    const auto& api = library_.Api();
    Close();
    status(cloudtext::kConnecting);
    int rc = api.create(&handle_);
    if (rc != ORBCS_OK || handle_ == nullptr) {
        handle_ = nullptr;
        lastError_ = rc;
        status(cloudtext::kNetworkError);
        status(cloudtext::kConnectFailed);
        return false;
    }
    status(cloudtext::kConnectStep);
    rc = api.connect(handle_, connectParam.c_str(), kCloudUser, plovt, cameraId.c_str());
    if (rc != ORBCS_OK) {
        lastError_ = rc;
        status(cloudtext::kNetworkError);
        status(cloudtext::kConnectFailed);
        return false;
    }
    connectParam_ = connectParam;
    status(cloudtext::kConnected);
    return true;
}

bool CloudConnection::IsConnected() {
    return handle_ != nullptr && library_.Api().isConnect(handle_) != 0;
}

CloudConnection::QueryResult CloudConnection::Query(int64_t start, int64_t end,
                                                    const Status& status) {
    const auto& api = library_.Api();
    QueryResult result;
    std::string condition = TimeCondition(start, end);
    status(cloudtext::kQuerying);
    int count = -1;
    int rc = handle_ != nullptr ? api.queryCountVideo(handle_, condition.c_str(), &count)
                                : ORBCS_E_NOT_CONNECTED;
    if (rc != ORBCS_OK) {
        count = -1;
    }
    result.count = count;
    status(Format(cloudtext::kFoundCount, count));
    if (count < 0) {
        lastError_ = rc;
        result.error = CloudStorageLibrary::ErrorText(rc);
        status(cloudtext::kCountFailed);
        return result;
    }
    if (count == 0) {
        status(Format(cloudtext::kNoneFound, 0));
        result.ok = true;
        return result;
    }
    int found = 0;
    char* data = nullptr;
    int length = 0;
    rc = api.queryDataVideo(handle_, condition.c_str(), kVideoFields, 0, count, &found, &data,
                            &length);
    if (rc != ORBCS_OK) {
        lastError_ = rc;
        result.error = CloudStorageLibrary::ErrorText(rc);
        status(cloudtext::kQueryFailed);
        return result;
    }
    status(Format(cloudtext::kFoundRecords, found));
    if (found != 0 && data != nullptr && length > 0) {
        result.videos = ParseVideoList(data, static_cast<size_t>(length));
    }
    if (data != nullptr) {
        api.releaseData(handle_, data);
    }
    result.ok = true;
    return result;
}

bool CloudConnection::Download(const VideoInfo& video, const std::filesystem::path& local,
                               const Status& status, std::string& error) {
    const auto& api = library_.Api();
    auto fail = [&](const char* text, const std::string& why) {
        error = why;
        status(std::string(text) + " (" + why + ")");
        return false;
    };
    status(cloudtext::kDownloading);
    if (handle_ == nullptr) {
        return fail(cloudtext::kInfoFailed, CloudStorageLibrary::ErrorText(ORBCS_E_NOT_CONNECTED));
    }
    int info1 = 0;
    int info2 = 0;
    int info3 = 0;
    int rc =
        api.downloadInfoVideo(handle_, video.videoTime, video.videoType, &info1, &info2, &info3);
    if (rc != ORBCS_OK) {
        lastError_ = rc;
        return fail(cloudtext::kInfoFailed, CloudStorageLibrary::ErrorText(rc));
    }
    if (info1 != video.videoSize) {
        return fail(cloudtext::kDownloadFailed, "the server declares " + std::to_string(info1) +
                                                    " bytes, the list says " +
                                                    std::to_string(video.videoSize));
    }
    int unused = 0;
    char* data = nullptr;
    int length = 0;
    rc = api.downloadDataVideo(handle_, info3, video.videoTime, video.videoType, 0, info1, &unused,
                               &data, &length);
    if (rc != ORBCS_OK || data == nullptr) {
        lastError_ = rc;
        if (data != nullptr) {
            api.releaseData(handle_, data);
        }
        return fail(cloudtext::kDownloadFailed,
                    CloudStorageLibrary::ErrorText(rc != ORBCS_OK ? rc : ORBCS_E_PROTOCOL));
    }
    if (length != video.videoSize) {
        api.releaseData(handle_, data);
        return fail(cloudtext::kDownloadFailed, "the server sent " + std::to_string(length) +
                                                    " bytes, the list says " +
                                                    std::to_string(video.videoSize));
    }
    std::string why;
    bool written = WriteFileAtomically(local, data, static_cast<size_t>(length), 0644, &why);
    api.releaseData(handle_, data);
    if (!written) {
        return fail(cloudtext::kDownloadFailed, why);
    }
    lastFile_ = local;
    status(cloudtext::kDownloadComplete);
    return true;
}

}  // namespace orbisight
