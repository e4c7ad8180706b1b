#include "sim/stream/VideoSource.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "sim/stream/SimStreamCamera.h"

namespace orbisight::sim {
namespace {

bool IsReady(const ClipFuture& future) {
    return future.valid() && future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

std::string WallClock(long index) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d  #%ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  index);
    return text;
}

}  // namespace

VideoSource::VideoSource(SimStreamCamera& camera, bool sub, int quality)
    : camera_(camera),
      sub_(sub),
      live_(camera.Config().liveEncoding),
      quality_(quality),
      fps_(camera.Profile(sub).fps) {
    if (!live_) {
        current_ = ClipCache::Instance().GetAsync(camera_.ClipSpec(sub_, quality_));
    }
}

VideoSource::~VideoSource() = default;

bool VideoSource::Ready() {
    if (live_) {
        return true;
    }
    if (!clip_ && IsReady(current_)) {
        clip_ = current_.get();
        position_ = 0;
    }
    return clip_ && !clip_->frames.empty();
}

void VideoSource::SetQuality(int quality) {
    if (quality == quality_) {
        return;
    }
    quality_ = quality;
    if (live_) {
        rebuild_ = true;
    } else {
        pending_ = ClipCache::Instance().GetAsync(camera_.ClipSpec(sub_, quality_));
    }
}

const EncodedFrame* VideoSource::Next() {
    ++index_;
    if (!live_) {
        if (!Ready()) {
            return nullptr;
        }
        if (position_ >= clip_->frames.size()) {
            position_ = 0;
        }
        // A new bit rate starts at a key frame of its own clip; both clips
        // have their key frames at the same positions.
        if (pending_.valid() && IsReady(pending_) && clip_->frames[position_].key) {
            auto next = pending_.get();
            if (next && !next->frames.empty()) {
                clip_ = next;
                current_ = pending_;
                position_ %= clip_->frames.size();
            }
            pending_ = {};
        }
        return &clip_->frames[position_++];
    }

    const StreamProfile& profile = camera_.Profile(sub_);
    if (rebuild_ || !encoder_) {
        H264Settings settings;
        settings.width = profile.width;
        settings.height = profile.height;
        settings.fps = profile.fps;
        settings.gop = profile.gop;
        settings.bitRate = SimStreamCamera::BitRateFor(profile, quality_);
        settings.preset = camera_.Config().livePreset;
        settings.lowLatency = true;
        encoder_ = std::make_unique<H264Encoder>(settings);
        if (!scene_) {
            scene_ = std::make_unique<TestScene>(profile.width, profile.height);
        }
        rebuild_ = false;
    }
    double fx = 0.5;
    double fy = 0.5;
    camera_.WindowPosition(fx, fy);
    scene_->Render(static_cast<int>(index_), static_cast<int>(fx * scene_->MaxX()),
                   static_cast<int>(fy * scene_->MaxY()), camera_.Config().name, WallClock(index_),
                   picture_);
    encoded_.clear();
    if (!encoder_->Encode(&picture_, encoded_) || encoded_.empty()) {
        return nullptr;
    }
    liveFrame_ = std::move(encoded_.front());
    return &liveFrame_;
}

}  // namespace orbisight::sim
