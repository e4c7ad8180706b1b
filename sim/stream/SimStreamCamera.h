#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "sim/camera/SimCameraHooks.h"
#include "sim/stream/ClipCache.h"
#include "sim/stream/StreamConfig.h"

namespace orbisight::sim {

// The streaming side of one simulated camera, shared by its connections: the
// clips, the alarm marker, the motion-alert setting, the pan/tilt window and
// the current fault.
class SimStreamCamera : public SimCameraMedia {
  public:
    explicit SimStreamCamera(StreamConfig config);
    ~SimStreamCamera() override;

    std::unique_ptr<SimMediaSession> OpenSession(SimConnection& connection) override;
    void SetAlarm(bool on) override { alarm_.store(on); }
    bool SetStreamFault(const nlohmann::json& fault) override;
    // Queues the full-quality clips of both streams (not for live encoding).
    void Prefetch() override;

    const StreamConfig& Config() const { return config_; }
    bool Alarm() const { return alarm_.load(); }
    bool MotionAlert() const { return motionAlert_.load(); }
    void SetMotionAlert(bool on) { motionAlert_.store(on); }
    // The current fault and how often it was changed at run time.
    StreamFault Fault(uint64_t* generation = nullptr) const;

    // quality: 1 full bit rate, 3 half, anything else a quarter.
    const StreamProfile& Profile(bool sub) const { return sub ? config_.sub : config_.main; }
    VideoClipParams ClipParamsFor(bool sub, int quality) const;
    static int BitRateFor(const StreamProfile& profile, int quality);

    // Pan/tilt: the window's position over the scene as fractions 0..1.
    void PanTilt(int code);
    // Aims at a point of a picture of the given size.
    void AimAt(int x, int y, int width, int height);
    void WindowPosition(double& fx, double& fy) const;

    // Keeps one talk frame (ADTS) received from a client, when the
    // configuration names a talk folder. Any connection's thread.
    void SaveTalk(const uint8_t* frame, size_t size);
    // The talk file of this camera ("" without a talk folder).
    std::string TalkPath() const;

    // Counters over all connections.
    std::atomic<uint64_t> videoFramesSent{0};
    std::atomic<uint64_t> audioFramesSent{0};
    std::atomic<uint64_t> keyFramesSent{0};
    std::atomic<uint64_t> stillFramesSent{0};  // of videoFramesSent: the still stand-in
    std::atomic<uint64_t> talkFrames{0};
    std::atomic<uint64_t> violations{0};

  private:
    enum class Scan { kNone, kHorizontal, kVertical, kBoth };
    void SettleLocked(std::chrono::steady_clock::time_point now) const;

    const StreamConfig config_;
    std::atomic<bool> alarm_{false};
    std::atomic<bool> motionAlert_{false};
    mutable std::mutex mutex_;
    StreamFault fault_;             // protected by mutex_
    uint64_t faultGeneration_ = 0;  // protected by mutex_
    // Pan/tilt window; protected by mutex_ (settled lazily while scanning).
    mutable double fx_ = 0.5;
    mutable double fy_ = 0.5;
    mutable double dx_ = 0;
    mutable double dy_ = 0;
    Scan scan_ = Scan::kNone;
    mutable std::chrono::steady_clock::time_point settled_;
    std::mutex talkMutex_;
    std::FILE* talkFile_ = nullptr;  // protected by talkMutex_; opened at the first frame
    bool talkFailed_ = false;        // protected by talkMutex_
};

}  // namespace orbisight::sim
