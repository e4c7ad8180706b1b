#include "media/CWaveIn.h"

#include <cstring>
#include <vector>

#include "media/AacEncoder.h"
#include "media/FrameHeader.h"
#include "media/MediaFrame.h"

namespace orbisight {
namespace {

// The capture thread looks at its stop event at least this often.
constexpr int kReadWaitMs = 50;
constexpr int kStopWaitMs = 1400;

}  // namespace

CWaveIn::CWaveIn(AudioBackend* backend, std::string name)
    : backend_(backend != nullptr ? *backend : DefaultAudioBackend()),
      name_(std::move(name)),
      encoded_(std::make_unique<uint8_t[]>(kEncodedBytes)) {}

CWaveIn::~CWaveIn() {
    Stop();
}

int CWaveIn::CaptureRateFor(const std::string& cameraId) {
    return !cameraId.empty() && cameraId[0] == 'c' ? 16000 : 8000;
}

bool CWaveIn::Start(const std::string& cameraId) {
    std::lock_guard lock(mutex_);
    if (capturing_.load()) {
        return true;
    }
    if (captureRate_.load() == 0) {
        captureRate_.store(CaptureRateFor(cameraId));
    }
    int rate = captureRate_.load();
    if (!encoder_) {
        encoder_ = std::make_unique<AacEncoder>(rate);
    }
    if (!encoder_->Ok()) {
        return false;
    }
    PcmFormat format{rate, 1};
    input_ = backend_.OpenInput(format, name_);
    if (!input_) {
        return false;
    }
    capturing_.store(true);
    thread_.Start(name_ + "/mic", [this](AutoResetEvent& stop) { CaptureLoop(stop); });
    return true;
}

void CWaveIn::Stop() {
    std::lock_guard lock(mutex_);
    if (!capturing_.load()) {
        return;
    }
    thread_.Stop(kStopWaitMs);
    capturing_.store(false);
    input_.reset();
    queue_.Clear();
}

void CWaveIn::CaptureLoop(AutoResetEvent& stop) {
    constexpr size_t kSamples = kCaptureBytes / 2;
    std::vector<int16_t> buffer(kSamples);
    size_t filled = 0;
    while (!stop.TryConsume()) {
        long got = input_->Read(buffer.data() + filled, kSamples - filled, kReadWaitMs);
        if (got == AudioInput::kEnded) {
            if (filled > 0) {
                EncodeBuffer(buffer.data(), filled);
            }
            stop.Wait();  // nothing more to capture: wait to be stopped
            return;
        }
        filled += static_cast<size_t>(got);
        if (filled == kSamples) {
            EncodeBuffer(buffer.data(), filled);
            filled = 0;
        }
    }
}

void CWaveIn::EncodeBuffer(const int16_t* samples, size_t count) {
    if (!encoder_ || !encoder_->Ok()) {
        return;
    }
    encodedSize_ = 0;
    encoder_->Encode(samples, count, [this](const uint8_t* adts, size_t size) {
        if (size <= kEncodedBytes - encodedSize_) {
            std::memcpy(encoded_.get() + encodedSize_, adts, size);
            encodedSize_ += size;
        }
    });
    if (encodedSize_ == 0) {
        return;
    }
    FrameHeader header;
    header.flags = 0;
    header.mediaType = mediatype::kAudio;
    header.size = static_cast<uint32_t>(encodedSize_);
    header.rate = static_cast<uint32_t>(encoder_->SampleRate());
    header.timeStamp = 0;
    queue_.Push(header, encoded_.get(), 0);
}

}  // namespace orbisight
