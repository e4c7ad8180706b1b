#include "media/WavFile.h"

#include <cstring>
#include <fstream>

namespace orbisight {
namespace {

constexpr size_t kHeaderSize = 44;
// A data chunk above this would not fit the 32-bit size fields.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - kHeaderSize;

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}
uint32_t Get16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
    return Get16(p) | (Get16(p + 2) << 16);
}

}  // namespace

bool WavWriter::Open(const std::string& path, int sampleRate, int channels) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        return false;
    }
    channels_ = channels;
    frames_ = 0;
    uint8_t header[kHeaderSize] = {};
    std::memcpy(header, "RIFF", 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, 16);
    Put16(header + 20, 1);  // PCM
    Put16(header + 22, static_cast<uint32_t>(channels));
    Put32(header + 24, static_cast<uint32_t>(sampleRate));
    Put32(header + 28, static_cast<uint32_t>(sampleRate * channels * 2));
    Put16(header + 32, static_cast<uint32_t>(channels * 2));
    Put16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    if (std::fwrite(header, 1, kHeaderSize, file_) != kHeaderSize || !PatchSizes()) {
        Close();
        return false;
    }
    return true;
}

bool WavWriter::PatchSizes() {
    uint64_t data = frames_ * static_cast<uint64_t>(channels_) * 2;
    uint8_t size[4];
    Put32(size, static_cast<uint32_t>(data + kHeaderSize - 8));
    bool ok = std::fseek(file_, 4, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
    Put32(size, static_cast<uint32_t>(data));
    ok = ok && std::fseek(file_, 40, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
    ok = ok && std::fseek(file_, 0, SEEK_END) == 0 && std::fflush(file_) == 0;
    return ok;
}

bool WavWriter::Write(const int16_t* samples, size_t frames) {
    if (file_ == nullptr) {
        return false;
    }
    size_t values = frames * static_cast<size_t>(channels_);
    if ((frames_ + frames) * static_cast<uint64_t>(channels_) * 2 > kMaxDataBytes) {
        return false;  // full: a WAV cannot say more
    }
    // Little-endian on disk whatever the host.
    std::vector<uint8_t> bytes(values * 2);
    for (size_t i = 0; i < values; ++i) {
        Put16(&bytes[i * 2], static_cast<uint16_t>(samples[i]));
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        return false;
    }
    frames_ += frames;
    return PatchSizes();
}

void WavWriter::Close() {
    if (file_ != nullptr) {
        PatchSizes();
        std::fclose(file_);
        file_ = nullptr;
    }
}

bool ReadWavFile(const std::string& path, WavData& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    return ParseWav(bytes.data(), bytes.size(), path, out, error);
}

bool ParseWav(const uint8_t* data, size_t size, const std::string& path, WavData& out,
              std::string& error) {
    out = WavData();
    const std::vector<uint8_t> bytes(data, data + size);
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = path + " is not a WAV file";
        return false;
    }
    bool haveFormat = false;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint8_t* chunk = bytes.data() + at;
        uint64_t size = Get32(chunk + 4);
        size_t body = at + 8;
        uint64_t available = bytes.size() - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || size > available) {
                error = path + ": damaged format chunk";
                return false;
            }
            uint32_t format = Get16(chunk + 8);
            out.channels = static_cast<int>(Get16(chunk + 10));
            out.sampleRate = static_cast<int>(Get32(chunk + 12));
            uint32_t bits = Get16(chunk + 22);
            if (format != 1 || bits != 16) {
                error = path + ": only 16-bit PCM is supported (format " + std::to_string(format) +
                        ", " + std::to_string(bits) + " bits)";
                return false;
            }
            if (out.channels < 1 || out.channels > 2 || out.sampleRate < 1000 ||
                out.sampleRate > 192000) {
                error = path + ": only mono or stereo at 1000..192000 Hz is supported";
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                error = path + ": data before the format chunk";
                return false;
            }
            // A writer that died before patching the size leaves it short or
            // huge: take what is there.
            uint64_t length = std::min<uint64_t>(size, available);
            size_t frameBytes = static_cast<size_t>(out.channels) * 2;
            length -= length % frameBytes;
            out.samples.resize(length / 2);
            for (size_t i = 0; i < out.samples.size(); ++i) {
                out.samples[i] = static_cast<int16_t>(Get16(bytes.data() + body + i * 2));
            }
            return true;
        }
        at = body + static_cast<size_t>(std::min<uint64_t>(size + (size & 1), available));
    }
    error = path + ": no sound data";
    return false;
}

std::vector<int16_t> ToMonoAtRate(const WavData& in, int sampleRate) {
    size_t frames = in.Frames();
    std::vector<double> mono(frames);
    for (size_t i = 0; i < frames; ++i) {
        double sum = 0;
        for (int c = 0; c < in.channels; ++c) {
            sum += in.samples[i * in.channels + c];
        }
        mono[i] = sum / in.channels;
    }
    if (frames == 0 || in.sampleRate <= 0 || sampleRate <= 0) {
        return {};
    }
    size_t outFrames = static_cast<size_t>(static_cast<uint64_t>(frames) * sampleRate /
                                           static_cast<uint64_t>(in.sampleRate));
    std::vector<int16_t> out(outFrames);
    double step = static_cast<double>(in.sampleRate) / sampleRate;
    for (size_t i = 0; i < outFrames; ++i) {
        double x = i * step;
        size_t k = static_cast<size_t>(x);
        double f = x - k;
        double a = mono[std::min(k, frames - 1)];
        double b = mono[std::min(k + 1, frames - 1)];
        out[i] = static_cast<int16_t>(a + (b - a) * f);
    }
    return out;
}

}  // namespace orbisight
