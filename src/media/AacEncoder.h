#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace orbisight {

// AAC LC encoding of mono 16-bit sound with FFmpeg's native encoder; every
// frame comes out with its ADTS header.
class AacEncoder {
  public:
    using FrameHandler = std::function<void(const uint8_t* adts, size_t size)>;

    // Opens the encoder for sampleRate (8000 or 16000 for talk). Ok() is
    // false when FFmpeg has no AAC encoder or refuses the rate.
    explicit AacEncoder(int sampleRate);
    ~AacEncoder();
    AacEncoder(const AacEncoder&) = delete;
    AacEncoder& operator=(const AacEncoder&) = delete;

    bool Ok() const { return context_ != nullptr; }
    int SampleRate() const { return sampleRate_; }
    // Samples the encoder takes per call (1024).
    int InputSamples() const;

    // Encodes what is given; samples short of a whole encoder frame wait for
    // the next call. Each finished frame goes to onFrame.
    void Encode(const int16_t* samples, size_t count, const FrameHandler& onFrame);
    // Encodes what is left and drains the encoder.
    void Finish(const FrameHandler& onFrame);

  private:
    struct Context;
    void Send(bool last, const FrameHandler& onFrame);

    int sampleRate_;
    std::unique_ptr<Context> context_;
    std::vector<int16_t> pending_;  // fewer than InputSamples()
};

}  // namespace orbisight
