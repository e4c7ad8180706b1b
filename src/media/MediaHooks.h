#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "media/FrameHeader.h"

namespace orbisight {

// Where a channel's audio thread hands the camera's sound. The sound output
// implements it; the default below counts and drops.
class AudioSink {
  public:
    virtual ~AudioSink() = default;
    // One AAC frame (ADTS), on the channel's audio thread.
    virtual void PlayFrame(const FrameHeader& header, const uint8_t* payload, size_t size) = 0;
};

class CountingAudioSink : public AudioSink {
  public:
    void PlayFrame(const FrameHeader&, const uint8_t*, size_t) override { frames_.fetch_add(1); }
    uint64_t Frames() const { return frames_.load(); }

  private:
    std::atomic<uint64_t> frames_{0};
};

// Receives every split frame while the channel records, before the frame is
// queued (header in host order). Called under the channel's splitting mutex.
class FrameRecorder {
  public:
    virtual ~FrameRecorder() = default;
    // Starts a recording for the camera (ID and name); false when the file
    // cannot be created.
    virtual bool Start(const char* id, const char* name) = 0;
    virtual void Stop() = 0;
    virtual void Write(const FrameHeader& header, const uint8_t* payload) = 0;

    // Told once when the recording stops by itself: the file that could
    // not be created or written, and why. Called on the thread that met the
    // failure, inside the recorder: it must not call back into it.
    using FailureHandler = std::function<void(const std::string& path, const std::string& error)>;
    virtual void SetFailureHandler(FailureHandler) {}
    // New settings ("Record file path:", "Record file divide:"), used from
    // the next file on.
    virtual void SetRecordSettings(const std::string& /*folder*/, int /*minutes*/) {}
};

}  // namespace orbisight
