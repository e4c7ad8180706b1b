#include "sim/stream/AacClip.h"

#include "sim/stream/H264Encoder.h"

#include <cmath>
#include <cstdio>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
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

void Collect(AVCodecContext* c, AVPacket* packet, AacClip& clip) {
    while (avcodec_receive_packet(c, packet) >= 0) {
        std::vector<uint8_t> frame(7 + static_cast<size_t>(packet->size));
        WriteAdtsHeader(frame.data(), static_cast<size_t>(packet->size), 11, 1);
        std::copy(packet->data, packet->data + packet->size, frame.begin() + 7);
        clip.frames.push_back(std::move(frame));
        av_packet_unref(packet);
    }
}

}  // namespace

void WriteAdtsHeader(uint8_t* header, size_t payloadSize, int sampleRateIndex, int channels) {
    size_t length = payloadSize + 7;
    constexpr int kProfileLc = 1;  // object type 2 minus 1
    header[0] = 0xFF;
    header[1] = 0xF1;  // sync, MPEG-4, layer 0, no CRC
    header[2] = static_cast<uint8_t>((kProfileLc << 6) | ((sampleRateIndex & 0xF) << 2) |
                                     ((channels >> 2) & 1));
    header[3] = static_cast<uint8_t>(((channels & 3) << 6) | ((length >> 11) & 0x3));
    header[4] = static_cast<uint8_t>((length >> 3) & 0xFF);
    header[5] = static_cast<uint8_t>(((length & 7) << 5) | 0x1F);
    header[6] = 0xFC;  // buffer fullness 0x7FF (variable), one raw block
}

AacClip EncodeToneClip(int seconds) {
    QuietEncoderLogs();
    AacClip clip;
    const AVCodec* encoder = avcodec_find_encoder_by_name("aac");
    if (encoder == nullptr) {
        std::fprintf(stderr, "sim: no AAC encoder in this FFmpeg\n");
        return clip;
    }
    std::unique_ptr<AVCodecContext, ContextDeleter> context(avcodec_alloc_context3(encoder));
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (!context || !frame || !packet) {
        return clip;
    }
    AVCodecContext* c = context.get();
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = AacClip::kSampleRate;
    av_channel_layout_default(&c->ch_layout, 1);
    c->bit_rate = 16000;
    c->profile = FF_PROFILE_AAC_LOW;
    if (avcodec_open2(c, encoder, nullptr) < 0) {
        std::fprintf(stderr, "sim: cannot open the AAC encoder\n");
        return clip;
    }
    frame->format = c->sample_fmt;
    frame->nb_samples = c->frame_size > 0 ? c->frame_size : AacClip::kSamplesPerFrame;
    av_channel_layout_copy(&frame->ch_layout, &c->ch_layout);
    frame->sample_rate = c->sample_rate;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        return clip;
    }
    int total = seconds * AacClip::kSampleRate;
    int64_t sample = 0;
    while (sample < total) {
        if (av_frame_make_writable(frame.get()) < 0) {
            break;
        }
        auto* data = reinterpret_cast<float*>(frame->data[0]);
        for (int i = 0; i < frame->nb_samples; ++i, ++sample) {
            double t = static_cast<double>(sample) / AacClip::kSampleRate;
            // A voice-like warble: a wavering pitch with syllable-rate swells.
            double pitch = 220.0 + 60.0 * std::sin(2 * M_PI * 3.0 * t);
            double swell = 0.5 + 0.5 * std::sin(2 * M_PI * 2.5 * t);
            data[i] = static_cast<float>(0.3 * swell * std::sin(2 * M_PI * pitch * t));
        }
        frame->pts = sample - frame->nb_samples;
        if (avcodec_send_frame(c, frame.get()) < 0) {
            break;
        }
        Collect(c, packet.get(), clip);
    }
    avcodec_send_frame(c, nullptr);
    Collect(c, packet.get(), clip);
    return clip;
}

}  // namespace orbisight::sim
