#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "media/AudioDevice.h"
#include "media/CQueueBuf.h"
#include "platform/WorkerThread.h"

namespace orbisight {

class AacEncoder;

// The microphone of a live channel: captures mono 16-bit sound in 2048-byte
// buffers, encodes each buffer to AAC (ADTS frames) and queues the result
// as one audio frame for the channel's talk thread.
//
// The capture rate is fixed by the first Start: 16000 Hz for a camera whose
// ID begins with a lower-case "c", else 8000 Hz. The encoder runs at the
// capture rate and the frames carry it, so the camera plays talk at the
// speed it was spoken.
class CWaveIn {
  public:
    static constexpr size_t kCaptureBytes = 2048;
    static constexpr size_t kEncodedBytes = 2048;

    // backend null: the process's (ORBISIGHT_AUDIO). name tells the input's
    // files apart in the WAV backend.
    explicit CWaveIn(AudioBackend* backend = nullptr, std::string name = "talk");
    ~CWaveIn();
    CWaveIn(const CWaveIn&) = delete;
    CWaveIn& operator=(const CWaveIn&) = delete;

    // Opens the microphone and starts capturing. False when there is no
    // microphone (or no encoder); true also when already capturing.
    bool Start(const std::string& cameraId);
    // Stops capturing and drops the frames not yet sent. Safe from any
    // thread, more than once.
    void Stop();
    bool Capturing() const { return capturing_.load(); }

    // 0 until the first Start.
    int CaptureRate() const { return captureRate_.load(); }
    static int CaptureRateFor(const std::string& cameraId);

    // Encoded frames (capacity 30; a full queue drops the newest).
    CQueueBuf& Queue() { return queue_; }

    // Encodes one capture buffer and queues what came out as one frame
    // (the capture thread's step). Output beyond the 2048-byte area is
    // dropped, whole encoder frames at a time.
    void EncodeBuffer(const int16_t* samples, size_t count);

  private:
    void CaptureLoop(AutoResetEvent& stop);

    AudioBackend& backend_;
    const std::string name_;
    std::mutex mutex_;  // serialises Start and Stop
    std::atomic<int> captureRate_{0};
    std::atomic<bool> capturing_{false};
    std::unique_ptr<AacEncoder> encoder_;  // capture thread while capturing
    std::unique_ptr<AudioInput> input_;    // protected by mutex_; read by the capture thread
    std::unique_ptr<uint8_t[]> encoded_;   // kEncodedBytes, capture thread
    size_t encodedSize_ = 0;               // capture thread
    CQueueBuf queue_;
    WorkerThread thread_;
};

}  // namespace orbisight
