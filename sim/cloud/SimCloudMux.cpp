#include "sim/cloud/SimCloudMux.h"

#include <cstring>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include "sim/stream/VideoClip.h"

namespace orbisight::sim {
namespace {

// The muxer writes into memory; MP4 seeks back to finish its boxes.
struct MemoryOut {
    std::string bytes;
    int64_t position = 0;
};

// FFmpeg 7 hands the written bytes as const, earlier versions do not.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WrittenBytes = const uint8_t*;
#else
using WrittenBytes = uint8_t*;
#endif

int WriteOut(void* opaque, WrittenBytes data, int size) {
    auto* out = static_cast<MemoryOut*>(opaque);
    if (size < 0) {
        return AVERROR(EINVAL);
    }
    size_t end = static_cast<size_t>(out->position) + static_cast<size_t>(size);
    if (end > out->bytes.size()) {
        out->bytes.resize(end);
    }
    std::memcpy(out->bytes.data() + out->position, data, static_cast<size_t>(size));
    out->position = static_cast<int64_t>(end);
    return size;
}

int64_t SeekOut(void* opaque, int64_t offset, int whence) {
    auto* out = static_cast<MemoryOut*>(opaque);
    int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return static_cast<int64_t>(out->bytes.size());
        case SEEK_SET:
            base = 0;
            break;
        case SEEK_CUR:
            base = out->position;
            break;
        case SEEK_END:
            base = static_cast<int64_t>(out->bytes.size());
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (base + offset < 0) {
        return AVERROR(EINVAL);
    }
    out->position = base + offset;
    return out->position;
}

// The sequence and picture parameter sets (NAL types 7 and 8) of a key
// frame, with their start codes: the stream's decoder configuration.
std::vector<uint8_t> ParameterSets(const std::vector<uint8_t>& frame) {
    std::vector<uint8_t> sets;
    size_t i = 0;
    const size_t n = frame.size();
    auto startCode = [&](size_t at) {
        return at + 3 <= n && frame[at] == 0 && frame[at + 1] == 0 && frame[at + 2] == 1;
    };
    while (i < n) {
        if (!startCode(i)) {
            ++i;
            continue;
        }
        size_t begin = i + 3;
        size_t end = begin;
        while (end < n && !startCode(end)) {
            ++end;
        }
        size_t stop = end;
        if (end < n && stop > begin && frame[stop - 1] == 0) {
            --stop;  // the leading zero of a four-byte start code
        }
        if (begin < stop) {
            int type = frame[begin] & 0x1f;
            if (type == 7 || type == 8) {
                const uint8_t code[4] = {0, 0, 0, 1};
                sets.insert(sets.end(), code, code + 4);
                sets.insert(sets.end(), frame.begin() + static_cast<std::ptrdiff_t>(begin),
                            frame.begin() + static_cast<std::ptrdiff_t>(stop));
            }
        }
        i = end;
    }
    return sets;
}

std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

std::optional<std::string> MuxClip(const VideoClip& clip, const char* container,
                                   std::string& error) {
    if (clip.frames.empty() || !clip.frames.front().key) {
        error = "no pictures to put in the container";
        return std::nullopt;
    }
    std::vector<uint8_t> sets = ParameterSets(clip.frames.front().data);
    if (sets.empty()) {
        error = "the first picture has no parameter sets";
        return std::nullopt;
    }
    AVFormatContext* format = nullptr;
    if (int r = avformat_alloc_output_context2(&format, nullptr, container, nullptr); r < 0) {
        error = std::string("no ") + container + " muxer: " + ErrorText(r);
        return std::nullopt;
    }
    MemoryOut out;
    constexpr int kBufferSize = 64 * 1024;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferSize));
    AVIOContext* io = buffer == nullptr ? nullptr
                                        : avio_alloc_context(buffer, kBufferSize, 1, &out, nullptr,
                                                             WriteOut, SeekOut);
    if (io == nullptr) {
        av_free(buffer);
        avformat_free_context(format);
        error = "out of memory";
        return std::nullopt;
    }
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;

    bool ok = false;
    const int fps = clip.params.fps > 0 ? clip.params.fps : 25;
    AVStream* stream = avformat_new_stream(format, nullptr);
    if (stream == nullptr) {
        error = "cannot add a stream";
    } else {
        stream->time_base = AVRational{1, fps};
        stream->avg_frame_rate = AVRational{fps, 1};
        AVCodecParameters* par = stream->codecpar;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_H264;
        par->width = clip.params.width;
        par->height = clip.params.height;
        par->format = 0;  // yuv420p
        par->extradata = static_cast<uint8_t*>(
            av_mallocz(sets.size() + static_cast<size_t>(AV_INPUT_BUFFER_PADDING_SIZE)));
        if (par->extradata != nullptr) {
            std::memcpy(par->extradata, sets.data(), sets.size());
            par->extradata_size = static_cast<int>(sets.size());
        }
        int r = avformat_write_header(format, nullptr);
        if (r < 0) {
            error = "cannot start the " + std::string(container) + ": " + ErrorText(r);
        } else {
            ok = true;
            AVPacket* packet = av_packet_alloc();
            for (size_t i = 0; ok && packet != nullptr && i < clip.frames.size(); ++i) {
                const EncodedFrame& frame = clip.frames[i];
                if (av_new_packet(packet, static_cast<int>(frame.data.size())) < 0) {
                    error = "out of memory";
                    ok = false;
                    break;
                }
                std::memcpy(packet->data, frame.data.data(), frame.data.size());
                packet->stream_index = stream->index;
                packet->pts = packet->dts =
                    av_rescale_q(static_cast<int64_t>(i), AVRational{1, fps}, stream->time_base);
                packet->duration = av_rescale_q(1, AVRational{1, fps}, stream->time_base);
                packet->flags = frame.key ? AV_PKT_FLAG_KEY : 0;
                if (int w = av_interleaved_write_frame(format, packet); w < 0) {
                    error = "cannot write a picture: " + ErrorText(w);
                    ok = false;
                }
                av_packet_unref(packet);
            }
            av_packet_free(&packet);
            if (int t = av_write_trailer(format); ok && t < 0) {
                error = "cannot finish the " + std::string(container) + ": " + ErrorText(t);
                ok = false;
            }
        }
    }
    avio_flush(io);
    av_freep(&io->buffer);
    avio_context_free(&io);
    avformat_free_context(format);
    if (!ok) {
        return std::nullopt;
    }
    return std::move(out.bytes);
}

}  // namespace orbisight::sim
