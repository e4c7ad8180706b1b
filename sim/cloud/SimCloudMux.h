#pragma once

#include <optional>
#include <string>

namespace orbisight::sim {

struct VideoClip;

// Puts a clip's H.264 pictures (Annex B, no B-frames) into a container that
// ordinary players open: "mp4", "avi" or "mpegts" (the libavformat muxer
// names). Nothing when the container cannot be written or the clip holds no
// pictures; `error` says why.
std::optional<std::string> MuxClip(const VideoClip& clip, const char* container,
                                   std::string& error);

}  // namespace orbisight::sim
