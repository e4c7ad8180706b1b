// Fuzzes the cutting of a media message's "Data" value into frames: whatever
// the headers claim, nothing outside the value may be read and every queued
// frame must come out of its queue whole.

#include <cstddef>
#include <cstdint>

#include "media/FrameSplitter.h"
#include "media/MediaHooks.h"

namespace {

// Reads every byte of every frame handed over, so a sanitizer sees any frame
// that reaches past the value.
class TouchingRecorder : public orbisight::FrameRecorder {
  public:
    bool Start(const char*, const char*) override { return true; }
    void Stop() override {}
    void Write(const orbisight::FrameHeader& header, const uint8_t* payload) override {
        for (uint32_t i = 0; i < header.size; ++i) {
            sum += payload[i];
        }
    }
    unsigned sum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static orbisight::FrameSplitter splitter;
    static orbisight::FrameBuffer video(orbisight::kVideoFrameCapacity);
    static orbisight::FrameBuffer audio(orbisight::kAudioFrameCapacity);
    TouchingRecorder recorder;
    splitter.Split(data, size, &recorder);
    while (splitter.VideoQueue().Pop(video) != orbisight::CQueueBuf::PopResult::kEmpty) {
    }
    while (splitter.AudioQueue().Pop(audio) != orbisight::CQueueBuf::PopResult::kEmpty) {
    }
    return recorder.sum == 0xFFFFFFFFu ? 1 : 0;
}
