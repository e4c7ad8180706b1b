// The sound card through PortAudio: the output is played by a callback from
// a ring of blocks, the microphone is read from a blocking stream polled so
// no call waits longer than its caller allows.

#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "media/AudioBlockRing.h"
#include "media/AudioDevice.h"

namespace orbisight {
namespace {

// PortAudio is set up once per process, at the first open, and left up: its
// device list is read at initialisation, so a later try would not find a
// device that was missing then either.
bool EnsurePortAudio() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        PaError error = Pa_Initialize();
        ready = error == paNoError;
        if (!ready) {
            std::fprintf(stderr, "orbisight: no sound system: %s\n", Pa_GetErrorText(error));
        }
    });
    return ready;
}

// Opening and closing streams is not safe from several threads at once.
std::mutex& StreamMutex() {
    static std::mutex mutex;
    return mutex;
}

class PaStreamOwner {
  public:
    explicit PaStreamOwner(PaStream* stream) : stream_(stream) {}
    ~PaStreamOwner() {
        std::lock_guard lock(StreamMutex());
        Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
    }
    PaStream* Get() const { return stream_; }

  private:
    PaStream* stream_;
};

int PlayCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                 PaStreamCallbackFlags, void* ring) {
    static_cast<AudioBlockRing*>(ring)->Pull(static_cast<int16_t*>(output), frames);
    return paContinue;
}

// Opens and starts a stream on the default device; an output with a ring
// is played by the callback, an input is read blocking.
PaStream* OpenStream(const PcmFormat& format, bool input, AudioBlockRing* ring) {
    if (!EnsurePortAudio()) {
        return nullptr;
    }
    std::lock_guard lock(StreamMutex());
    PaDeviceIndex device = input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
    if (info == nullptr) {
        return nullptr;
    }
    PaStreamParameters params{};
    params.device = device;
    params.channelCount = format.channels;
    params.sampleFormat = paInt16;
    params.suggestedLatency = input ? info->defaultHighInputLatency : info->defaultLowOutputLatency;
    const PaStreamParameters* in = input ? &params : nullptr;
    const PaStreamParameters* out = input ? nullptr : &params;
    if (Pa_IsFormatSupported(in, out, format.sampleRate) != paFormatIsSupported) {
        return nullptr;
    }
    PaStream* stream = nullptr;
    if (Pa_OpenStream(&stream, in, out, format.sampleRate, paFramesPerBufferUnspecified, paNoFlag,
                      ring != nullptr ? PlayCallback : nullptr, ring) != paNoError) {
        return nullptr;
    }
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        return nullptr;
    }
    return stream;
}

class PaOutput : public AudioOutput {
  public:
    PaOutput(std::unique_ptr<AudioBlockRing> ring, PaStream* stream)
        : ring_(std::move(ring)), stream_(stream) {}

    bool Write(const int16_t* samples, size_t frames) override {
        return ring_->Push(samples, frames);
    }

  private:
    // Declared first, destroyed last: the stream is closed before its ring goes.
    std::unique_ptr<AudioBlockRing> ring_;
    PaStreamOwner stream_;
};

class PaInput : public AudioInput {
  public:
    explicit PaInput(PaStream* stream) : stream_(stream) {}

    long Read(int16_t* samples, size_t frames, int timeoutMs) override {
        auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            long available = Pa_GetStreamReadAvailable(stream_.Get());
            if (available < 0) {
                return kEnded;  // the device went away
            }
            if (available > 0) {
                unsigned long n = std::min<unsigned long>(frames, available);
                PaError error = Pa_ReadStream(stream_.Get(), samples, n);
                return error == paNoError || error == paInputOverflowed ? static_cast<long>(n)
                                                                        : kEnded;
            }
            if (std::chrono::steady_clock::now() >= limit) {
                return 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

  private:
    PaStreamOwner stream_;
};

class PortAudioBackend : public AudioBackend {
  public:
    std::unique_ptr<AudioOutput> OpenOutput(const PcmFormat& format, const std::string&) override {
        auto ring = std::make_unique<AudioBlockRing>(format.channels);
        PaStream* stream = OpenStream(format, false, ring.get());
        return stream ? std::make_unique<PaOutput>(std::move(ring), stream) : nullptr;
    }
    std::unique_ptr<AudioInput> OpenInput(const PcmFormat& format, const std::string&) override {
        PaStream* stream = OpenStream(format, true, nullptr);
        return stream ? std::make_unique<PaInput>(stream) : nullptr;
    }
    bool HasOutputDevice() override {
        if (!EnsurePortAudio()) {
            return false;
        }
        std::lock_guard lock(StreamMutex());
        return Pa_GetDefaultOutputDevice() != paNoDevice;
    }
};

}  // namespace

std::unique_ptr<AudioBackend> MakePortAudioBackend() {
    return std::make_unique<PortAudioBackend>();
}

}  // namespace orbisight
