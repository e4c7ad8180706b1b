#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "media/CQueueBuf.h"
#include "media/MediaFrame.h"
#include "media/PaneStreamPolicy.h"

namespace orbisight {

class AutoResetEvent;

// One pass of a live channel's video thread: pop a frame, apply the key-frame
// gate, decode (and draw), then rest as the pacing rule says.
//
// A frame of another connection than the last one decoded starts a new
// stream: it must be a key frame, the new-stream handler runs first (the
// channel flushes its decoder there, so no picture or reference of the old
// connection outlives it) and pacing starts afresh.
class LiveVideoStep {
  public:
    enum class Outcome { kIdle, kDropped, kSkipped, kDecoded };
    // Decodes and draws one frame; alarm is the frame's alarm marker.
    using Decode = std::function<void(const FrameBuffer& frame, bool alarm)>;
    // Waits up to ms; returns true when the channel is stopping.
    using Rest = std::function<bool(int ms)>;
    using NewStream = std::function<void()>;

    LiveVideoStep(CQueueBuf& queue, size_t bufferCapacity);

    Outcome RunOnce(const Decode& decode, const Rest& rest, const std::atomic<bool>& stopping);

    // Set before the video thread starts.
    void SetNewStreamHandler(NewStream handler) { newStream_ = std::move(handler); }

    void SetKeyFramesOnly(bool on) { keyFramesOnly_.store(on); }
    bool KeyFramesOnly() const { return keyFramesOnly_.load(); }
    // Any thread; takes effect with the next frame.
    void SetDecodeMode(DecodeMode mode) { mode_.store(mode); }
    DecodeMode Mode() const { return mode_.load(); }
    // Any thread: a picture is wanted although nobody sees the pane (a
    // snapshot): while set, "decode nothing" decodes key frames.
    void SetPictureWanted(bool wanted) { pictureWanted_.store(wanted); }
    // The first key frame has been decoded.
    bool Started() const { return started_.load(); }
    // Back to "waiting for the first key frame" (a new connection).
    void Reset();
    uint64_t GateDrops() const { return gateDrops_.load(std::memory_order_relaxed); }
    uint64_t OversizeDrops() const { return oversizeDrops_.load(std::memory_order_relaxed); }
    // Frames not decoded because of the decode mode (skipped while nobody
    // could see the pane, or waiting for the key frame to resume at, or
    // predicted pictures of a tiny pane).
    uint64_t PolicySkips() const { return policySkips_.load(std::memory_order_relaxed); }

  private:
    CQueueBuf& queue_;
    FrameBuffer buffer_;
    std::atomic<bool> keyFramesOnly_{false};
    std::atomic<bool> started_{false};
    std::atomic<bool> resetRequested_{false};
    std::atomic<DecodeMode> mode_{DecodeMode::kAll};
    std::atomic<bool> pictureWanted_{false};
    bool resumeAtKeyFrame_ = false;  // video thread only: decoding was skipped
    NewStream newStream_;
    bool firstFrame_ = true;          // video thread only
    uint32_t previousTimeStamp_ = 0;  // video thread only
    uint32_t connection_ = 0;         // video thread only: of the last frame decoded
    std::atomic<uint64_t> gateDrops_{0};
    std::atomic<uint64_t> oversizeDrops_{0};
    std::atomic<uint64_t> policySkips_{0};
};

}  // namespace orbisight
