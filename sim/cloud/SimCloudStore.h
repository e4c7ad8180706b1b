#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace orbisight::sim {

// One recording kept by the simulated cloud storage.
struct SimCloudRecording {
    int32_t time = 0;    // seconds since 1970
    int32_t type = 1;    // 1 ".264", 2 ".avi", 3 ".jpg", 4 ".mp4", 5 ".ts"
    int32_t status = 1;  // 0 broken
    int32_t token = 0;   // the download token handed out by "info"
    std::shared_ptr<const std::string> bytes;
};

// The recordings of every camera. Any thread.
class SimCloudStore {
  public:
    // "cameras": [{"id", "recordings": [{"time", "type", "status", "source",
    // "bytes"}]}]; see docs/simulator.md. Throws std::runtime_error on a bad
    // entry. Relative sources are taken from configDir.
    void Load(const nlohmann::json& cameras, const std::filesystem::path& configDir);

    // Adds one recording and returns its token.
    int32_t Add(const std::string& cameraId, int32_t time, int32_t type, int32_t status,
                std::shared_ptr<const std::string> bytes);

    // The camera's recordings with start in [start, end], by time and type.
    std::vector<SimCloudRecording> Find(const std::string& cameraId, int64_t start,
                                        int64_t end) const;
    // The recording of that time and type; false when there is none.
    bool Get(const std::string& cameraId, int32_t time, int32_t type, SimCloudRecording& out) const;
    size_t CameraCount() const;

    // Contents made up for a type: a record-format ".264" clip, a JPEG, or
    // a few seconds of H.264 video in an MP4, AVI or transport stream;
    // `size` > 0 gives that many pattern bytes instead.
    static std::shared_ptr<const std::string> MakeContent(int32_t type, const std::string& name,
                                                          size_t size);
    // Deterministic bytes for transfer checks.
    static std::shared_ptr<const std::string> Pattern(size_t size, uint32_t seed);

  private:
    mutable std::mutex mutex_;
    std::map<std::string, std::vector<SimCloudRecording>> cameras_;  // protected by mutex_
    int32_t nextToken_ = 1;                                          // protected by mutex_
};

}  // namespace orbisight::sim
