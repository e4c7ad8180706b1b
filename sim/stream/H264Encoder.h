#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/stream/TestScene.h"

namespace orbisight::sim {

// Keeps the encoders' statistics out of the simulator's log (errors still
// show). Called by every encoder of the simulator.
void QuietEncoderLogs();

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
    std::string preset = "veryfast";
    // Live encoding: no look-ahead, each picture comes out at once.
    bool lowLatency = false;
};

// H.264 encoding with libavcodec (libx264 where Debian's FFmpeg has it, else
// any H.264 encoder it offers). Key frames exactly every `gop` pictures, no
// B-frames (cameras send pictures in display order).
class H264Encoder {
  public:
    explicit H264Encoder(const H264Settings& settings);
    ~H264Encoder();
    H264Encoder(const H264Encoder&) = delete;
    H264Encoder& operator=(const H264Encoder&) = delete;

    bool Ok() const { return context_ != nullptr; }
    std::string EncoderName() const;

    // Encodes one picture (null: flush) and appends what comes out.
    bool Encode(const YuvPicture* picture, std::vector<EncodedFrame>& out);

  private:
    struct Context;
    std::unique_ptr<Context> context_;
    int64_t nextPts_ = 0;
};

}  // namespace orbisight::sim
