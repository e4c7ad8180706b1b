#include "sim/stream/FfmpegEncoder.h"

#include <cstdio>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

namespace orbisight::sim {

void FfmpegEncoder::QuietLogs() {
    static const bool quiet = [] {
        if (av_log_get_level() > AV_LOG_ERROR) {
            av_log_set_level(AV_LOG_ERROR);
        }
        return true;
    }();
    (void)quiet;
}

FfmpegEncoder::FfmpegEncoder(const AVCodec* codec,
                             const std::function<void(AVCodecContext&)>& configure) {
    QuietLogs();
    if (codec == nullptr) {
        return;
    }
    context_.reset(avcodec_alloc_context3(codec));
    frame_ = ffmpeg::MakeFrame();
    packet_ = ffmpeg::MakePacket();
    if (!context_ || !frame_ || !packet_) {
        return;
    }
    AVCodecContext& c = *context_;
    configure(c);
    if (avcodec_open2(&c, codec, nullptr) < 0) {
        std::fprintf(stderr, "sim: cannot open the encoder %s\n", codec->name);
        return;
    }
    AVFrame& f = *frame_;
    if (codec->type == AVMEDIA_TYPE_VIDEO) {
        f.format = c.pix_fmt;
        f.width = c.width;
        f.height = c.height;
    } else {
        f.format = c.sample_fmt;
        f.nb_samples = c.frame_size > 0 ? c.frame_size : 1024;
        f.sample_rate = c.sample_rate;
        if (av_channel_layout_copy(&f.ch_layout, &c.ch_layout) < 0) {
            return;
        }
    }
    open_ = av_frame_get_buffer(&f, 0) >= 0;
}

std::string FfmpegEncoder::Name() const {
    return context_ && context_->codec ? context_->codec->name : "";
}

AVFrame* FfmpegEncoder::WritableFrame() {
    if (!open_ || av_frame_make_writable(frame_.get()) < 0) {
        return nullptr;
    }
    return frame_.get();
}

bool FfmpegEncoder::Encode(const AVFrame* frame, const std::function<void(const AVPacket&)>& take) {
    if (!open_) {
        return false;
    }
    int sent = avcodec_send_frame(context_.get(), frame);
    if (sent < 0 && sent != AVERROR_EOF) {
        return false;
    }
    AVPacket* packet = packet_.get();
    while (avcodec_receive_packet(context_.get(), packet) >= 0) {
        take(*packet);
        av_packet_unref(packet);
    }
    return true;
}

}  // namespace orbisight::sim
