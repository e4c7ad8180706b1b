#include "sim/stream/AacClip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/stream/FfmpegEncoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace orbisight::sim {

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
        WriteAdtsHeader(frame.data(), static_cast<size_t>(packet.size), 11, 1);
        std::copy(packet.data, packet.data + packet.size, frame.begin() + 7);
        clip.frames.push_back(std::move(frame));
    };
    int total = seconds * AacClip::kSampleRate;
    int64_t sample = 0;
    while (sample < total) {
        AVFrame* frame = encoder.WritableFrame();
        if (frame == nullptr) {
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
        if (!encoder.Encode(frame, collect)) {
            break;
        }
    }
    encoder.Encode(nullptr, collect);
    return clip;
}

}  // namespace orbisight::sim
