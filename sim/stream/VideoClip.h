#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "sim/stream/H264Encoder.h"

namespace orbisight::sim {

// What a looping video clip is made of; equal specs share one encoding.
struct VideoClipParams {
    std::string name;  // drawn into the picture
    int width = 1280;
    int height = 720;
    int fps = 25;
    int gop = 25;
    int bitRate = 2000000;
    int seconds = 4;
    // The cheapest preset that keeps what real camera streams use (CABAC,
    // the deblocking filter), so decoding them costs what a camera's does.
    std::string preset = "superfast";

    auto Key() const { return std::tie(name, width, height, fps, gop, bitRate, seconds, preset); }
    bool operator<(const VideoClipParams& other) const { return Key() < other.Key(); }
    bool operator==(const VideoClipParams& other) const { return Key() == other.Key(); }

    // Pictures in the loop: the length rounded up to whole GOPs.
    size_t FrameCount() const;
    // Every parameter the encoded bytes depend on, including the scene's
    // revision and the encoder library's version: the disk cache's key.
    std::string CacheKey() const;
};

struct VideoClip {
    VideoClipParams params;
    std::vector<EncodedFrame> frames;  // a whole number of GOPs; frame 0 is a key frame
    size_t largestFrame = 0;
    bool still = false;  // the stand-in loop shown while the real clip is encoded

    void Measure();
};

// Encodes a clip now, on the calling thread. An empty clip when the encoder
// is missing or cancel became true meanwhile.
std::shared_ptr<const VideoClip> EncodeVideoClip(const VideoClipParams& params,
                                                 const std::atomic<bool>* cancel = nullptr);

// One GOP of a still picture (the scene with the camera's name and
// "starting"), at the params's size, rate and GOP: what a camera streams while
// its clip is being encoded. Cheap: the fastest preset, and every picture
// after the first is a copy of it.
std::shared_ptr<const VideoClip> EncodeStillClip(const VideoClipParams& params);

}  // namespace orbisight::sim
