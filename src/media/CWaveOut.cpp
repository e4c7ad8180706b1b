#include "media/CWaveOut.h"

#include <neaacdec.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace orbisight {
namespace {

constexpr double kGain = 3.0;

std::mutex handlerMutex;
std::function<void()> noDeviceHandler;  // protected by handlerMutex

void ReportNoDevice() {
    std::function<void()> handler;
    {
        std::lock_guard lock(handlerMutex);
        handler = noDeviceHandler;
    }
    if (handler) {
        handler();
    }
}

}  // namespace

struct CWaveOut::Decoder {
    NeAACDecHandle handle = nullptr;
    bool initialised = false;

    Decoder() {
        handle = NeAACDecOpen();
        if (handle == nullptr) {
            return;
        }
        NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(handle);
        config->defObjectType = LC;
        config->defSampleRate = 16000;
        config->outputFormat = FAAD_FMT_16BIT;
        config->downMatrix = 1;  // anything above 2 channels comes out as 2
        NeAACDecSetConfiguration(handle, config);
    }
    ~Decoder() {
        if (handle != nullptr) {
            NeAACDecClose(handle);
        }
    }
};

CWaveOut::CWaveOut(AudioBackend* backend, std::string name)
    : backend_(backend != nullptr ? *backend : DefaultAudioBackend()),
      name_(std::move(name)),
      decoder_(std::make_unique<Decoder>()),
      decoded_(std::make_unique<int16_t[]>(kDecodedBytes / 2)),
      block_(std::make_unique<int16_t[]>(kDecodedBytes / 2)) {}

CWaveOut::~CWaveOut() = default;

void CWaveOut::SetNoDeviceHandler(std::function<void()> handler) {
    std::lock_guard lock(handlerMutex);
    noDeviceHandler = std::move(handler);
}

int CWaveOut::OutputRateFor(uint32_t streamRate) {
    return streamRate <= 8000 ? 16000 : static_cast<int>(std::min<uint32_t>(streamRate, 96000) * 2);
}

void CWaveOut::Amplify(int16_t* samples, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        double v = samples[i] * kGain;
        samples[i] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
}

bool CWaveOut::SetRateAndOpen(uint32_t streamRate) {
    if (formatPending_) {
        // Tried once: an output that is missing now is not looked for again.
        formatPending_ = false;
        format_.sampleRate = OutputRateFor(streamRate);
        format_.channels = 2;
        output_ = backend_.OpenOutput(format_, name_);
        // Only a missing device is told (once); a device that refuses the
        // format stays closed without a word.
        if (!output_ && !backend_.HasOutputDevice()) {
            ReportNoDevice();
        }
    }
    return output_ != nullptr;
}

void CWaveOut::PlayFrame(const FrameHeader& header, const uint8_t* payload, size_t size) {
    SetRateAndOpen(header.rate);
    size_t bytes = Decode(payload, size);
    if (bytes > 0) {
        Play(decoded_.get(), bytes);
    }
}

size_t CWaveOut::Decode(const uint8_t* frame, size_t size) {
    if (decoder_->handle == nullptr || frame == nullptr || size == 0) {
        return 0;
    }
    // FAAD2 takes non-const pointers but does not write through them.
    auto* data = const_cast<unsigned char*>(frame);
    if (!decoder_->initialised) {
        unsigned long rate = 0;
        unsigned char channels = 0;
        // A frame the decoder cannot start from leaves it waiting for the
        // next one instead of decoding everything after with no set-up.
        long skip = NeAACDecInit(decoder_->handle, data, static_cast<unsigned long>(size), &rate,
                                 &channels);
        decoder_->initialised = skip >= 0;
        if (decoder_->initialised && static_cast<size_t>(skip) < size) {
            // The decoder gives its first output one frame late: fed the
            // first frame now (nothing comes out, nothing is played), it
            // has the second frame's sound ready when that frame comes.
            NeAACDecFrameInfo info{};
            NeAACDecDecode(decoder_->handle, &info, data + skip,
                           static_cast<unsigned long>(size - static_cast<size_t>(skip)));
        }
        return 0;
    }
    size_t produced = 0;
    size_t at = 0;
    while (at < size) {
        NeAACDecFrameInfo info{};
        void* samples = NeAACDecDecode(decoder_->handle, &info, data + at,
                                       static_cast<unsigned long>(size - at));
        if (info.error != 0) {
            return 0;  // a damaged frame is not played, not even in part
        }
        if (samples != nullptr && info.samples > 0) {
            // The output always has 2 channels: a decoder that gives mono
            // has each sample doubled.
            bool mono = info.channels == 1;
            size_t room = (kDecodedBytes - produced) / 4;  // stereo sample frames
            size_t frames = mono ? info.samples : info.samples / 2;
            bool full = frames > room;
            frames = std::min(frames, room);  // more than the area holds is dropped
            int16_t* out = decoded_.get() + produced / 2;
            const auto* in = static_cast<const int16_t*>(samples);
            if (mono) {
                for (size_t i = 0; i < frames; ++i) {
                    out[2 * i] = out[2 * i + 1] = in[i];
                }
            } else {
                std::memcpy(out, in, frames * 4);
            }
            produced += frames * 4;
            if (full) {
                return produced;
            }
        }
        if (info.bytesconsumed == 0) {
            break;  // no progress: the rest cannot be decoded
        }
        at += info.bytesconsumed;
    }
    return produced;
}

void CWaveOut::Play(const int16_t* samples, size_t bytes) {
    if (!output_ || bytes == 0) {
        return;
    }
    bytes = std::min(bytes, kDecodedBytes);
    size_t count = bytes / 2;
    std::copy_n(samples, count, block_.get());
    Amplify(block_.get(), count);
    size_t frames = count / static_cast<size_t>(format_.channels);
    if (output_->Write(block_.get(), frames)) {
        ++played_;
    } else {
        ++dropped_;
    }
}

}  // namespace orbisight
