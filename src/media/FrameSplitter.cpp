#include "media/FrameSplitter.h"

#include "media/MediaHooks.h"

namespace orbisight {

void FrameSplitter::Split(const uint8_t* data, size_t length, FrameRecorder* recorder) {
    if (data == nullptr) {
        return;
    }
    size_t offset = 0;
    // A header that starts exactly 28 bytes before the end carries no payload
    // and is not looked at.
    while (offset + FrameHeader::kSize < length) {
        FrameHeader header = ReadFrameHeaderNetwork(data + offset);
        size_t payloadOffset = offset + FrameHeader::kSize;
        if (header.size > length - payloadOffset) {
            // Whatever was cut off, the pictures after it lack a reference.
            droppedInvalid_.fetch_add(1, std::memory_order_relaxed);
            waitingForKey_.store(true);
            return;
        }
        const uint8_t* payload = data + payloadOffset;
        if (header.mediaType == mediatype::kVideo && header.rate == 0) {
            header.rate = 5;
        } else if (header.mediaType == mediatype::kAudio && header.rate < 8000) {
            header.rate = 8000;
        }
        if (recorder != nullptr) {
            recorder->Write(header, payload);
        }
        if (header.size > 0) {
            if (header.mediaType == mediatype::kVideo) {
                QueueVideo(header, payload);
            } else if (header.mediaType == mediatype::kAudio) {
                QueueAudio(header, payload);
            }
        }
        offset = payloadOffset + header.size;
    }
}

void FrameSplitter::QueueVideo(const FrameHeader& header, const uint8_t* payload) {
    videoFrames_.fetch_add(1, std::memory_order_relaxed);
    videoRate_.store(header.rate, std::memory_order_relaxed);
    if (header.size > kVideoFrameCapacity) {
        // Could never be popped; the pictures after it lose their reference.
        droppedInvalid_.fetch_add(1, std::memory_order_relaxed);
        waitingForKey_.store(true);
        return;
    }
    if (waitingForKey_.load()) {
        if (!header.KeyFrame()) {
            droppedGate_.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        if (video_.Push(header, payload, connection_.load(std::memory_order_relaxed))) {
            waitingForKey_.store(false);
        } else {
            droppedQueue_.fetch_add(1, std::memory_order_relaxed);
        }
        return;
    }
    if (!video_.Push(header, payload, connection_.load(std::memory_order_relaxed))) {
        droppedQueue_.fetch_add(1, std::memory_order_relaxed);
        waitingForKey_.store(true);
    }
}

void FrameSplitter::QueueAudio(const FrameHeader& header, const uint8_t* payload) {
    audioFrames_.fetch_add(1, std::memory_order_relaxed);
    if (header.size > kAudioFrameCapacity) {
        droppedInvalid_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (!audio_.Push(header, payload, connection_.load(std::memory_order_relaxed))) {
        droppedQueue_.fetch_add(1, std::memory_order_relaxed);
    }
}

FrameSplitter::Counters FrameSplitter::Read() const {
    Counters counters;
    counters.videoFrames = videoFrames_.load(std::memory_order_relaxed);
    counters.audioFrames = audioFrames_.load(std::memory_order_relaxed);
    counters.droppedQueue = droppedQueue_.load(std::memory_order_relaxed);
    counters.droppedGate = droppedGate_.load(std::memory_order_relaxed);
    counters.droppedInvalid = droppedInvalid_.load(std::memory_order_relaxed);
    return counters;
}

void FrameSplitter::BeginConnection() {
    connection_.fetch_add(1);
    waitingForKey_.store(true);
    Clear();
}

void FrameSplitter::Clear() {
    video_.Clear();
    audio_.Clear();
}

}  // namespace orbisight
