#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace orbisight {

// 16-bit signed samples, interleaved by channel.
struct PcmFormat {
    int sampleRate = 16000;
    int channels = 2;

    int BlockAlign() const { return channels * 2; }
    int BytesPerSecond() const { return sampleRate * BlockAlign(); }
};

// A sound output opened for one format.
class AudioOutput {
  public:
    // Blocks the device holds before Write has to wait for room.
    static constexpr int kMaxQueuedBlocks = 16;
    // The longest Write ever waits for room.
    static constexpr int kMaxWaitMs = 20;

    virtual ~AudioOutput() = default;
    // Queues one block of `frames` sample frames. When the device is full it
    // waits at most kMaxWaitMs for room; false: the block was dropped.
    virtual bool Write(const int16_t* samples, size_t frames) = 0;
};

// A microphone opened for one format.
class AudioInput {
  public:
    static constexpr long kEnded = -1;

    virtual ~AudioInput() = default;
    // Waits up to timeoutMs for captured sound and copies up to `frames`
    // sample frames. Returns the frames copied (0 on time-out), or kEnded when
    // the input has no more to give (a file that ran out).
    virtual long Read(int16_t* samples, size_t frames, int timeoutMs) = 0;
};

// Where sound goes and comes from. Both calls are safe from any thread.
class AudioBackend {
  public:
    virtual ~AudioBackend() = default;
    // Null when there is no output device (or it refuses the format).
    // `name` tells outputs apart (file names of the WAV backend).
    virtual std::unique_ptr<AudioOutput> OpenOutput(const PcmFormat& format,
                                                    const std::string& name) = 0;
    // Null when there is no microphone (or it refuses the format).
    virtual std::unique_ptr<AudioInput> OpenInput(const PcmFormat& format,
                                                  const std::string& name) = 0;
    // False when the system has no output device at all (an output that
    // only refused a format is not missing).
    virtual bool HasOutputDevice() { return true; }
};

// A backend from its description, as in ORBISIGHT_AUDIO:
//   "" or "portaudio"  the sound card (PortAudio);
//   "null"             no device: output is accepted and dropped, there is no
//                      microphone;
//   "wav:DIR"          output is written to DIR/<name>-out-<n>.wav; the
//                      microphone is the WAV file `inputWav` (when empty, the
//                      file named by ORBISIGHT_AUDIO_INPUT; with neither there
//                      is no microphone), played in real time and written
//                      as captured to DIR/<name>-in-<n>.wav.
// Null with a reason for an unknown description.
std::unique_ptr<AudioBackend> MakeAudioBackend(const std::string& description, std::string& error,
                                               const std::string& inputWav = {});

// A backend whose microphone is the WAV file inputWav (played in real time)
// and whose output drops what it is given; it writes no files.
std::unique_ptr<AudioBackend> MakeFileMicrophone(const std::string& inputWav);

// The process's backend, made from ORBISIGHT_AUDIO at the first call (an
// unknown value gives the null backend and a line on stderr).
AudioBackend& DefaultAudioBackend();

// The PortAudio backend (PortAudioBackend.cpp). PortAudio is initialised at
// the first open, once per process; a machine without any sound device gets
// null outputs and inputs.
std::unique_ptr<AudioBackend> MakePortAudioBackend();

}  // namespace orbisight
