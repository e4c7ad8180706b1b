#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "media/AudioDevice.h"
#include "media/MediaHooks.h"

namespace orbisight {

// The sound output of a live channel (and of the file player): decodes the
// camera's AAC frames with FAAD2, amplifies them and plays them.
//
// The output opens at the first frame, at a rate fixed for the output's life
// by OutputRateFor(frame rate), 2 channels, 16 bits. The decoder reads the
// stream's parameters from the first frame, which is not played. Used by one
// thread at a time (the channel's audio thread, the player's thread).
class CWaveOut : public AudioSink {
  public:
    // The decoded-sample area of one frame.
    static constexpr size_t kDecodedBytes = 10240;

    // backend null: the process's (ORBISIGHT_AUDIO). name tells the output's
    // files apart in the WAV backend.
    explicit CWaveOut(AudioBackend* backend = nullptr, std::string name = "sound");
    ~CWaveOut() override;
    CWaveOut(const CWaveOut&) = delete;
    CWaveOut& operator=(const CWaveOut&) = delete;

    // One received frame: opens the output at the first, decodes, plays.
    void PlayFrame(const FrameHeader& header, const uint8_t* payload, size_t size) override;

    // The steps of PlayFrame, for the file player.
    // Sets the output rate from the stream's rate and opens the output; only
    // the first call does anything. False when no output is open.
    bool SetRateAndOpen(uint32_t streamRate);
    // Decodes one AAC frame into the decoded-sample area; returns the bytes
    // produced (0 for the first frame, a damaged frame or no sound).
    size_t Decode(const uint8_t* frame, size_t size);
    const int16_t* Decoded() const { return decoded_.get(); }
    // Amplifies a block of interleaved samples and queues it on the output;
    // dropped when no output is open or the output stays full.
    void Play(const int16_t* samples, size_t bytes);

    // The output rate for a stream's rate: 16000 up to 8000, else twice the
    // rate (the decoder doubles the rate of such streams and gives 2
    // channels even for mono).
    static int OutputRateFor(uint32_t streamRate);
    // Multiplies every sample by 3, clamped to the 16-bit range.
    static void Amplify(int16_t* samples, size_t count);

    // Called once per output that finds no device (the window maps it to a
    // beep). Process-wide; set it before channels open.
    static void SetNoDeviceHandler(std::function<void()> handler);

    PcmFormat Format() const { return format_; }
    bool IsOpen() const { return output_ != nullptr; }
    uint64_t BlocksPlayed() const { return played_; }
    uint64_t BlocksDropped() const { return dropped_; }

  private:
    struct Decoder;

    AudioBackend& backend_;
    const std::string name_;
    PcmFormat format_;
    bool formatPending_ = true;
    std::unique_ptr<Decoder> decoder_;
    std::unique_ptr<int16_t[]> decoded_;
    std::unique_ptr<int16_t[]> block_;  // amplified copy handed to the output
    std::unique_ptr<AudioOutput> output_;
    uint64_t played_ = 0;
    uint64_t dropped_ = 0;
};

}  // namespace orbisight
