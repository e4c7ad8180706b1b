#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace orbisight {

// Writes 16-bit PCM to a WAV file. The header's sizes are brought up to date
// after every block, so the file is a valid WAV at any moment (a reader may
// open it while it grows), and once more at Close.
class WavWriter {
  public:
    WavWriter() = default;
    ~WavWriter() { Close(); }
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool Open(const std::string& path, int sampleRate, int channels);
    // samples: frames * channels interleaved values. False on a write error.
    bool Write(const int16_t* samples, size_t frames);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    uint64_t Frames() const { return frames_; }

  private:
    bool PatchSizes();

    std::FILE* file_ = nullptr;
    int channels_ = 1;
    uint64_t frames_ = 0;
};

// The samples of a WAV file, interleaved.
struct WavData {
    int sampleRate = 0;
    int channels = 0;
    std::vector<int16_t> samples;

    size_t Frames() const { return channels > 0 ? samples.size() / channels : 0; }
};

// Reads a 16-bit PCM WAV file (1 or 2 channels). False with a reason in
// error for a missing file, another format or a damaged header.
bool ReadWavFile(const std::string& path, WavData& out, std::string& error);
// The same on a file's bytes; path only names it in the reason.
bool ParseWav(const uint8_t* data, size_t size, const std::string& path, WavData& out,
              std::string& error);

// The same sound as mono at another rate (channels averaged, linear
// interpolation): what a microphone at that rate would have captured.
std::vector<int16_t> ToMonoAtRate(const WavData& in, int sampleRate);

}  // namespace orbisight
