#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "media/VideoSink.h"

struct AVFrame;

namespace orbisight {

// An H.264 decoder on libavcodec. Every decoder takes an entry of a
// process-wide table of 128; a decoder that finds the table full decodes
// nothing, so 128 cameras are the most that can be shown at once.
//
// Used by one thread (the channel's video thread); the picture size may be
// read from any thread.
class CHalvexDecoder {
  public:
    static constexpr int kSlotCount = 128;
    static constexpr int kNoSlot = 128;
    // The size reported before the first picture.
    static constexpr PictureSize kInitialSize{490, 385};

    // Runs inside Decode for every picture the decoder produces.
    using PictureCallback = std::function<void(const AVFrame& picture)>;

    // threads: decoder threads; 1 decodes on the calling thread only.
    explicit CHalvexDecoder(int threads = 1);
    virtual ~CHalvexDecoder();
    CHalvexDecoder(const CHalvexDecoder&) = delete;
    CHalvexDecoder& operator=(const CHalvexDecoder&) = delete;

    int Slot() const { return slot_; }
    bool Usable() const { return codec_ != nullptr; }

    void SetPictureCallback(PictureCallback callback) { callback_ = std::move(callback); }

    // Decodes one access unit (copied into the decoder's own padded buffer,
    // so payload needs no padding). Returns size when the decoder took the
    // frame, 0 or less when it rejected it, and -1 for size 0 or no slot.
    int Decode(const uint8_t* payload, size_t size);

    // 490 x 385 until the first picture, then the last picture's size.
    PictureSize Size() const;
    uint64_t Pictures() const { return pictures_.load(std::memory_order_relaxed); }
    uint64_t SizeChanges() const { return sizeChanges_.load(std::memory_order_relaxed); }

    // Drops buffered pictures (after a reconnection the next frame is a key
    // frame of a new stream).
    void Flush();

    // Off: the in-loop deblocking filter is skipped, about a fifth of the
    // decoding work, for pictures that are shown much smaller than they
    // are (the scaling averages block edges away; the small drift this
    // causes in predicted pictures ends at the next key frame). Any
    // thread; takes effect with the next Decode.
    void SetDeblocking(bool on) { deblocking_.store(on, std::memory_order_relaxed); }
    bool Deblocking() const { return deblocking_.load(std::memory_order_relaxed); }

  private:
    struct Codec;
    void ReceivePictures();
    int slot_ = kNoSlot;
    std::unique_ptr<Codec> codec_;
    PictureCallback callback_;
    // Width in the high half, height in the low half: one load gives a
    // matching pair even while a size change is being stored.
    static constexpr uint64_t Pack(PictureSize size) {
        return (static_cast<uint64_t>(static_cast<uint32_t>(size.width)) << 32) |
               static_cast<uint32_t>(size.height);
    }
    std::atomic<uint64_t> size_{Pack(kInitialSize)};
    std::atomic<uint64_t> pictures_{0};
    std::atomic<uint64_t> sizeChanges_{0};
    std::atomic<bool> deblocking_{true};
};

// Entries of the decoder table in use (for tests and diagnostics).
int DecodersInUse();

}  // namespace orbisight
