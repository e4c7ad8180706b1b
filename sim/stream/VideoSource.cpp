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
        wanted_ = ClipCache::Instance().GetAsync(camera_.ClipParamsFor(sub_, quality_));
    }
}

VideoSource::~VideoSource() = default;

bool VideoSource::Ready() {
    if (live_) {
        return true;
    }
    if (!clip_) {
        if (IsReady(wanted_)) {
            clip_ = wanted_.get();
            wanted_ = {};
        } else {
            clip_ = ClipCache::Instance().Still(camera_.ClipParamsFor(sub_, quality_));
        }
        position_ = 0;
    }
    if (clip_->frames.empty() && IsReady(wanted_)) {
        clip_ = wanted_.get();  // no still picture (no encoder): whatever came
        wanted_ = {};
    }
    return !clip_->frames.empty();
}

void VideoSource::SetQuality(int quality) {
    if (quality == quality_) {
        return;
    }
    quality_ = quality;
    if (live_) {
        rebuild_ = true;
    } else {
        wanted_ = ClipCache::Instance().GetAsync(camera_.ClipParamsFor(sub_, quality_));
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
        // Another clip starts at a key frame of its own. Clips of one stream
        // have their key frames at the same positions; the still loop is one
        // GOP long, so the clip starts from its beginning.
        if (wanted_.valid() && IsReady(wanted_) && clip_->frames[position_].key) {
            auto next = wanted_.get();
            wanted_ = {};
            if (next && !next->frames.empty()) {
                position_ = clip_->still ? 0 : position_ % next->frames.size();
                clip_ = next;
            }
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
            scene_ = TestScene::Shared(profile.width, profile.height);
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
