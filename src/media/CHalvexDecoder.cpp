#include "media/CHalvexDecoder.h"

#include <array>
#include <cstring>
#include <mutex>

#include "media/FfmpegHandles.h"
#include "platform/Debug.h"

extern "C" {
#include <libavutil/log.h>
}

namespace orbisight {
namespace {

// The process-wide table: which entries are taken.
std::mutex& TableMutex() {
    static std::mutex mutex;
    return mutex;
}
std::array<bool, CHalvexDecoder::kSlotCount>& Table() {
    static std::array<bool, CHalvexDecoder::kSlotCount> table{};  // protected by TableMutex()
    return table;
}

int TakeSlot() {
    std::lock_guard lock(TableMutex());
    auto& table = Table();
    for (int i = 0; i < CHalvexDecoder::kSlotCount; ++i) {
        if (!table[static_cast<size_t>(i)]) {
            table[static_cast<size_t>(i)] = true;
            return i;
        }
    }
    return CHalvexDecoder::kNoSlot;
}

void ReleaseSlot(int slot) {
    if (slot < 0 || slot >= CHalvexDecoder::kSlotCount) {
        return;
    }
    std::lock_guard lock(TableMutex());
    Table()[static_cast<size_t>(slot)] = false;
}

}  // namespace

struct CHalvexDecoder::Codec {
    ffmpeg::CodecContextPtr context;
    ffmpeg::FramePtr picture;
    ffmpeg::PacketPtr packet;
    // The payload's reference-counted copy, reused while the decoder holds
    // no reference to it (see Decode).
    AVBufferRef* payload = nullptr;

    ~Codec() { av_buffer_unref(&payload); }
};

int DecodersInUse() {
    std::lock_guard lock(TableMutex());
    int count = 0;
    for (bool used : Table()) {
        count += used ? 1 : 0;
    }
    return count;
}

CHalvexDecoder::CHalvexDecoder(int threads) {
    // Damaged pictures are expected from cameras and handled; FFmpeg's
    // reports about them go to stderr only when debugging.
    static const bool quiet = [] {
        if (!DebugEnabled()) {
            av_log_set_level(AV_LOG_FATAL);
        }
        return true;
    }();
    (void)quiet;
    slot_ = TakeSlot();
    if (slot_ == kNoSlot) {
        return;
    }
    const AVCodec* h264 = avcodec_find_decoder(AV_CODEC_ID_H264);
    auto codec = std::make_unique<Codec>();
    codec->packet = ffmpeg::MakePacket();
    codec->picture = ffmpeg::MakeFrame();
    if (h264 != nullptr) {
        codec->context.reset(avcodec_alloc_context3(h264));
    }
    if (!codec->context || !codec->packet || !codec->picture) {
        return;
    }
    AVCodecContext* context = codec->context.get();
    context->thread_count = threads < 1 ? 1 : threads;
    if (threads > 1) {
        context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    }
    if (avcodec_open2(context, h264, nullptr) < 0) {
        return;
    }
    codec_ = std::move(codec);
}

CHalvexDecoder::~CHalvexDecoder() {
    codec_.reset();
    ReleaseSlot(slot_);
}

int CHalvexDecoder::Decode(const uint8_t* payload, size_t size) {
    if (size == 0 || payload == nullptr || !Usable() || size > INT32_MAX) {
        return -1;
    }
    AVCodecContext* context = codec_->context.get();
    // Read per slice by the decoder, so it may change between frames.
    context->skip_loop_filter =
        deblocking_.load(std::memory_order_relaxed) ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    AVPacket* packet = codec_->packet.get();
    av_packet_unref(packet);
    // A packet that is not reference-counted is copied by the decoder into
    // a fresh allocation of its size: a malloc and free of up to hundreds of
    // kilobytes per frame, which showed as 3 % of a wall's video threads.
    // Instead the payload goes into a buffer of our own that is reused as
    // soon as the decoder has let go of it (its only reference is ours
    // again), and grows in 64 KiB steps.
    size_t needed = size + AV_INPUT_BUFFER_PADDING_SIZE;
    AVBufferRef*& own = codec_->payload;
    if (own == nullptr || !av_buffer_is_writable(own) || own->size < needed) {
        size_t capacity = (needed + 0xffff) & ~static_cast<size_t>(0xffff);
        av_buffer_unref(&own);
        own = av_buffer_alloc(capacity);
        if (own == nullptr) {
            return AVERROR(ENOMEM);
        }
    }
    std::memcpy(own->data, payload, size);
    std::memset(own->data + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    packet->buf = av_buffer_ref(own);
    if (packet->buf == nullptr) {
        return AVERROR(ENOMEM);
    }
    packet->data = own->data;
    packet->size = static_cast<int>(size);
    int sent = avcodec_send_packet(context, packet);
    if (sent == AVERROR(EAGAIN)) {
        // Only with threaded decoding: take the pictures out, then retry.
        ReceivePictures();
        sent = avcodec_send_packet(context, packet);
    }
    av_packet_unref(packet);
    if (sent < 0) {
        return sent;
    }
    ReceivePictures();
    return static_cast<int>(size);
}

void CHalvexDecoder::ReceivePictures() {
    AVCodecContext* context = codec_->context.get();
    AVFrame* picture = codec_->picture.get();
    while (avcodec_receive_frame(context, picture) >= 0) {
        if (picture->width > 0 && picture->height > 0) {
            uint64_t size = Pack({picture->width, picture->height});
            bool changed = pictures_.load(std::memory_order_relaxed) == 0 ||
                           size != size_.load(std::memory_order_relaxed);
            if (changed) {
                sizeChanges_.fetch_add(1, std::memory_order_relaxed);
            }
            size_.store(size, std::memory_order_relaxed);
            pictures_.fetch_add(1, std::memory_order_relaxed);
            if (callback_) {
                callback_(*picture);
            }
        }
        av_frame_unref(picture);
    }
}

PictureSize CHalvexDecoder::Size() const {
    uint64_t size = size_.load(std::memory_order_relaxed);
    return {static_cast<int>(size >> 32), static_cast<int>(size & 0xffffffffu)};
}

void CHalvexDecoder::Flush() {
    if (Usable()) {
        avcodec_flush_buffers(codec_->context.get());
    }
}

}  // namespace orbisight
