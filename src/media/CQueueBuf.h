#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

#include "media/MediaFrame.h"

namespace orbisight {

// The bounded frame queue between a receiving thread and a consuming thread.
// Drop rule: Push refuses a frame when 30 are queued (the caller drops it);
// nothing ever blocks the producer.
class CQueueBuf {
  public:
    static constexpr size_t kCapacity = 30;

    enum class PopResult {
        kFrame,     // the oldest frame is now in the target buffer
        kEmpty,     // nothing queued
        kTooLarge,  // the oldest frame does not fit the target: it was dropped
    };

    CQueueBuf() = default;
    virtual ~CQueueBuf() { Clear(); }
    CQueueBuf(const CQueueBuf&) = delete;
    CQueueBuf& operator=(const CQueueBuf&) = delete;

    // Appends the frame when fewer than kCapacity are queued. On false the
    // frame is released here (the caller's frame is dropped).
    bool Push(std::unique_ptr<MediaFrame> frame);
    // The same for a copy of `payload` (header.size bytes), made into a
    // frame the consumer has emptied when there is one: a live stream of
    // 25 pictures a second allocates nothing per frame.
    bool Push(const FrameHeader& header, const uint8_t* payload, uint32_t connection);

    // Removes the oldest frame and copies its header and payload into target.
    PopResult Pop(FrameBuffer& target);

    // Frees every queued frame and the spares.
    void Clear();

    size_t Size() const;

    // Waits up to timeoutMs until a frame is queued or Wake() is called.
    // Returns true when a frame is queued. The consumer thread sleeps here
    // instead of polling.
    bool WaitForFrame(int timeoutMs);
    // Wakes a waiting consumer (for a stop).
    void Wake();

  private:
    // Keeps a popped frame as a spare, or frees it when there is no room.
    void Recycle(std::unique_ptr<MediaFrame> frame);

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    // Emptied frames kept for Push to refill; few, since a key frame's
    // buffer can be large.
    static constexpr size_t kSpares = 2;

    std::deque<std::unique_ptr<MediaFrame>> frames_;  // protected by mutex_
    std::unique_ptr<MediaFrame> spares_[kSpares];     // protected by mutex_
    bool wake_ = false;                               // protected by mutex_
};

}  // namespace orbisight
