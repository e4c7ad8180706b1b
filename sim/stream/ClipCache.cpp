#include "sim/stream/ClipCache.h"

#include <algorithm>
#include <cstdio>
#include <semaphore>

#include "sim/stream/TestScene.h"

namespace orbisight::sim {
namespace {

// Encoding is the simulator's only heavy work; two at a time keep a
// two-core machine responsive while a wall of cameras starts.
std::counting_semaphore<2>& EncodeSlots() {
    static std::counting_semaphore<2> slots(2);
    return slots;
}

std::string ClipClock(int index, int fps) {
    int centis = static_cast<int>(static_cast<int64_t>(index) * 100 / std::max(1, fps));
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d.%02d  #%d", centis / 6000, (centis / 100) % 60,
                  centis % 100, index);
    return text;
}

}  // namespace

std::shared_ptr<const VideoClip> EncodeVideoClip(const VideoClipSpec& spec) {
    auto clip = std::make_shared<VideoClip>();
    clip->spec = spec;
    H264Settings settings;
    settings.width = spec.width;
    settings.height = spec.height;
    settings.fps = spec.fps;
    settings.gop = spec.gop;
    settings.bitRate = spec.bitRate;
    settings.preset = spec.preset;
    H264Encoder encoder(settings);
    if (!encoder.Ok()) {
        return clip;
    }
    TestScene scene(spec.width & ~1, spec.height & ~1);
    int gop = std::max(1, spec.gop);
    int wanted = std::max(1, spec.seconds * spec.fps);
    int count = (wanted + gop - 1) / gop * gop;
    YuvPicture picture;
    for (int i = 0; i < count; ++i) {
        // The window drifts right and back: the whole picture moves, as when
        // a camera sways, so predicted pictures carry motion.
        int span = std::max(1, scene.MaxX());
        int x = (i * 4) % (2 * span);
        if (x > span) {
            x = 2 * span - x;
        }
        scene.Render(i, x, scene.MaxY() / 2, spec.name, ClipClock(i, spec.fps), picture);
        encoder.Encode(&picture, clip->frames);
    }
    encoder.Encode(nullptr, clip->frames);
    for (const EncodedFrame& frame : clip->frames) {
        clip->largestFrame = std::max(clip->largestFrame, frame.data.size());
    }
    return clip;
}

ClipCache& ClipCache::Instance() {
    static ClipCache cache;
    return cache;
}

ClipFuture ClipCache::GetAsync(const VideoClipSpec& spec) {
    std::lock_guard lock(mutex_);
    auto found = clips_.find(spec);
    if (found != clips_.end()) {
        return found->second;
    }
    ClipFuture future = std::async(std::launch::async, [spec] {
                            EncodeSlots().acquire();
                            auto clip = EncodeVideoClip(spec);
                            EncodeSlots().release();
                            return clip;
                        }).share();
    clips_.emplace(spec, future);
    return future;
}

std::shared_ptr<const AacClip> ClipCache::Audio() {
    std::lock_guard lock(mutex_);
    if (!audio_) {
        audio_ = std::make_shared<const AacClip>(EncodeToneClip(4));
    }
    return audio_;
}

size_t ClipCache::Encodes() const {
    std::lock_guard lock(mutex_);
    return clips_.size();
}

}  // namespace orbisight::sim
