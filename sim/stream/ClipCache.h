#pragma once

#include <cstddef>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "sim/stream/AacClip.h"
#include "sim/stream/H264Encoder.h"

namespace orbisight::sim {

// What a looping video clip is made of; equal specs share one encoding.
struct VideoClipSpec {
    std::string name;  // drawn into the picture
    int width = 1280;
    int height = 720;
    int fps = 25;
    int gop = 25;
    int bitRate = 2000000;
    int seconds = 4;
    std::string preset = "veryfast";

    auto Key() const { return std::tie(name, width, height, fps, gop, bitRate, seconds, preset); }
    bool operator<(const VideoClipSpec& other) const { return Key() < other.Key(); }
};

struct VideoClip {
    VideoClipSpec spec;
    std::vector<EncodedFrame> frames;  // a whole number of GOPs; frame 0 is a key frame
    size_t largestFrame = 0;
};

using ClipFuture = std::shared_future<std::shared_ptr<const VideoClip>>;

// Encodes a clip now (on the calling thread).
std::shared_ptr<const VideoClip> EncodeVideoClip(const VideoClipSpec& spec);

// The clips of every simulated camera of the process, encoded once per spec,
// at most two at a time, in the background.
class ClipCache {
  public:
    static ClipCache& Instance();

    ClipFuture GetAsync(const VideoClipSpec& spec);
    std::shared_ptr<const VideoClip> Get(const VideoClipSpec& spec) { return GetAsync(spec).get(); }
    // The sound loop, shared by every camera.
    std::shared_ptr<const AacClip> Audio();

    // How many distinct clips were asked for (each encoded once).
    size_t Encodes() const;

  private:
    mutable std::mutex mutex_;
    std::map<VideoClipSpec, ClipFuture> clips_;  // protected by mutex_
    std::shared_ptr<const AacClip> audio_;       // protected by mutex_
};

}  // namespace orbisight::sim
