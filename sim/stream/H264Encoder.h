#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/stream/TestScene.h"

namespace orbisight::sim {

class FfmpegEncoder;

// One encoded access unit (Annex B, with SPS and PPS before every key frame).
struct EncodedFrame {
    std::vector<uint8_t> data;
    bool key = false;
};

struct H264Settings {
    int width = 1280;
    int height = 720;
    int fps = 25;
    int gop = 25;
    int bitRate = 2000000;
    std::string preset = "superfast";
    // Live encoding: no look-ahead, each picture comes out at once.
    bool lowLatency = false;
};

// The H.264 encoder the simulator uses: "libx264" where Debian's FFmpeg has
// it, else any H.264 encoder it offers, else "".
std::string H264EncoderName();

// H.264 encoding with libavcodec. Key frames exactly every `gop` pictures, no
// B-frames (cameras send pictures in display order).
class H264Encoder {
  public:
    explicit H264Encoder(const H264Settings& settings);
    ~H264Encoder();
    H264Encoder(const H264Encoder&) = delete;
    H264Encoder& operator=(const H264Encoder&) = delete;

    bool Ok() const;
    std::string EncoderName() const;

    // Encodes one picture (null: flush) and appends what comes out.
    bool Encode(const YuvPicture* picture, std::vector<EncodedFrame>& out);

  private:
    std::unique_ptr<FfmpegEncoder> encoder_;
    int64_t nextPts_ = 0;
};

}  // namespace orbisight::sim
