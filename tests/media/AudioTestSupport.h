#pragma once

// Sound helpers for the audio tests: tones, a temporary folder, tone
// detection and an independent AAC decoder (libavcodec) to check what our
// encoder produced.

#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/AacEncoder.h"
#include "media/AudioDevice.h"
#include "media/WavFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace orbisight::test {

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/orbisight-audio-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline std::vector<int16_t> Tone(double hz, int rate, double seconds, double amplitude = 0.3) {
    std::vector<int16_t> samples(static_cast<size_t>(rate * seconds));
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(amplitude * 32767 * std::sin(2 * M_PI * hz * i / rate));
    }
    return samples;
}

// The power of one frequency in a block of samples (Goertzel), normalised
// by the block length.
inline double PowerAt(const std::vector<double>& x, double hz, int rate) {
    double w = 2 * M_PI * hz / rate;
    double coeff = 2 * std::cos(w);
    double s1 = 0;
    double s2 = 0;
    for (double v : x) {
        double s = v + coeff * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return power / (static_cast<double>(x.size()) * x.size());
}

// One channel of interleaved samples, as doubles.
inline std::vector<double> Channel(const std::vector<int16_t>& samples, int channels, int which) {
    std::vector<double> out;
    for (size_t i = which; i < samples.size(); i += channels) {
        out.push_back(samples[i]);
    }
    return out;
}

inline void WriteWav(const std::string& path, const std::vector<int16_t>& mono, int rate) {
    WavWriter writer;
    writer.Open(path, rate, 1);
    writer.Write(mono.data(), mono.size());
}

// A WAV backend in dir whose microphone says `sound` (mono at rate).
inline std::unique_ptr<AudioBackend> MicrophoneBackend(const TempDir& dir,
                                                       const std::vector<int16_t>& sound,
                                                       int rate) {
    std::string mic = dir.File("microphone.wav");
    WriteWav(mic, sound, rate);
    std::string error;
    return MakeAudioBackend("wav:" + dir.Path(), error, mic);
}

inline std::vector<std::vector<uint8_t>> EncodeAdts(const std::vector<int16_t>& samples, int rate) {
    AacEncoder encoder(rate);
    std::vector<std::vector<uint8_t>> frames;
    auto keep = [&](const uint8_t* data, size_t size) { frames.emplace_back(data, data + size); };
    encoder.Encode(samples.data(), samples.size(), keep);
    encoder.Finish(keep);
    return frames;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Decodes back-to-back ADTS frames with libavcodec's own AAC decoder.
struct DecodedSound {
    int rate = 0;
    std::vector<double> samples;  // first channel
    int frames = 0;               // ADTS frames found
};
inline DecodedSound DecodeAdtsStream(const std::vector<uint8_t>& bytes) {
    DecodedSound out;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    AVCodecContext* c = avcodec_alloc_context3(codec);
    if (c == nullptr || avcodec_open2(c, codec, nullptr) < 0) {
        avcodec_free_context(&c);
        return out;
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    size_t at = 0;
    while (at + 7 <= bytes.size() && bytes[at] == 0xFF && (bytes[at + 1] & 0xF0) == 0xF0) {
        size_t length = ((bytes[at + 3] & 3u) << 11) | (bytes[at + 4] << 3) | (bytes[at + 5] >> 5);
        if (length < 7 || at + length > bytes.size()) {
            break;
        }
        ++out.frames;
        av_new_packet(packet, static_cast<int>(length));
        std::copy(bytes.begin() + at, bytes.begin() + at + length, packet->data);
        at += length;
        if (avcodec_send_packet(c, packet) == 0) {
            while (avcodec_receive_frame(c, frame) == 0) {
                out.rate = frame->sample_rate;
                auto* data = reinterpret_cast<const float*>(frame->data[0]);
                for (int i = 0; i < frame->nb_samples; ++i) {
                    out.samples.push_back(data[i] * 32768.0);
                }
            }
        }
        av_packet_unref(packet);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&c);
    return out;
}

// The best normalised correlation of b against a over lags 0..maxLag (b
// may lag behind a: the encoder and decoder add delay).
inline double BestCorrelation(const std::vector<double>& a, const std::vector<double>& b,
                              size_t maxLag, size_t length) {
    double best = -1;
    for (size_t lag = 0; lag <= maxLag; ++lag) {
        if (lag + length > b.size() || length > a.size()) {
            break;
        }
        double ab = 0;
        double aa = 0;
        double bb = 0;
        for (size_t i = 0; i < length; ++i) {
            ab += a[i] * b[i + lag];
            aa += a[i] * a[i];
            bb += b[i + lag] * b[i + lag];
        }
        if (aa > 0 && bb > 0) {
            best = std::max(best, ab / std::sqrt(aa * bb));
        }
    }
    return best;
}

}  // namespace orbisight::test
