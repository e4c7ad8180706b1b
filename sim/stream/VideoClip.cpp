#include "sim/stream/VideoClip.h"

#include <algorithm>
#include <cstdio>

#include "sim/stream/TestScene.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace orbisight::sim {
namespace {

// Raise this whenever the test scene or the encoder settings change what a
// clip's bytes are: clips cached on disk by an older simulator are then
// encoded again instead of being reused.
constexpr int kSceneRevision = 2;

std::string ClipClock(int index, int fps) {
    int centis = static_cast<int>(static_cast<int64_t>(index) * 100 / std::max(1, fps));
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d.%02d  #%d", centis / 6000, (centis / 100) % 60,
                  centis % 100, index);
    return text;
}

H264Settings SettingsFor(const VideoClipParams& params) {
    H264Settings settings;
    settings.width = params.width;
    settings.height = params.height;
    settings.fps = params.fps;
    settings.gop = params.gop;
    settings.bitRate = params.bitRate;
    settings.preset = params.preset;
    return settings;
}

}  // namespace

size_t VideoClipParams::FrameCount() const {
    size_t groups = static_cast<size_t>(std::max(1, gop));
    size_t wanted = static_cast<size_t>(std::max(1, seconds) * std::max(1, fps));
    return (wanted + groups - 1) / groups * groups;
}

std::string VideoClipParams::CacheKey() const {
    char text[256];
    std::snprintf(text, sizeof text, "scene %d|libavcodec %u|%s|%dx%d|%d fps|gop %d|%d bps|%d s|%s",
                  kSceneRevision, avcodec_version(), H264EncoderName().c_str(), width, height, fps,
                  gop, bitRate, seconds, preset.c_str());
    // The name last and whole: it may hold any character.
    return std::string(text) + "|" + name;
}

void VideoClip::Measure() {
    largestFrame = 0;
    for (const EncodedFrame& frame : frames) {
        largestFrame = std::max(largestFrame, frame.data.size());
    }
}

std::shared_ptr<const VideoClip> EncodeVideoClip(const VideoClipParams& params,
                                                 const std::atomic<bool>* cancel) {
    auto clip = std::make_shared<VideoClip>();
    clip->params = params;
    H264Encoder encoder(SettingsFor(params));
    if (!encoder.Ok()) {
        return clip;
    }
    std::shared_ptr<const TestScene> scene =
        TestScene::Shared(params.width & ~1, params.height & ~1);
    int count = static_cast<int>(params.FrameCount());
    YuvPicture picture;
    for (int i = 0; i < count; ++i) {
        if (cancel != nullptr && cancel->load()) {
            clip->frames.clear();
            return clip;
        }
        // The window drifts right and back: the whole picture moves, as when
        // a camera sways, so predicted pictures carry motion.
        int span = std::max(1, scene->MaxX());
        int x = (i * 4) % (2 * span);
        if (x > span) {
            x = 2 * span - x;
        }
        scene->Render(i, x, scene->MaxY() / 2, params.name, ClipClock(i, params.fps), picture);
        encoder.Encode(&picture, clip->frames);
    }
    encoder.Encode(nullptr, clip->frames);
    clip->Measure();
    return clip;
}

std::shared_ptr<const VideoClip> EncodeStillClip(const VideoClipParams& params) {
    auto clip = std::make_shared<VideoClip>();
    clip->params = params;
    clip->still = true;
    H264Settings settings = SettingsFor(params);
    settings.preset = "ultrafast";
    settings.lowLatency = true;
    H264Encoder encoder(settings);
    if (!encoder.Ok()) {
        return clip;
    }
    std::shared_ptr<const TestScene> scene =
        TestScene::Shared(params.width & ~1, params.height & ~1);
    YuvPicture picture;
    scene->Render(0, scene->MaxX() / 2, scene->MaxY() / 2, params.name, "starting", picture);
    for (int i = 0; i < std::max(1, params.gop); ++i) {
        encoder.Encode(&picture, clip->frames);
    }
    encoder.Encode(nullptr, clip->frames);
    clip->Measure();
    return clip;
}

}  // namespace orbisight::sim
