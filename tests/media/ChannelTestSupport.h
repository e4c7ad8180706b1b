#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "account/DeviceInfo.h"
#include "media/FrameHeader.h"
#include "media/MediaHooks.h"
#include "platform/Notice.h"

namespace orbisight::test {

// Keeps the headers of the frames a channel hands its recorder (only the
// video frames' when asked).
class HeaderLog : public FrameRecorder {
  public:
    explicit HeaderLog(bool videoOnly = false) : videoOnly_(videoOnly) {}
    bool Start(const char*, const char*) override { return true; }
    void Stop() override {}
    void Write(const FrameHeader& header, const uint8_t*) override {
        if (videoOnly_ && header.mediaType != mediatype::kVideo) {
            return;
        }
        std::lock_guard lock(mutex_);
        headers_.push_back(header);
    }
    std::vector<FrameHeader> Headers() {
        std::lock_guard lock(mutex_);
        return headers_;
    }

  private:
    const bool videoOnly_;
    std::mutex mutex_;
    std::vector<FrameHeader> headers_;
};

// A camera record as the account session would hand it to a channel.
inline std::unique_ptr<DeviceInfo> CameraRecord(const std::string& url, bool local = false,
                                                const std::string& id = "ORBI00000001") {
    auto record = NewDeviceInfo();
    record->SetId(id);
    record->SetName("Front Door");
    record->SetUrl(url);
    record->SetUser("admin");
    record->SetPassword("admin");
    record->status = DeviceInfo::kStatusOnline;
    record->local = local ? 1 : 0;
    return record;
}

// A small, fast simulated camera: 320 x 180 main and 160 x 90 sub stream at
// 25 fps, a key frame every 5 pictures, with the simulator's `fault` if any.
inline nlohmann::json SmallCamera(nlohmann::json fault = nullptr) {
    nlohmann::json camera = {
        {"id", "ORBI00000001"},
        {"name", "Front Door"},
        {"user", "admin"},
        {"password", "admin"},
        {"stream",
         {{"main", {{"width", 320}, {"height", 180}, {"gop", 5}, {"bitrate", 300000}}},
          {"sub", {{"width", 160}, {"height", 90}, {"gop", 5}, {"bitrate", 100000}}},
          {"clip_seconds", 1},
          {"preset", "ultrafast"}}}};
    if (!fault.is_null()) {
        camera["stream"]["fault"] = fault;
    }
    return camera;
}

inline std::string Direct(int port) {
    return "ssp://127.0.0.1:" + std::to_string(port);
}

// Polls until the condition holds or timeoutMs passes.
inline bool Eventually(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

inline long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - since)
                                 .count());
}

// The channel's state notices, in order.
inline bool WaitState(NoticeQueue& queue, int expected, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        Notice notice;
        if (left <= 0 || !queue.WaitFor(notice::kCommand, notice, left)) {
            return false;
        }
        if (notice.wParam == notice::kChannelStateCommand && notice.lParam == expected) {
            return true;
        }
    }
}

}  // namespace orbisight::test
