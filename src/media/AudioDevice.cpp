#include "media/AudioDevice.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "media/WavFile.h"

namespace orbisight {
namespace {

class DroppingOutput : public AudioOutput {
  public:
    bool Write(const int16_t*, size_t) override { return true; }
};

class NullBackend : public AudioBackend {
  public:
    std::unique_ptr<AudioOutput> OpenOutput(const PcmFormat&, const std::string&) override {
        return std::make_unique<DroppingOutput>();
    }
    std::unique_ptr<AudioInput> OpenInput(const PcmFormat&, const std::string&) override {
        return nullptr;
    }
};

class WavOutput : public AudioOutput {
  public:
    bool Open(const std::string& path, const PcmFormat& format) {
        return writer_.Open(path, format.sampleRate, format.channels);
    }
    bool Write(const int16_t* samples, size_t frames) override {
        return writer_.Write(samples, frames);
    }

  private:
    WavWriter writer_;
};

// A file played as a microphone: it gives its sound no faster than a real
// one would, and keeps a copy of what it gave.
class WavInput : public AudioInput {
  public:
    WavInput(std::vector<int16_t> samples, int sampleRate)
        : samples_(std::move(samples)), sampleRate_(sampleRate) {}

    // copyPath empty: no copy is kept.
    bool Open(const std::string& copyPath) {
        start_ = std::chrono::steady_clock::now();
        return copyPath.empty() || copy_.Open(copyPath, sampleRate_, 1);
    }

    long Read(int16_t* samples, size_t frames, int timeoutMs) override {
        if (given_ >= samples_.size()) {
            return kEnded;
        }
        frames = std::min(frames, samples_.size() - given_);
        // Due when the last of these samples has been "spoken".
        auto due = start_ + std::chrono::microseconds((given_ + frames) * 1000000 / sampleRate_);
        auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        if (due > limit) {
            std::this_thread::sleep_until(limit);
            return 0;
        }
        std::this_thread::sleep_until(due);
        std::copy_n(samples_.begin() + static_cast<long>(given_), frames, samples);
        if (copy_.IsOpen()) {
            copy_.Write(samples, frames);
        }
        given_ += frames;
        return static_cast<long>(frames);
    }

  private:
    std::vector<int16_t> samples_;
    int sampleRate_;
    size_t given_ = 0;
    std::chrono::steady_clock::time_point start_;
    WavWriter copy_;
};

class WavBackend : public AudioBackend {
  public:
    WavBackend(std::string dir, std::string inputWav)
        : dir_(std::move(dir)), inputWav_(std::move(inputWav)) {}

    std::unique_ptr<AudioOutput> OpenOutput(const PcmFormat& format,
                                            const std::string& name) override {
        if (dir_.empty()) {
            return std::make_unique<DroppingOutput>();
        }
        auto output = std::make_unique<WavOutput>();
        std::string path = PathFor(name, "out");
        if (!output->Open(path, format)) {
            std::fprintf(stderr, "orbisight: cannot write %s\n", path.c_str());
            return nullptr;
        }
        return output;
    }

    std::unique_ptr<AudioInput> OpenInput(const PcmFormat& format,
                                          const std::string& name) override {
        if (inputWav_.empty()) {
            return nullptr;
        }
        WavData wav;
        std::string error;
        if (!ReadWavFile(inputWav_, wav, error)) {
            std::fprintf(stderr, "orbisight: microphone file: %s\n", error.c_str());
            return nullptr;
        }
        auto input =
            std::make_unique<WavInput>(ToMonoAtRate(wav, format.sampleRate), format.sampleRate);
        if (format.channels != 1 || !input->Open(dir_.empty() ? "" : PathFor(name, "in"))) {
            return nullptr;
        }
        return input;
    }

  private:
    std::string PathFor(const std::string& name, const char* direction) {
        std::string safe = name.empty() ? "sound" : name;
        std::replace(safe.begin(), safe.end(), '/', '-');
        return dir_ + "/" + safe + "-" + direction + "-" + std::to_string(counter_.fetch_add(1)) +
               ".wav";
    }

    std::string dir_;
    std::string inputWav_;
    std::atomic<int> counter_{0};
};

}  // namespace

std::unique_ptr<AudioBackend> MakeAudioBackend(const std::string& description, std::string& error,
                                               const std::string& inputWav) {
    if (description.empty() || description == "portaudio") {
        return MakePortAudioBackend();
    }
    if (description == "null") {
        return std::make_unique<NullBackend>();
    }
    if (description.rfind("wav:", 0) == 0 && description.size() > 4) {
        std::string input = inputWav;
        if (input.empty()) {
            const char* fromEnv = std::getenv("ORBISIGHT_AUDIO_INPUT");
            input = fromEnv != nullptr ? fromEnv : "";
        }
        return std::make_unique<WavBackend>(description.substr(4), input);
    }
    error = "unknown sound backend \"" + description + "\" (portaudio, null or wav:DIR)";
    return nullptr;
}

std::unique_ptr<AudioBackend> MakeFileMicrophone(const std::string& inputWav) {
    return std::make_unique<WavBackend>("", inputWav);
}

AudioBackend& DefaultAudioBackend() {
    static std::unique_ptr<AudioBackend> backend = [] {
        const char* value = std::getenv("ORBISIGHT_AUDIO");
        std::string error;
        auto made = MakeAudioBackend(value != nullptr ? value : "", error);
        if (!made) {
            std::fprintf(stderr, "orbisight: ORBISIGHT_AUDIO: %s; no sound\n", error.c_str());
            made = std::make_unique<NullBackend>();
        }
        return made;
    }();
    return *backend;
}

}  // namespace orbisight
