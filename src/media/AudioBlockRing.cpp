#include "media/AudioBlockRing.h"

#include <algorithm>
#include <chrono>

namespace orbisight {

bool AudioBlockRing::Push(const int16_t* samples, size_t frames) {
    std::unique_lock lock(mutex_);
    bool room = roomCv_.wait_for(lock, std::chrono::milliseconds(AudioOutput::kMaxWaitMs),
                                 [&] { return blocks_.size() < kBlocks; });
    if (!room) {
        return false;
    }
    blocks_.emplace_back(samples, samples + frames * channels_);
    return true;
}

void AudioBlockRing::Pull(int16_t* out, size_t frames) {
    size_t wanted = frames * channels_;
    size_t filled = 0;
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (lock.owns_lock()) {
        while (filled < wanted && !blocks_.empty()) {
            const std::vector<int16_t>& block = blocks_.front();
            size_t n = std::min(wanted - filled, block.size() - offset_);
            std::copy_n(block.data() + offset_, n, out + filled);
            filled += n;
            offset_ += n;
            if (offset_ == block.size()) {
                blocks_.pop_front();
                offset_ = 0;
            }
        }
    }
    std::fill(out + filled, out + wanted, int16_t{0});
    if (lock.owns_lock()) {
        lock.unlock();
        roomCv_.notify_one();
    }
}

size_t AudioBlockRing::QueuedBlocks() const {
    std::lock_guard lock(mutex_);
    return blocks_.size();
}

}  // namespace orbisight
