#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "media/FrameHeader.h"

namespace orbisight {

// A queued frame: the header in host order and an owned copy of the payload.
struct MediaFrame {
    FrameHeader header;
    std::unique_ptr<uint8_t[]> payload;  // header.size bytes
    size_t capacity = 0;                 // bytes allocated at payload
    // Which of the channel's connections brought it (see
    // FrameSplitter::BeginConnection): a decoder must not carry one
    // connection's state into the next.
    uint32_t connection = 0;

    static std::unique_ptr<MediaFrame> Make(const FrameHeader& header, const uint8_t* payload,
                                            uint32_t connection = 0) {
        auto frame = std::make_unique<MediaFrame>();
        frame->header = header;
        frame->connection = connection;
        if (payload != nullptr) {
            // Every byte is written right away: no zero fill first.
            frame->payload = std::make_unique_for_overwrite<uint8_t[]>(header.size);
            if (header.size > 0) {
                std::memcpy(frame->payload.get(), payload, header.size);
            }
        } else {
            frame->payload = std::make_unique<uint8_t[]>(header.size);  // zero-filled
        }
        frame->capacity = header.size;
        return frame;
    }

    // Refills a frame taken from a queue's spares with a copy of `payload`
    // (header.size bytes), growing its buffer only when it is too small.
    void Refill(const FrameHeader& newHeader, const uint8_t* data, uint32_t newConnection) {
        if (newHeader.size > capacity || !payload) {
            // Rounded up so that a stream of slowly growing frames does not
            // reallocate every time.
            size_t grown = (static_cast<size_t>(newHeader.size) + 4095) & ~size_t{4095};
            payload = std::make_unique_for_overwrite<uint8_t[]>(grown);
            capacity = grown;
        }
        header = newHeader;
        connection = newConnection;
        if (newHeader.size > 0) {
            std::memcpy(payload.get(), data, newHeader.size);
        }
    }
};

// A fixed frame buffer a consumer pops into: the header and a payload area
// allocated once. The area has kPadding zero bytes after its capacity so a
// decoder may read a little past the payload, as FFmpeg's parsers do (the
// queue zeroes the padding after each popped payload as well). The area is
// not zero-filled: a channel is built on the window thread, and touching
// megabytes of fresh pages there costs tens of milliseconds.
class FrameBuffer {
  public:
    static constexpr size_t kPadding = 64;

    explicit FrameBuffer(size_t capacity)
        : capacity_(capacity),
          data_(std::make_unique_for_overwrite<uint8_t[]>(capacity + kPadding)) {
        std::memset(data_.get() + capacity, 0, kPadding);
    }

    size_t Capacity() const { return capacity_; }
    uint8_t* Data() { return data_.get(); }
    const uint8_t* Data() const { return data_.get(); }
    size_t Size() const { return header.size; }

    FrameHeader header;
    uint32_t connection = 0;  // of the frame last popped into it

  private:
    size_t capacity_;
    std::unique_ptr<uint8_t[]> data_;
};

}  // namespace orbisight
