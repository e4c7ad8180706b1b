#include "sim/stream/H264Encoder.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "sim/stream/FfmpegEncoder.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace orbisight::sim {
namespace {

const AVCodec* FindH264Encoder() {
    const AVCodec* encoder = avcodec_find_encoder_by_name("libx264");
    return encoder != nullptr ? encoder : avcodec_find_encoder(AV_CODEC_ID_H264);
}

}  // namespace

std::string H264EncoderName() {
    const AVCodec* encoder = FindH264Encoder();
    return encoder != nullptr ? encoder->name : "";
}

H264Encoder::H264Encoder(const H264Settings& settings) {
    const AVCodec* codec = FindH264Encoder();
    if (codec == nullptr) {
        std::fprintf(stderr, "sim: no H.264 encoder in this FFmpeg\n");
        return;
    }
    encoder_ = std::make_unique<FfmpegEncoder>(codec, [&](AVCodecContext& c) {
        c.width = settings.width & ~1;
        c.height = settings.height & ~1;
        c.time_base = AVRational{1, settings.fps};
        c.framerate = AVRational{settings.fps, 1};
        c.pix_fmt = AV_PIX_FMT_YUV420P;
        c.gop_size = settings.gop;
        c.keyint_min = settings.gop;
        c.max_b_frames = 0;
        c.bit_rate = settings.bitRate;
        c.rc_max_rate = settings.bitRate;
        // One second of buffer: key frames stay far below the receiver's limit.
        c.rc_buffer_size = settings.bitRate;
        c.thread_count = 1;  // the same clip bytes on every run
        c.profile = FF_PROFILE_H264_MAIN;
        if (std::strcmp(codec->name, "libx264") == 0) {
            av_opt_set(c.priv_data, "preset", settings.preset.c_str(), 0);
            if (settings.lowLatency) {
                av_opt_set(c.priv_data, "tune", "zerolatency", 0);
            }
            av_opt_set(c.priv_data, "x264-params", "scenecut=0:open-gop=0", 0);
        }
    });
}

H264Encoder::~H264Encoder() = default;

bool H264Encoder::Ok() const {
    return encoder_ && encoder_->Ok();
}

std::string H264Encoder::EncoderName() const {
    return encoder_ ? encoder_->Name() : "";
}

bool H264Encoder::Encode(const YuvPicture* picture, std::vector<EncodedFrame>& out) {
    if (!Ok()) {
        return false;
    }
    auto collect = [&out](const AVPacket& packet) {
        EncodedFrame encoded;
        encoded.data.assign(packet.data, packet.data + packet.size);
        encoded.key = (packet.flags & AV_PKT_FLAG_KEY) != 0;
        out.push_back(std::move(encoded));
    };
    if (picture == nullptr) {
        return encoder_->Encode(nullptr, collect);
    }
    AVFrame* frame = encoder_->WritableFrame();
    if (frame == nullptr) {
        return false;
    }
    const int width = frame->width;
    const int height = frame->height;
    int chromaWidth = picture->ChromaWidth();
    for (int row = 0; row < height && row < picture->height; ++row) {
        std::memcpy(frame->data[0] + row * frame->linesize[0],
                    &picture->y[static_cast<size_t>(row) * static_cast<size_t>(picture->width)],
                    static_cast<size_t>(width));
    }
    for (int row = 0; row < height / 2 && row < picture->ChromaHeight(); ++row) {
        size_t at = static_cast<size_t>(row) * static_cast<size_t>(chromaWidth);
        std::memcpy(frame->data[1] + row * frame->linesize[1], &picture->u[at],
                    static_cast<size_t>(width / 2));
        std::memcpy(frame->data[2] + row * frame->linesize[2], &picture->v[at],
                    static_cast<size_t>(width / 2));
    }
    frame->pts = nextPts_++;
    return encoder_->Encode(frame, collect);
}

}  // namespace orbisight::sim
