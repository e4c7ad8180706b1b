#include "sim/stream/SimStreamCamera.h"

#include <algorithm>

#include "sim/stream/SimStreamSession.h"

namespace orbisight::sim {
namespace {

// A press of an arrow moves the window by a tenth of its range; a scan
// crosses the range in five seconds.
constexpr double kStep = 0.1;
constexpr double kScanPerSecond = 0.2;

}  // namespace

SimStreamCamera::SimStreamCamera(StreamConfig config)
    : config_(std::move(config)),
      fault_(config_.fault),
      settled_(std::chrono::steady_clock::now()) {}

SimStreamCamera::~SimStreamCamera() {
    if (talkFile_ != nullptr) {
        std::fclose(talkFile_);
    }
}

std::string SimStreamCamera::TalkPath() const {
    if (config_.talkDir.empty()) {
        return "";
    }
    std::string id = config_.id;
    std::replace(id.begin(), id.end(), '/', '_');
    return config_.talkDir + "/" + id + "-talk.aac";
}

void SimStreamCamera::SaveTalk(const uint8_t* frame, size_t size) {
    std::lock_guard lock(talkMutex_);
    if (config_.talkDir.empty() || talkFailed_) {
        return;
    }
    if (talkFile_ == nullptr) {
        talkFile_ = std::fopen(TalkPath().c_str(), "wb");
        if (talkFile_ == nullptr) {
            talkFailed_ = true;
            std::fprintf(stderr, "sim %s: cannot write %s\n", config_.id.c_str(),
                         TalkPath().c_str());
            return;
        }
    }
    // Flushed per frame: a test reads the file while the camera runs.
    std::fwrite(frame, 1, size, talkFile_);
    std::fflush(talkFile_);
}

std::unique_ptr<SimMediaSession> SimStreamCamera::OpenSession(SimConnection& connection) {
    return std::make_unique<SimStreamSession>(*this, connection);
}

bool SimStreamCamera::SetStreamFault(const nlohmann::json& fault) {
    bool ok = true;
    StreamFault parsed = ParseStreamFault(fault, &ok);
    std::lock_guard lock(mutex_);
    fault_ = parsed;
    ++faultGeneration_;
    return ok;
}

void SimStreamCamera::Prefetch() {
    if (config_.liveEncoding) {
        return;
    }
    ClipCache::Instance().Prefetch(ClipParamsFor(true, 1));
    ClipCache::Instance().Prefetch(ClipParamsFor(false, 1));
}

StreamFault SimStreamCamera::Fault(uint64_t* generation) const {
    std::lock_guard lock(mutex_);
    if (generation != nullptr) {
        *generation = faultGeneration_;
    }
    return fault_;
}

int SimStreamCamera::BitRateFor(const StreamProfile& profile, int quality) {
    if (quality == 1) {
        return profile.bitRate;
    }
    return quality == 3 ? profile.bitRate / 2 : profile.bitRate / 4;
}

VideoClipParams SimStreamCamera::ClipParamsFor(bool sub, int quality) const {
    const StreamProfile& profile = Profile(sub);
    VideoClipParams params;
    params.name = config_.name;
    params.width = profile.width;
    params.height = profile.height;
    params.fps = profile.fps;
    params.gop = profile.gop;
    params.bitRate = BitRateFor(profile, quality);
    params.seconds = config_.clipSeconds;
    params.preset = config_.preset;
    return params;
}

void SimStreamCamera::SettleLocked(std::chrono::steady_clock::time_point now) const {
    double seconds = std::chrono::duration<double>(now - settled_).count();
    settled_ = now;
    auto advance = [seconds](double& position, double& direction) {
        if (direction == 0) {
            return;
        }
        position += direction * kScanPerSecond * seconds;
        if (position > 1) {
            position = 2 - position;
            direction = -direction;
        }
        if (position < 0) {
            position = -position;
            direction = -direction;
        }
        position = std::clamp(position, 0.0, 1.0);
    };
    advance(fx_, dx_);
    advance(fy_, dy_);
}

void SimStreamCamera::PanTilt(int code) {
    std::lock_guard lock(mutex_);
    SettleLocked(std::chrono::steady_clock::now());
    switch (code) {
        case 1:
            fx_ = std::max(0.0, fx_ - kStep);
            break;
        case 2:
            fx_ = std::min(1.0, fx_ + kStep);
            break;
        case 3:
            fy_ = std::max(0.0, fy_ - kStep);
            break;
        case 4:
            fy_ = std::min(1.0, fy_ + kStep);
            break;
        case 7:
            scan_ = Scan::kHorizontal;
            dx_ = 1;
            dy_ = 0;
            break;
        case 8:
            scan_ = Scan::kVertical;
            dx_ = 0;
            dy_ = 1;
            break;
        case 9:
            scan_ = Scan::kBoth;
            dx_ = 1;
            dy_ = 0.6;
            break;
        case 10:
            scan_ = Scan::kNone;
            dx_ = dy_ = 0;
            break;
        case 13:
            scan_ = Scan::kNone;
            dx_ = dy_ = 0;
            fx_ = fy_ = 0.5;
            break;
        default:
            break;
    }
}

void SimStreamCamera::AimAt(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    std::lock_guard lock(mutex_);
    SettleLocked(std::chrono::steady_clock::now());
    // The scene is twice the picture: the window's range is one picture
    // width, so a point half a picture right of the centre moves it by 0.5.
    fx_ = std::clamp(fx_ + (static_cast<double>(x) - width / 2.0) / width, 0.0, 1.0);
    fy_ = std::clamp(fy_ + (static_cast<double>(y) - height / 2.0) / height, 0.0, 1.0);
}

void SimStreamCamera::WindowPosition(double& fx, double& fy) const {
    std::lock_guard lock(mutex_);
    SettleLocked(std::chrono::steady_clock::now());
    fx = fx_;
    fy = fy_;
}

}  // namespace orbisight::sim
