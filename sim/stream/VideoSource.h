#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/stream/ClipCache.h"
#include "sim/stream/H264Encoder.h"
#include "sim/stream/TestScene.h"

namespace orbisight::sim {

class SimStreamCamera;

// Where a connection's pictures come from: a pre-encoded looping clip
// (switched to another bit rate at a key frame once it is encoded), or, for
// a pan/tilt camera, pictures rendered and encoded live from the camera's
// current window over its scene.
class VideoSource {
  public:
    VideoSource(SimStreamCamera& camera, bool sub, int quality);
    ~VideoSource();

    // False while the first clip is still being encoded.
    bool Ready();
    // The next access unit, or null when none could be produced.
    const EncodedFrame* Next();
    // Asks for another bit rate (takes effect at the next key frame).
    void SetQuality(int quality);
    int Fps() const { return fps_; }

  private:
    SimStreamCamera& camera_;
    const bool sub_;
    const bool live_;
    int quality_;
    int fps_;
    long index_ = 0;

    // Clips.
    ClipFuture current_;
    ClipFuture pending_;
    std::shared_ptr<const VideoClip> clip_;
    size_t position_ = 0;

    // Live.
    std::unique_ptr<TestScene> scene_;
    std::unique_ptr<H264Encoder> encoder_;
    YuvPicture picture_;
    std::vector<EncodedFrame> encoded_;
    EncodedFrame liveFrame_;
    bool rebuild_ = true;
};

}  // namespace orbisight::sim
