#pragma once

#include <functional>
#include <string>

#include "media/FfmpegHandles.h"

namespace orbisight::sim {

// What every encoder of the simulator shares: the codec context with one
// reusable frame and packet, opening with the caller's settings, and the
// send/drain loop. Encoders' statistics stay out of the simulator's log
// (errors still show).
class FfmpegEncoder {
  public:
    // Opens `codec` (null: not available) after `configure` has set the
    // context up. The frame gets the context's picture or sample layout.
    FfmpegEncoder(const AVCodec* codec, const std::function<void(AVCodecContext&)>& configure);
    FfmpegEncoder(const FfmpegEncoder&) = delete;
    FfmpegEncoder& operator=(const FfmpegEncoder&) = delete;

    bool Ok() const { return open_; }
    std::string Name() const;
    AVCodecContext& Context() { return *context_; }
    // The frame to fill; made writable here (the encoder may still hold the
    // previous one). Null when that fails.
    AVFrame* WritableFrame();

    // Sends the frame (null: end of stream, once) and hands every packet that
    // comes out to `take`. False when the encoder refused the frame.
    bool Encode(const AVFrame* frame, const std::function<void(const AVPacket&)>& take);

    // Lowers FFmpeg's log level to errors, once per process.
    static void QuietLogs();

  private:
    ffmpeg::CodecContextPtr context_;
    ffmpeg::FramePtr frame_;
    ffmpeg::PacketPtr packet_;
    bool open_ = false;
};

}  // namespace orbisight::sim
