#include "media/AacEncoder.h"

#include "media/AdtsHeader.h"
#include "media/FfmpegHandles.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace orbisight {

struct AacEncoder::Context {
    ffmpeg::CodecContextPtr codec;
    ffmpeg::FramePtr frame = ffmpeg::MakeFrame();
    ffmpeg::PacketPtr packet = ffmpeg::MakePacket();
    int64_t pts = 0;
    std::vector<uint8_t> adts;
};

AacEncoder::AacEncoder(int sampleRate) : sampleRate_(sampleRate) {
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    int rateIndex = AdtsRateIndex(sampleRate);
    if (codec == nullptr || rateIndex < 0) {
        return;
    }
    auto context = std::make_unique<Context>();
    context->codec.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = context->codec.get();
    if (c == nullptr || !context->frame || !context->packet) {
        return;
    }
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = sampleRate;
    av_channel_layout_default(&c->ch_layout, 1);
    c->profile = FF_PROFILE_AAC_LOW;
    // Speech: 3 bits per sample is plenty (24 kbit/s at 8000 Hz).
    c->bit_rate = sampleRate * 3;
    av_opt_set_int(c->priv_data, "aac_tns", 1, 0);  // temporal noise shaping on
    if (avcodec_open2(c, codec, nullptr) < 0) {
        return;
    }
    AVFrame* f = context->frame.get();
    f->format = c->sample_fmt;
    f->sample_rate = sampleRate;
    f->nb_samples = c->frame_size;
    if (av_channel_layout_copy(&f->ch_layout, &c->ch_layout) < 0 || av_frame_get_buffer(f, 0) < 0) {
        return;
    }
    context_ = std::move(context);
}

AacEncoder::~AacEncoder() = default;

int AacEncoder::InputSamples() const {
    return context_ ? context_->codec->frame_size : 1024;
}

void AacEncoder::Encode(const int16_t* samples, size_t count, const FrameHandler& onFrame) {
    if (!context_) {
        return;
    }
    size_t chunk = static_cast<size_t>(InputSamples());
    for (size_t i = 0; i < count; ++i) {
        pending_.push_back(samples[i]);
        if (pending_.size() == chunk) {
            Send(false, onFrame);
        }
    }
}

void AacEncoder::Finish(const FrameHandler& onFrame) {
    if (!context_) {
        return;
    }
    if (!pending_.empty()) {
        Send(false, onFrame);
    }
    Send(true, onFrame);
}

void AacEncoder::Send(bool last, const FrameHandler& onFrame) {
    Context& c = *context_;
    int sent;
    if (last) {
        sent = avcodec_send_frame(c.codec.get(), nullptr);
    } else {
        AVFrame* f = c.frame.get();
        if (av_frame_make_writable(f) < 0) {
            pending_.clear();
            return;
        }
        f->nb_samples = static_cast<int>(pending_.size());  // only the last may be short
        auto* data = reinterpret_cast<float*>(f->data[0]);
        for (size_t i = 0; i < pending_.size(); ++i) {
            data[i] = static_cast<float>(pending_[i]) / 32768.0f;
        }
        f->pts = c.pts;
        c.pts += f->nb_samples;
        pending_.clear();
        sent = avcodec_send_frame(c.codec.get(), f);
    }
    if (sent < 0) {
        return;
    }
    int rateIndex = AdtsRateIndex(sampleRate_);
    while (avcodec_receive_packet(c.codec.get(), c.packet.get()) == 0) {
        size_t size = static_cast<size_t>(c.packet->size);
        c.adts.resize(kAdtsHeaderSize + size);
        WriteAdtsHeader(c.adts.data(), size, rateIndex, 1);
        std::copy(c.packet->data, c.packet->data + size, c.adts.begin() + kAdtsHeaderSize);
        av_packet_unref(c.packet.get());
        onFrame(c.adts.data(), c.adts.size());
    }
}

}  // namespace orbisight
