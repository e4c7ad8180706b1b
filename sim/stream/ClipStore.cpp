#include "sim/stream/ClipStore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Files.h"

extern "C" {
#include <libavutil/crc.h>
}

namespace orbisight::sim {
namespace {

constexpr char kMagic[8] = {'O', 'R', 'B', 'I', 'C', 'L', 'I', 'P'};
constexpr uint32_t kFormatVersion = 1;
constexpr uint32_t kMaxKeyLength = 4096;
// A frame must fit the receiving channel's frame buffer.
constexpr uint32_t kMaxFrameBytes = 3110400;
constexpr size_t kMaxFileBytes = size_t{256} << 20;
constexpr uint8_t kKeyFlag = 1;

uint64_t Fnv1a(const std::string& text) {
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    return hash;
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    return av_crc(av_crc_get_table(AV_CRC_32_IEEE_LE), UINT32_MAX, data, size) ^ UINT32_MAX;
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// Reads little-endian fields from a byte range, never past its end.
class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool U32(uint32_t& value) {
        if (size_ - at_ < 4) {
            return false;
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            value |= static_cast<uint32_t>(data_[at_ + static_cast<size_t>(i)]) << (8 * i);
        }
        at_ += 4;
        return true;
    }
    bool U8(uint8_t& value) {
        if (size_ == at_) {
            return false;
        }
        value = data_[at_++];
        return true;
    }
    const uint8_t* Take(size_t count) {
        if (size_ - at_ < count) {
            return nullptr;
        }
        const uint8_t* taken = data_ + at_;
        at_ += count;
        return taken;
    }
    size_t Left() const { return size_ - at_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

bool StartsWithStartCode(const std::vector<uint8_t>& frame) {
    return (frame.size() >= 4 && frame[0] == 0 && frame[1] == 0 && frame[2] == 0 &&
            frame[3] == 1) ||
           (frame.size() >= 3 && frame[0] == 0 && frame[1] == 0 && frame[2] == 1);
}

// A key frame the decoder can start from carries a sequence parameter set.
bool HasSequenceParameterSet(const std::vector<uint8_t>& frame) {
    for (size_t i = 0; i + 3 < frame.size(); ++i) {
        if (frame[i] == 0 && frame[i + 1] == 0 && frame[i + 2] == 1 && (frame[i + 3] & 0x1F) == 7) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::filesystem::path ClipStore::FolderFromEnvironment() {
    if (const char* chosen = std::getenv("ORBISIGHT_SIM_CACHE"); chosen != nullptr) {
        std::string text = chosen;
        if (text.empty() || text == "off") {
            return {};
        }
        return text;
    }
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && *cache == '/') {
        return std::filesystem::path(cache) / "orbisight-sim";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        return std::filesystem::path(home) / ".cache" / "orbisight-sim";
    }
    return {};
}

ClipStore::ClipStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path ClipStore::FileFor(const VideoClipParams& params) const {
    char name[40];
    std::snprintf(name, sizeof name, "clip-%016llx.bin",
                  static_cast<unsigned long long>(Fnv1a(params.CacheKey())));
    return folder_ / name;
}

std::vector<uint8_t> ClipStore::Serialize(const VideoClip& clip) {
    std::string key = clip.params.CacheKey();
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    PutU32(out, kFormatVersion);
    PutU32(out, static_cast<uint32_t>(key.size()));
    out.insert(out.end(), key.begin(), key.end());
    PutU32(out, static_cast<uint32_t>(clip.frames.size()));
    for (const EncodedFrame& frame : clip.frames) {
        PutU32(out, static_cast<uint32_t>(frame.data.size()));
        out.push_back(frame.key ? kKeyFlag : 0);
    }
    for (const EncodedFrame& frame : clip.frames) {
        out.insert(out.end(), frame.data.begin(), frame.data.end());
    }
    PutU32(out, Crc32(out.data(), out.size()));
    return out;
}

std::shared_ptr<const VideoClip> ClipStore::Parse(const VideoClipParams& params,
                                                  const std::vector<uint8_t>& bytes) {
    if (bytes.size() < sizeof kMagic + 4 || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        return nullptr;
    }
    size_t body = bytes.size() - 4;
    Reader crcReader(bytes.data() + body, 4);
    uint32_t crc = 0;
    if (!crcReader.U32(crc) || crc != Crc32(bytes.data(), body)) {
        return nullptr;
    }
    Reader in(bytes.data() + sizeof kMagic, body - sizeof kMagic);
    uint32_t version = 0;
    uint32_t keyLength = 0;
    if (!in.U32(version) || version != kFormatVersion || !in.U32(keyLength) ||
        keyLength > kMaxKeyLength) {
        return nullptr;
    }
    const uint8_t* key = in.Take(keyLength);
    std::string expected = params.CacheKey();
    if (key == nullptr || expected.size() != keyLength ||
        std::memcmp(key, expected.data(), keyLength) != 0) {
        return nullptr;
    }
    uint32_t count = 0;
    if (!in.U32(count) || count != params.FrameCount()) {
        return nullptr;
    }
    auto clip = std::make_shared<VideoClip>();
    clip->params = params;
    clip->frames.resize(count);
    uint64_t total = 0;
    for (EncodedFrame& frame : clip->frames) {
        uint32_t size = 0;
        uint8_t flags = 0;
        if (!in.U32(size) || !in.U8(flags) || size == 0 || size > kMaxFrameBytes) {
            return nullptr;
        }
        frame.data.resize(size);
        frame.key = (flags & kKeyFlag) != 0;
        total += size;
    }
    if (total != in.Left()) {
        return nullptr;
    }
    for (EncodedFrame& frame : clip->frames) {
        const uint8_t* data = in.Take(frame.data.size());
        std::memcpy(frame.data.data(), data, frame.data.size());
        if (!StartsWithStartCode(frame.data) ||
            (frame.key && !HasSequenceParameterSet(frame.data))) {
            return nullptr;
        }
    }
    if (clip->frames.empty() || !clip->frames.front().key) {
        return nullptr;
    }
    clip->Measure();
    return clip;
}

std::shared_ptr<const VideoClip> ClipStore::Load(const VideoClipParams& params) const {
    if (folder_.empty()) {
        return nullptr;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(FileFor(params), bytes, kMaxFileBytes) || bytes.size() >= kMaxFileBytes) {
        return nullptr;
    }
    return Parse(params, bytes);
}

bool ClipStore::Save(const VideoClip& clip) const {
    if (folder_.empty() || clip.frames.empty() || clip.still) {
        return false;
    }
    std::vector<uint8_t> bytes = Serialize(clip);
    std::string error;
    if (!WriteFileAtomically(FileFor(clip.params), bytes.data(), bytes.size(), 0644, &error)) {
        std::fprintf(stderr, "sim: cannot keep the clip in %s: %s\n", folder_.c_str(),
                     error.c_str());
        return false;
    }
    return true;
}

}  // namespace orbisight::sim
