#include "sim/stream/StreamConfig.h"

#include <cstdlib>

#include <algorithm>
#include <cstdio>

namespace orbisight::sim {
namespace {

int Number(const nlohmann::json& object, const char* key, int fallback, int low, int high) {
    if (!object.is_object() || !object.contains(key) || !object[key].is_number()) {
        return fallback;
    }
    return std::clamp(object[key].get<int>(), low, high);
}

StreamProfile ParseProfile(const nlohmann::json& object, StreamProfile profile) {
    // Even sizes: 4:2:0 pictures.
    profile.width = Number(object, "width", profile.width, 16, 3840) & ~1;
    profile.height = Number(object, "height", profile.height, 16, 2160) & ~1;
    profile.fps = Number(object, "fps", profile.fps, 1, 60);
    profile.gop = Number(object, "gop", profile.gop, 1, 600);
    profile.bitRate = Number(object, "bitrate", profile.bitRate, 50000, 20000000);
    return profile;
}

}  // namespace

StreamFault ParseStreamFault(const nlohmann::json& fault, bool* ok) {
    StreamFault result;
    std::string mode;
    if (fault.is_string()) {
        mode = fault.get<std::string>();
    } else if (fault.is_object() && fault.contains("mode") && fault["mode"].is_string()) {
        mode = fault["mode"].get<std::string>();
        result.afterFrames = Number(fault, "after_frames", result.afterFrames, 0, 1 << 30);
        result.every = Number(fault, "every", result.every, 0, 1 << 30);
        result.jumpMs = Number(fault, "jump_ms", result.jumpMs, 0, 1 << 30);
    }
    bool known = true;
    if (mode.empty() || mode == "none") {
        result.mode = StreamFault::Mode::kNone;
    } else if (mode == "drop") {
        result.mode = StreamFault::Mode::kDrop;
    } else if (mode == "stall") {
        result.mode = StreamFault::Mode::kStall;
    } else if (mode == "oversize_frame") {
        result.mode = StreamFault::Mode::kOversizeFrame;
    } else if (mode == "overlong_message") {
        result.mode = StreamFault::Mode::kOverlongMessage;
    } else if (mode == "time_jump") {
        result.mode = StreamFault::Mode::kTimeJump;
    } else if (mode == "time_rewind") {
        result.mode = StreamFault::Mode::kTimeRewind;
    } else {
        known = false;
        result.mode = StreamFault::Mode::kNone;
    }
    if (ok != nullptr) {
        *ok = known;
    }
    return result;
}

StreamConfig ParseStreamConfig(const nlohmann::json& camera) {
    StreamConfig config;
    if (!camera.is_object()) {
        return config;
    }
    if (camera.contains("id") && camera["id"].is_string()) {
        config.id = camera["id"].get<std::string>();
    }
    if (camera.contains("name") && camera["name"].is_string()) {
        config.name = camera["name"].get<std::string>();
    }
    config.ptz = camera.value("ptz", false);
    config.liveEncoding = config.ptz;
    if (const char* dir = std::getenv("ORBISIGHT_SIM_TALK_DIR"); dir != nullptr) {
        config.talkDir = dir;  // a camera's own "talk_dir" wins
    }
    const nlohmann::json stream = camera.contains("stream") ? camera["stream"] : nlohmann::json();
    if (!stream.is_object()) {
        return config;
    }
    if (stream.contains("main")) {
        config.main = ParseProfile(stream["main"], config.main);
    }
    if (stream.contains("sub")) {
        config.sub = ParseProfile(stream["sub"], config.sub);
    }
    config.clipSeconds = Number(stream, "clip_seconds", config.clipSeconds, 1, 60);
    config.framesPerMessage = Number(stream, "frames_per_message", 1, 1, 8);
    if (stream.contains("preset") && stream["preset"].is_string()) {
        config.preset = stream["preset"].get<std::string>();
    }
    if (stream.contains("live_preset") && stream["live_preset"].is_string()) {
        config.livePreset = stream["live_preset"].get<std::string>();
    }
    config.audio = stream.value("audio", true);
    if (stream.contains("talk_dir") && stream["talk_dir"].is_string()) {
        config.talkDir = stream["talk_dir"].get<std::string>();
    }
    if (stream.contains("encode") && stream["encode"].is_string()) {
        config.liveEncoding = stream["encode"].get<std::string>() == "live";
    }
    if (stream.contains("fault")) {
        bool ok = true;
        config.fault = ParseStreamFault(stream["fault"], &ok);
        if (!ok) {
            std::fprintf(stderr, "sim %s: unknown stream fault %s\n", config.id.c_str(),
                         stream["fault"].dump().c_str());
        }
    }
    return config;
}

}  // namespace orbisight::sim
