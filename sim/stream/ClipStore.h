#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/stream/VideoClip.h"

namespace orbisight::sim {

// Encoded clips kept on disk between runs of the simulator, one file per
// clip, named by a hash of VideoClipParams::CacheKey(). A file is written
// atomically and checked whole when read (magic, the full key, frame count
// and sizes, start codes, a parameter set in every key frame, CRC-32), so a
// torn, stale or foreign file is encoded again rather than streamed.
class ClipStore {
  public:
    // Where the simulator keeps clips: $ORBISIGHT_SIM_CACHE when set ("off"
    // or empty: nowhere), else $XDG_CACHE_HOME/orbisight-sim, else
    // ~/.cache/orbisight-sim. Empty: no disk cache.
    static std::filesystem::path FolderFromEnvironment();

    explicit ClipStore(std::filesystem::path folder);

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path FileFor(const VideoClipParams& params) const;

    // The clip stored for this params, or null (none, or not sound).
    std::shared_ptr<const VideoClip> Load(const VideoClipParams& params) const;
    // False when the file could not be written (the clip is still usable).
    bool Save(const VideoClip& clip) const;

    // The file's bytes for a clip, and the clip back from them (null when the
    // bytes are not a sound file for this params). Exposed for the tests.
    static std::vector<uint8_t> Serialize(const VideoClip& clip);
    static std::shared_ptr<const VideoClip> Parse(const VideoClipParams& params,
                                                  const std::vector<uint8_t>& bytes);

  private:
    std::filesystem::path folder_;
};

}  // namespace orbisight::sim
