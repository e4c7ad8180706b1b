#include "sim/stream/H264Encoder.h"

#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

namespace orbisight::sim {
namespace {

struct ContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

}  // namespace

struct H264Encoder::Context {
    std::unique_ptr<AVCodecContext, ContextDeleter> codec;
    std::unique_ptr<AVFrame, FrameDeleter> frame;
    std::unique_ptr<AVPacket, PacketDeleter> packet;
};

void QuietEncoderLogs() {
    static const bool quiet = [] {
        if (av_log_get_level() > AV_LOG_ERROR) {
            av_log_set_level(AV_LOG_ERROR);
        }
        return true;
    }();
    (void)quiet;
}

H264Encoder::H264Encoder(const H264Settings& settings) {
    QuietEncoderLogs();
    const AVCodec* encoder = avcodec_find_encoder_by_name("libx264");
    if (encoder == nullptr) {
        encoder = avcodec_find_encoder(AV_CODEC_ID_H264);
    }
    if (encoder == nullptr) {
        std::fprintf(stderr, "sim: no H.264 encoder in this FFmpeg\n");
        return;
    }
    auto context = std::make_unique<Context>();
    context->codec.reset(avcodec_alloc_context3(encoder));
    context->frame.reset(av_frame_alloc());
    context->packet.reset(av_packet_alloc());
    if (!context->codec || !context->frame || !context->packet) {
        return;
    }
    AVCodecContext* c = context->codec.get();
    c->width = settings.width & ~1;
    c->height = settings.height & ~1;
    c->time_base = AVRational{1, settings.fps};
    c->framerate = AVRational{settings.fps, 1};
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->gop_size = settings.gop;
    c->keyint_min = settings.gop;
    c->max_b_frames = 0;
    c->bit_rate = settings.bitRate;
    c->rc_max_rate = settings.bitRate;
    // One second of buffer: key frames stay far below the receiver's limit.
    c->rc_buffer_size = settings.bitRate;
    c->thread_count = 1;  // the same clip bytes on every run
    c->profile = FF_PROFILE_H264_MAIN;
    if (std::strcmp(encoder->name, "libx264") == 0) {
        av_opt_set(c->priv_data, "preset", settings.preset.c_str(), 0);
        if (settings.lowLatency) {
            av_opt_set(c->priv_data, "tune", "zerolatency", 0);
        }
        av_opt_set(c->priv_data, "x264-params", "scenecut=0:open-gop=0", 0);
    }
    if (avcodec_open2(c, encoder, nullptr) < 0) {
        std::fprintf(stderr, "sim: cannot open the H.264 encoder %s\n", encoder->name);
        return;
    }
    AVFrame* frame = context->frame.get();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = c->width;
    frame->height = c->height;
    if (av_frame_get_buffer(frame, 0) < 0) {
        return;
    }
    context_ = std::move(context);
}

H264Encoder::~H264Encoder() = default;

std::string H264Encoder::EncoderName() const {
    return context_ ? context_->codec->codec->name : "";
}

bool H264Encoder::Encode(const YuvPicture* picture, std::vector<EncodedFrame>& out) {
    if (!context_) {
        return false;
    }
    AVCodecContext* c = context_->codec.get();
    int sent;
    if (picture != nullptr) {
        AVFrame* frame = context_->frame.get();
        if (av_frame_make_writable(frame) < 0) {
            return false;
        }
        int chromaWidth = picture->ChromaWidth();
        for (int row = 0; row < c->height && row < picture->height; ++row) {
            std::memcpy(frame->data[0] + row * frame->linesize[0],
                        &picture->y[static_cast<size_t>(row) * static_cast<size_t>(picture->width)],
                        static_cast<size_t>(c->width));
        }
        for (int row = 0; row < c->height / 2 && row < picture->ChromaHeight(); ++row) {
            size_t at = static_cast<size_t>(row) * static_cast<size_t>(chromaWidth);
            std::memcpy(frame->data[1] + row * frame->linesize[1], &picture->u[at],
                        static_cast<size_t>(c->width / 2));
            std::memcpy(frame->data[2] + row * frame->linesize[2], &picture->v[at],
                        static_cast<size_t>(c->width / 2));
        }
        frame->pts = nextPts_++;
        sent = avcodec_send_frame(c, frame);
    } else {
        sent = avcodec_send_frame(c, nullptr);
    }
    if (sent < 0 && sent != AVERROR_EOF) {
        return false;
    }
    AVPacket* packet = context_->packet.get();
    while (avcodec_receive_packet(c, packet) >= 0) {
        EncodedFrame encoded;
        encoded.data.assign(packet->data, packet->data + packet->size);
        encoded.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
        out.push_back(std::move(encoded));
        av_packet_unref(packet);
    }
    return true;
}

}  // namespace orbisight::sim
