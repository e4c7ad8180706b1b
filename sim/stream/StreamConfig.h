#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "sim/stream/VideoClip.h"

namespace orbisight::sim {

// One of the camera's two streams.
struct StreamProfile {
    int width = 1280;
    int height = 720;
    int fps = 25;
    int gop = 25;
    int bitRate = 2000000;
};

// A fault the streaming side plays on purpose, for tests.
struct StreamFault {
    enum class Mode {
        kNone,
        kDrop,             // close the connection mid-stream
        kStall,            // keep the connection but send nothing more
        kOversizeFrame,    // a frame header whose size runs past the "Data" value
        kOverlongMessage,  // a whole message longer than a live channel accepts
        kTimeJump,         // the camera clock jumps forward by jumpMs
        kTimeRewind,       // the camera clock goes back by jumpMs
    };
    Mode mode = Mode::kNone;
    int afterFrames = 50;  // video frames sent on a connection before it acts
    int every = 0;         // then again every N frames (0: once)
    int jumpMs = 5000;

    // True when the fault acts at the video frame with this (0-based) index,
    // counted from the start of the connection or from the moment the fault
    // was set. A drop or a stall acts once its frame has come.
    bool ActsAt(long frame) const {
        if (mode == Mode::kNone || frame < afterFrames) {
            return false;
        }
        if (mode == Mode::kDrop || mode == Mode::kStall) {
            return true;
        }
        return frame == afterFrames || (every > 0 && (frame - afterFrames) % every == 0);
    }
};

// The "stream" object of a camera's configuration (see docs/media.md), with
// the camera keys the streaming side reads ("id", "name", "ptz").
struct StreamConfig {
    std::string id;
    std::string name = "Camera";
    bool ptz = false;
    StreamProfile main;
    StreamProfile sub{640, 360, 25, 25, 512000};
    int clipSeconds = 4;
    std::string preset = VideoClipParams().preset;
    // Live encoding runs all the time a client watches: the cheapest preset.
    std::string livePreset = "ultrafast";
    bool audio = true;
    // Where the camera keeps the talk audio it receives: DIR/<id>-talk.aac,
    // the ADTS frames as they came. Empty: kept nowhere. From "talk_dir",
    // else $ORBISIGHT_SIM_TALK_DIR.
    std::string talkDir;
    bool liveEncoding = false;  // default: live for pan/tilt cameras, clips otherwise
    int framesPerMessage = 1;
    StreamFault fault;
};

StreamConfig ParseStreamConfig(const nlohmann::json& camera);
// A fault given as a mode name or as {"mode", "after_frames", "every",
// "jump_ms"}. Unknown modes give kNone and set ok to false.
StreamFault ParseStreamFault(const nlohmann::json& fault, bool* ok = nullptr);

}  // namespace orbisight::sim
