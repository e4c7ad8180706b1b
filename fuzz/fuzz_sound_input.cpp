// The sound a client takes from outside: AAC frames from a camera, cut into
// frames of arbitrary sizes and played through a sound output, and WAV files
// given to the command-line tool. The decode loop stays inside its area,
// and a WAV that parses holds whole sample frames of a supported format.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "media/AudioDevice.h"
#include "media/CWaveOut.h"
#include "media/WavFile.h"

using namespace orbisight;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::unique_ptr<AudioBackend> backend = [] {
        std::string error;
        return MakeAudioBackend("null", error);
    }();
    CWaveOut out(backend.get(), "fuzz");
    size_t at = 0;
    while (at < size) {
        // The first byte of each piece says how long it is.
        size_t length = std::min<size_t>(size - at, 1 + data[at] * 8);
        FrameHeader header;
        header.mediaType = mediatype::kAudio;
        header.rate = 8000;
        header.size = static_cast<uint32_t>(length);
        size_t before = out.BlocksPlayed() + out.BlocksDropped();
        size_t produced = out.Decode(data + at, length);
        if (produced > CWaveOut::kDecodedBytes) {
            std::abort();
        }
        out.PlayFrame(header, data + at, length);
        if (out.BlocksPlayed() + out.BlocksDropped() > before + 1) {
            std::abort();
        }
        at += length;
    }

    WavData wav;
    std::string error;
    if (ParseWav(data, size, "input", wav, error)) {
        if ((wav.channels != 1 && wav.channels != 2) || wav.samples.size() % wav.channels != 0 ||
            wav.samples.size() * 2 > size) {
            std::abort();
        }
        ToMonoAtRate(wav, 8000);
    }
    return 0;
}
