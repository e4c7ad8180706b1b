#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/stream/ClipCache.h"
#include "sim/stream/H264Encoder.h"
#include "sim/stream/TestScene.h"

namespace orbisight::sim {

class SimStreamCamera;

// Where a connection's pictures come from: a pre-encoded looping clip, or,
// for a pan/tilt camera, pictures rendered and encoded live from the
// camera's current window over its scene.
//
// A clip that is not encoded yet is stood in for by a still picture at the
// same size, rate and GOP, as a camera that is still warming up would send:
// the client gets pictures at once and never waits into its receive
// time-out. The clip (or another bit rate's clip) takes over at a key frame,
// so the key frames keep their cadence.
class VideoSource {
  public:
    VideoSource(SimStreamCamera& camera, bool sub, int quality);
    ~VideoSource();

    // False only when there is nothing to send (no encoder).
    bool Ready();
    // The next access unit, or null when none could be produced.
    const EncodedFrame* Next();
    // Asks for another bit rate (takes effect at the next key frame).
    void SetQuality(int quality);
    int Fps() const { return fps_; }
    // The frames come from the still stand-in (the clip is not ready yet).
    bool PlayingStill() const { return clip_ && clip_->still; }

  private:
    SimStreamCamera& camera_;
    const bool sub_;
    const bool live_;
    int quality_;
    int fps_;
    long index_ = 0;

    // Clips: the one playing (or the still), and the one to switch to at the
    // next key frame.
    ClipFuture wanted_;
    std::shared_ptr<const VideoClip> clip_;
    size_t position_ = 0;

    // Live.
    std::shared_ptr<const TestScene> scene_;
    std::unique_ptr<H264Encoder> encoder_;
    YuvPicture picture_;
    std::vector<EncodedFrame> encoded_;
    EncodedFrame liveFrame_;
    bool rebuild_ = true;
};

}  // namespace orbisight::sim
