#include "media/CQueueBuf.h"

#include <chrono>
#include <cstring>

namespace orbisight {

bool CQueueBuf::Push(std::unique_ptr<MediaFrame> frame) {
    if (!frame) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        if (frames_.size() >= kCapacity) {
            return false;  // `frame` is released on return: the caller's drop
        }
        frames_.push_back(std::move(frame));
    }
    cv_.notify_one();
    return true;
}

bool CQueueBuf::Push(const FrameHeader& header, const uint8_t* payload, uint32_t connection) {
    if (payload == nullptr && header.size > 0) {
        return false;
    }
    std::unique_ptr<MediaFrame> frame;
    {
        std::lock_guard lock(mutex_);
        if (frames_.size() >= kCapacity) {
            return false;
        }
        for (auto& spare : spares_) {
            if (spare) {
                frame = std::move(spare);
                break;
            }
        }
    }
    // The copy happens outside the lock: the consumer never waits for it.
    if (!frame) {
        frame = std::make_unique<MediaFrame>();
    }
    frame->Refill(header, payload, connection);
    return Push(std::move(frame));
}

CQueueBuf::PopResult CQueueBuf::Pop(FrameBuffer& target) {
    std::unique_ptr<MediaFrame> frame;
    {
        std::lock_guard lock(mutex_);
        if (frames_.empty()) {
            return PopResult::kEmpty;
        }
        frame = std::move(frames_.front());
        frames_.pop_front();
    }
    // The copy happens outside the lock so the receive thread never waits
    // for it; the frame is ours now.
    if (frame->header.size > target.Capacity()) {
        return PopResult::kTooLarge;
    }
    target.header = frame->header;
    target.connection = frame->connection;
    if (frame->header.size > 0) {
        std::memcpy(target.Data(), frame->payload.get(), frame->header.size);
    }
    std::memset(target.Data() + frame->header.size, 0, FrameBuffer::kPadding);
    Recycle(std::move(frame));
    return PopResult::kFrame;
}

void CQueueBuf::Recycle(std::unique_ptr<MediaFrame> frame) {
    std::lock_guard lock(mutex_);
    for (auto& spare : spares_) {
        if (!spare) {
            spare = std::move(frame);
            return;
        }
    }
    // No room: `frame` is freed on return, after the lock is released.
}

void CQueueBuf::Clear() {
    std::deque<std::unique_ptr<MediaFrame>> dropped;
    std::unique_ptr<MediaFrame> droppedSpares[kSpares];
    std::lock_guard lock(mutex_);
    dropped.swap(frames_);
    for (size_t i = 0; i < kSpares; ++i) {
        droppedSpares[i] = std::move(spares_[i]);
    }
}

size_t CQueueBuf::Size() const {
    std::lock_guard lock(mutex_);
    return frames_.size();
}

bool CQueueBuf::WaitForFrame(int timeoutMs) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                 [this] { return !frames_.empty() || wake_; });
    wake_ = false;
    return !frames_.empty();
}

void CQueueBuf::Wake() {
    {
        std::lock_guard lock(mutex_);
        wake_ = true;
    }
    cv_.notify_all();
}

}  // namespace orbisight
