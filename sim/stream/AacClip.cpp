#include "sim/stream/AacClip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "media/AdtsHeader.h"
#include "sim/stream/FfmpegEncoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace orbisight::sim {

AacClip EncodeToneClip(int seconds) {
    AacClip clip;
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (codec == nullptr) {
        std::fprintf(stderr, "sim: no AAC encoder in this FFmpeg\n");
        return clip;
    }
    FfmpegEncoder encoder(codec, [](AVCodecContext& c) {
        c.sample_fmt = AV_SAMPLE_FMT_FLTP;
        c.sample_rate = AacClip::kSampleRate;
        av_channel_layout_default(&c.ch_layout, 1);
        c.bit_rate = 16000;
        c.profile = FF_PROFILE_AAC_LOW;
    });
    if (!encoder.Ok()) {
        return clip;
    }
    auto collect = [&clip](const AVPacket& packet) {
        std::vector<uint8_t> frame(7 + static_cast<size_t>(packet.size));
        WriteAdtsHeader(frame.data(), static_cast<size_t>(packet.size),
                        AdtsRateIndex(AacClip::kSampleRate), 1);
        std::copy(packet.data, packet.data + packet.size, frame.begin() + 7);
        clip.frames.push_back(std::move(frame));
    };
    // Whole frames of whole tone periods: the loop has no gap and no jump.
    int total = (seconds * AacClip::kSampleRate + AacClip::kSamplesPerFrame - 1) /
                AacClip::kSamplesPerFrame * AacClip::kSamplesPerFrame;
    int64_t sample = 0;
    while (sample < total) {
        AVFrame* frame = encoder.WritableFrame();
        if (frame == nullptr) {
            break;
        }
        auto* data = reinterpret_cast<float*>(frame->data[0]);
        for (int i = 0; i < frame->nb_samples; ++i, ++sample) {
            double t = static_cast<double>(sample) / AacClip::kSampleRate;
            data[i] = static_cast<float>(0.3 * std::sin(2 * M_PI * kToneHz * t));
        }
        frame->pts = sample - frame->nb_samples;
        if (!encoder.Encode(frame, collect)) {
            break;
        }
    }
    encoder.Encode(nullptr, collect);
    return clip;
}

}  // namespace orbisight::sim
