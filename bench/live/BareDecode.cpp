#include "bench/live/BareDecode.h"

#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace orbisight::bench {

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double ReferenceCpuPerFrame(const sim::VideoClip& clip, int rounds, int streams) {
    const AVCodec* h264 = avcodec_find_decoder(AV_CODEC_ID_H264);
    std::vector<AVCodecContext*> contexts;
    for (int i = 0; i < streams; ++i) {
        AVCodecContext* context = avcodec_alloc_context3(h264);
        context->thread_count = 1;
        avcodec_open2(context, h264, nullptr);
        contexts.push_back(context);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<std::vector<uint8_t>> padded;
    for (const auto& f : clip.frames) {
        std::vector<uint8_t> data(f.data);
        data.resize(f.data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        padded.push_back(std::move(data));
    }
    long frames = 0;
    double begin = ThreadCpuSeconds();
    for (int round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < padded.size(); ++i) {
            for (AVCodecContext* context : contexts) {
                packet->data = padded[i].data();
                packet->size = static_cast<int>(clip.frames[i].data.size());
                if (avcodec_send_packet(context, packet) == 0) {
                    while (avcodec_receive_frame(context, frame) == 0) {
                        ++frames;
                        av_frame_unref(frame);
                    }
                }
            }
        }
    }
    double cpu = ThreadCpuSeconds() - begin;
    packet->data = nullptr;
    packet->size = 0;
    av_frame_free(&frame);
    av_packet_free(&packet);
    for (AVCodecContext* context : contexts) {
        avcodec_free_context(&context);
    }
    return frames > 0 ? cpu / static_cast<double>(frames) : 0;
}

double PacedCpuPerFrame(const sim::VideoClip& clip, int fps, int frames) {
    if (clip.frames.empty() || fps <= 0 || frames <= 0) {
        return 0;
    }
    const AVCodec* h264 = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* context = avcodec_alloc_context3(h264);
    context->thread_count = 1;
    avcodec_open2(context, h264, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<uint8_t> data;
    long decoded = 0;
    double cpu = 0;
    auto period = std::chrono::microseconds(1000000 / fps);
    auto next = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        const auto& source = clip.frames[static_cast<size_t>(i) % clip.frames.size()].data;
        data.assign(source.begin(), source.end());
        data.resize(source.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        packet->data = data.data();
        packet->size = static_cast<int>(source.size());
        double begin = ThreadCpuSeconds();
        if (avcodec_send_packet(context, packet) == 0) {
            while (avcodec_receive_frame(context, frame) == 0) {
                ++decoded;
                av_frame_unref(frame);
            }
        }
        cpu += ThreadCpuSeconds() - begin;
        next += period;
        std::this_thread::sleep_until(next);
    }
    packet->data = nullptr;
    packet->size = 0;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    return decoded > 0 ? cpu / static_cast<double>(decoded) : 0;
}

}  // namespace orbisight::bench
