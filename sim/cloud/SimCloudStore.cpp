#include "sim/cloud/SimCloudStore.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "media/SnapshotWriter.h"
#include "sim/cloud/SimCloudMux.h"
#include "sim/stream/VideoClip.h"

namespace orbisight::sim {

namespace {

constexpr size_t kMaxGeneratedBytes = 256u << 20;

// "HH:MM:SS" today (local time) or a number of seconds since 1970.
int32_t RecordingTime(const nlohmann::json& value) {
    if (value.is_number_integer()) {
        return value.get<int32_t>();
    }
    int h = 0;
    int m = 0;
    int s = 0;
    char rest = 0;
    if (!value.is_string() ||
        std::sscanf(value.get<std::string>().c_str(), "%d:%d:%d%c", &h, &m, &s, &rest) != 3 ||
        h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) {
        throw std::runtime_error("cloud: a recording's \"time\" must be HH:MM:SS or a number: " +
                                 value.dump());
    }
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    local.tm_hour = h;
    local.tm_min = m;
    local.tm_sec = s;
    local.tm_isdst = -1;
    return static_cast<int32_t>(std::mktime(&local));
}

void PutLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    }
}

void PutBe32(std::string& out, uint32_t v) {
    for (int i = 3; i >= 0; --i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    }
}

// A box: size, type, payload.
std::string Box(const char* type, const std::string& payload) {
    std::string box;
    PutBe32(box, static_cast<uint32_t>(8 + payload.size()));
    box.append(type, 4);
    box += payload;
    return box;
}

// ftyp + moov with a movie header and no tracks: the smallest file MP4
// readers accept (used only when no H.264 encoder is at hand).
std::string MinimalMp4() {
    std::string ftyp;
    ftyp += "isom";
    PutBe32(ftyp, 0x200);
    ftyp += "isomiso2mp41";
    std::string mvhd(4, '\0');           // version 0, flags 0
    PutBe32(mvhd, 0);                    // creation time
    PutBe32(mvhd, 0);                    // modification time
    PutBe32(mvhd, 1000);                 // time scale
    PutBe32(mvhd, 0);                    // duration
    PutBe32(mvhd, 0x00010000);           // rate 1.0
    mvhd += std::string("\x01\x00", 2);  // volume 1.0
    mvhd += std::string(10, '\0');       // reserved
    const uint32_t matrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
    for (uint32_t v : matrix) {
        PutBe32(mvhd, v);
    }
    mvhd += std::string(24, '\0');  // pre-defined
    PutBe32(mvhd, 1);               // next track ID
    return Box("ftyp", ftyp) + Box("moov", Box("mvhd", mvhd));
}

// One second of null packets (PID 0x1fff) of a transport stream.
std::string NullTransportStream() {
    std::string ts;
    for (int i = 0; i < 16; ++i) {
        std::string packet(188, static_cast<char>(0xff));
        packet[0] = 0x47;
        packet[1] = 0x1f;
        packet[2] = static_cast<char>(0xff);
        packet[3] = 0x10;
        ts += packet;
    }
    return ts;
}

// A JPEG of a small gradient.
std::string SmallJpeg() {
    constexpr int kWidth = 64;
    constexpr int kHeight = 48;
    std::vector<uint32_t> pixels(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            pixels[y * kWidth + x] =
                0xff000000u | (uint32_t(x * 4) << 16) | (uint32_t(y * 5) << 8) | 0x80u;
        }
    }
    std::vector<uint8_t> out;
    std::string error;
    if (!EncodeImage(ImageFormat::kJpeg, pixels.data(), kWidth, kHeight, out, error)) {
        throw std::runtime_error("cloud: cannot make a JPEG: " + error);
    }
    return std::string(out.begin(), out.end());
}

// A one-second clip of the still picture in the ".264" record format.
std::string RecordClip(const std::string& name) {
    VideoClipParams params;
    params.name = name;
    params.width = 320;
    params.height = 180;
    params.fps = 5;
    params.gop = 5;
    params.bitRate = 200000;
    params.seconds = 1;
    auto clip = EncodeStillClip(params);
    if (!clip || clip->frames.empty()) {
        // Without an encoder the recording still transfers; it just does
        // not play.
        std::fprintf(stderr, "orbisight-sim: cloud: no H.264 encoder; %s gets pattern bytes\n",
                     name.c_str());
        return *SimCloudStore::Pattern(4096, 1);
    }
    std::string file;
    uint32_t stamp = 0;
    for (const auto& frame : clip->frames) {
        PutLe32(file, frame.key ? 1 : 0);
        PutLe32(file, 1);  // video
        PutLe32(file, static_cast<uint32_t>(frame.data.size()));
        PutLe32(file, static_cast<uint32_t>(params.fps));
        PutLe32(file, stamp);
        PutLe32(file, 0);
        PutLe32(file, 0);
        file.append(reinterpret_cast<const char*>(frame.data.data()), frame.data.size());
        stamp += 1000 / params.fps;
    }
    return file;
}

// Four seconds of the moving test scene in a container ("mp4", "avi",
// "mpegts"), as a camera's cloud upload would hold it; `fallback` when no
// H.264 encoder is at hand or the container cannot be written.
std::string ContainerClip(const std::string& name, const char* container,
                          std::string (*fallback)()) {
    VideoClipParams params;
    params.name = name;
    params.width = 320;
    params.height = 180;
    params.fps = 10;
    params.gop = 10;
    params.bitRate = 200000;
    params.seconds = 4;
    params.preset = "ultrafast";
    auto clip = EncodeVideoClip(params);
    std::string error = "no H.264 encoder";
    if (clip && !clip->frames.empty()) {
        if (auto bytes = MuxClip(*clip, container, error)) {
            return std::move(*bytes);
        }
    }
    std::fprintf(stderr, "orbisight-sim: cloud: %s for %s (%s): a stand-in file instead\n",
                 error.c_str(), name.c_str(), container);
    return fallback();
}

std::string PatternAvi() {
    return *SimCloudStore::Pattern(4096, 2);
}

}  // namespace

std::shared_ptr<const std::string> SimCloudStore::Pattern(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x);
    }
    return std::make_shared<const std::string>(std::move(bytes));
}

std::shared_ptr<const std::string> SimCloudStore::MakeContent(int32_t type, const std::string& name,
                                                              size_t size) {
    if (size > 0) {
        return Pattern(size,
                       static_cast<uint32_t>(type) * 7919u + static_cast<uint32_t>(name.size()));
    }
    switch (type) {
        case 3:
            return std::make_shared<const std::string>(SmallJpeg());
        case 4:
            return std::make_shared<const std::string>(ContainerClip(name, "mp4", MinimalMp4));
        case 5:
            return std::make_shared<const std::string>(
                ContainerClip(name, "mpegts", NullTransportStream));
        case 2:
            return std::make_shared<const std::string>(ContainerClip(name, "avi", PatternAvi));
        default:
            return std::make_shared<const std::string>(RecordClip(name));
    }
}

void SimCloudStore::Load(const nlohmann::json& cameras, const std::filesystem::path& configDir) {
    if (!cameras.is_array()) {
        throw std::runtime_error("cloud: \"cameras\" must be an array");
    }
    for (const auto& camera : cameras) {
        std::string id = camera.value("id", "");
        if (id.empty()) {
            throw std::runtime_error("cloud: a camera without \"id\": " + camera.dump());
        }
        auto recordings = camera.find("recordings");
        if (recordings == camera.end() || !recordings->is_array()) {
            continue;
        }
        for (const auto& r : *recordings) {
            int32_t time = RecordingTime(r.value("time", nlohmann::json("00:00:00")));
            int32_t type = r.value("type", 1);
            int32_t status = r.value("status", 1);
            std::shared_ptr<const std::string> bytes;
            if (auto source = r.find("source"); source != r.end()) {
                std::filesystem::path path = source->get<std::string>();
                if (path.is_relative()) {
                    path = configDir / path;
                }
                std::ifstream in(path, std::ios::binary);
                if (!in) {
                    throw std::runtime_error("cloud: cannot read " + path.string());
                }
                bytes = std::make_shared<const std::string>(std::istreambuf_iterator<char>(in),
                                                            std::istreambuf_iterator<char>());
            } else {
                int64_t size = r.value("bytes", int64_t{0});
                if (size < 0 || static_cast<uint64_t>(size) > kMaxGeneratedBytes) {
                    throw std::runtime_error("cloud: \"bytes\" out of range: " + r.dump());
                }
                bytes = MakeContent(type, id, static_cast<size_t>(size));
            }
            Add(id, time, type, status, std::move(bytes));
        }
    }
}

int32_t SimCloudStore::Add(const std::string& cameraId, int32_t time, int32_t type, int32_t status,
                           std::shared_ptr<const std::string> bytes) {
    std::lock_guard lock(mutex_);
    SimCloudRecording recording;
    recording.time = time;
    recording.type = type;
    recording.status = status;
    recording.token = nextToken_++;
    recording.bytes = std::move(bytes);
    auto& list = cameras_[cameraId];
    // One recording per time and type: a new one replaces the old.
    std::erase_if(list,
                  [&](const SimCloudRecording& r) { return r.time == time && r.type == type; });
    list.push_back(recording);
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
        return a.time != b.time ? a.time < b.time : a.type < b.type;
    });
    return recording.token;
}

std::vector<SimCloudRecording> SimCloudStore::Find(const std::string& cameraId, int64_t start,
                                                   int64_t end) const {
    std::lock_guard lock(mutex_);
    std::vector<SimCloudRecording> found;
    auto it = cameras_.find(cameraId);
    if (it == cameras_.end()) {
        return found;
    }
    for (const auto& r : it->second) {
        if (r.time >= start && r.time <= end) {
            found.push_back(r);
        }
    }
    return found;
}

bool SimCloudStore::Get(const std::string& cameraId, int32_t time, int32_t type,
                        SimCloudRecording& out) const {
    std::lock_guard lock(mutex_);
    auto it = cameras_.find(cameraId);
    if (it == cameras_.end()) {
        return false;
    }
    for (const auto& r : it->second) {
        if (r.time == time && r.type == type) {
            out = r;
            return true;
        }
    }
    return false;
}

size_t SimCloudStore::CameraCount() const {
    std::lock_guard lock(mutex_);
    return cameras_.size();
}

}  // namespace orbisight::sim
