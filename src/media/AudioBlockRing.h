#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "media/AudioDevice.h"

namespace orbisight {

// The blocks a sound card output holds, played by the card's callback.
// Push waits for room at most AudioOutput::kMaxWaitMs and then drops the
// block; Pull (the callback) never waits: it plays silence when it cannot
// take the lock at once or has nothing queued.
class AudioBlockRing {
  public:
    explicit AudioBlockRing(int channels) : channels_(static_cast<size_t>(channels)) {}

    // False: the ring stayed full and the block was dropped.
    bool Push(const int16_t* samples, size_t frames);
    // Fills `frames` sample frames of out.
    void Pull(int16_t* out, size_t frames);
    size_t QueuedBlocks() const;

  private:
    static constexpr size_t kBlocks = AudioOutput::kMaxQueuedBlocks;
    const size_t channels_;
    mutable std::mutex mutex_;
    std::condition_variable roomCv_;
    std::deque<std::vector<int16_t>> blocks_;  // protected by mutex_
    size_t offset_ = 0;                        // into blocks_.front(); protected by mutex_
};

}  // namespace orbisight
