#include "media/LiveVideoStep.h"

#include "media/VideoPacing.h"
#include "platform/Clock.h"

namespace orbisight {

LiveVideoStep::LiveVideoStep(CQueueBuf& queue, size_t bufferCapacity)
    : queue_(queue), buffer_(bufferCapacity) {}

void LiveVideoStep::Reset() {
    started_.store(false);
    resetRequested_.store(true);
}

LiveVideoStep::Outcome LiveVideoStep::RunOnce(const Decode& decode, const Rest& rest,
                                              const std::atomic<bool>& stopping) {
    if (stopping.load()) {
        return Outcome::kIdle;
    }
    if (resetRequested_.exchange(false)) {
        firstFrame_ = true;
        resumeAtKeyFrame_ = false;
    }
    switch (queue_.Pop(buffer_)) {
        case CQueueBuf::PopResult::kEmpty:
            return Outcome::kIdle;
        case CQueueBuf::PopResult::kTooLarge:
            oversizeDrops_.fetch_add(1, std::memory_order_relaxed);
            return Outcome::kDropped;
        case CQueueBuf::PopResult::kFrame:
            break;
    }
    const FrameHeader& header = buffer_.header;
    DecodeMode mode = mode_.load();
    if (mode == DecodeMode::kNone && pictureWanted_.load()) {
        mode = DecodeMode::kKeyFramesOnly;
    }
    if (started_.load() &&
        (mode == DecodeMode::kNone || (mode == DecodeMode::kKeyFramesOnly && !header.KeyFrame()))) {
        // A skipped predicted picture leaves the next ones without their
        // references: back to every picture, decoding starts at a key frame.
        resumeAtKeyFrame_ = true;
    }
    if (resumeAtKeyFrame_) {
        if (!header.KeyFrame() || mode == DecodeMode::kNone) {
            policySkips_.fetch_add(1, std::memory_order_relaxed);
            return Outcome::kSkipped;
        }
        // Decoding resumes: pacing measures from this frame, not from the
        // last one decoded before the pause.
        resumeAtKeyFrame_ = false;
        firstFrame_ = true;
    }
    bool newConnection = buffer_.connection != connection_;
    if (!header.KeyFrame() && (!started_.load() || keyFramesOnly_.load() || newConnection)) {
        gateDrops_.fetch_add(1, std::memory_order_relaxed);
        return Outcome::kDropped;
    }
    if (newConnection) {
        connection_ = buffer_.connection;
        firstFrame_ = true;
        if (newStream_) {
            newStream_();
        }
    }
    started_.store(true);
    if (firstFrame_) {
        previousTimeStamp_ = header.timeStamp;
        firstFrame_ = false;
    }
    uint64_t begin = TickCountMs();
    decode(buffer_, header.AlarmMarked());
    uint64_t decodeMs = TickCountMs() - begin;
    if (stopping.load()) {
        return Outcome::kDecoded;
    }
    int restMs = PacingDelayMs(header.timeStamp - previousTimeStamp_, header.rate, decodeMs);
    previousTimeStamp_ = header.timeStamp;
    if (restMs > 0) {
        rest(restMs);
    }
    return Outcome::kDecoded;
}

}  // namespace orbisight
