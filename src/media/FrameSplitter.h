#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "media/CQueueBuf.h"
#include "media/FrameHeader.h"

namespace orbisight {

class FrameRecorder;

// Cuts the "Data" value of a media message into frames and queues them: video
// into the video queue behind a key-frame gate, audio into the audio queue.
// The caller serialises calls (the channel's splitting mutex); the queues are
// read by the video and audio threads.
//
// Drop rules:
// - full video queue: the frame is dropped and the video waits for the next
//   key frame (so the decoder never sees a picture whose references are gone);
// - while waiting for a key frame, other video frames are dropped;
// - full audio queue: the frame is dropped;
// - a frame whose size runs past the end of the value is dropped and ends the
//   split (the next header's position is unknown);
// - a frame larger than its consumer's buffer is dropped; the split goes on.
class FrameSplitter {
  public:
    struct Counters {
        uint64_t videoFrames = 0;
        uint64_t audioFrames = 0;
        uint64_t droppedQueue = 0;
        uint64_t droppedGate = 0;
        uint64_t droppedInvalid = 0;
    };

    FrameSplitter() = default;
    FrameSplitter(const FrameSplitter&) = delete;
    FrameSplitter& operator=(const FrameSplitter&) = delete;

    // Never reads outside data[0, length). recorder (may be null) gets every
    // frame that lies inside the value, before it is queued.
    void Split(const uint8_t* data, size_t length, FrameRecorder* recorder);

    CQueueBuf& VideoQueue() { return video_; }
    CQueueBuf& AudioQueue() { return audio_; }

    // A new connection starts a new stream: frames still queued from the
    // previous one are dropped (they are a second old at least), the video
    // waits for a key frame, and the frames split from now on carry the new
    // connection's number. Called by the splitting thread (or under the
    // splitting lock).
    void BeginConnection();
    uint32_t Connection() const { return connection_.load(); }

    void SetWaitingForKeyFrame(bool waiting) { waitingForKey_.store(waiting); }
    bool WaitingForKeyFrame() const { return waitingForKey_.load(); }
    // Frame rate of the last video frame received.
    uint32_t VideoRate() const { return videoRate_.load(); }

    Counters Read() const;
    void Clear();

  private:
    void QueueVideo(const FrameHeader& header, const uint8_t* payload);
    void QueueAudio(const FrameHeader& header, const uint8_t* payload);

    CQueueBuf video_;
    CQueueBuf audio_;
    std::atomic<bool> waitingForKey_{true};
    std::atomic<uint32_t> connection_{0};
    std::atomic<uint32_t> videoRate_{0};
    std::atomic<uint64_t> videoFrames_{0};
    std::atomic<uint64_t> audioFrames_{0};
    std::atomic<uint64_t> droppedQueue_{0};
    std::atomic<uint64_t> droppedGate_{0};
    std::atomic<uint64_t> droppedInvalid_{0};
};

}  // namespace orbisight
