#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/camera/SimCameraHooks.h"
#include "sim/stream/ClipCache.h"

namespace orbisight::sim {

class SimStreamCamera;
class VideoSource;

// The streaming side of one logged-in connection: answers the stream
// commands and live requests, and streams the camera's video (and sound on
// request) in real time from its own thread ("sim/stream").
class SimStreamSession : public SimMediaSession {
  public:
    SimStreamSession(SimStreamCamera& camera, SimConnection& connection);
    ~SimStreamSession() override;

    bool Handle(const CHalvexProtocolAX& message) override;
    void Stop() override;

  private:
    using Clock = std::chrono::steady_clock;

    // What the command thread asks of the streaming thread; protected by mutex_.
    struct Wanted {
        bool video = false;
        bool audio = false;
        bool sub = false;
        int quality = 1;
        uint64_t generation = 0;  // bumped by every picture stream start
        bool operator==(const Wanted&) const = default;
    };

    bool HandleCommand(const CHalvexProtocolAX& message);
    bool HandleRequest(const CHalvexProtocolAX& message);
    void Reply(int code, const char* name = nullptr, const char* value = nullptr);
    void Violation(const std::string& text);

    void Run();
    // Waits until `until` or a change of what is wanted; false when stopping.
    bool WaitUntil(Clock::time_point until, const Wanted& seen);
    uint32_t CameraTime(Clock::time_point due) const;
    bool SendData(const std::vector<uint8_t>& data);

    SimStreamCamera& camera_;
    SimConnection& connection_;

    std::mutex mutex_;
    std::condition_variable changed_;
    Wanted wanted_;          // protected by mutex_
    bool stopping_ = false;  // protected by mutex_

    // Streaming thread only.
    Clock::time_point start_;
    uint32_t timeBase_ = 0;
    int64_t clockOffsetMs_ = 0;
    std::vector<uint8_t> data_;
    std::vector<uint8_t> message_;

    std::thread thread_;
};

}  // namespace orbisight::sim
