#include "media/FrameStamp.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/Clock.h"

namespace orbisight {

uint32_t SendStampAt(uint64_t monotonicMs) {
    auto stamp = static_cast<uint32_t>(monotonicMs);
    return stamp == 0 ? 1 : stamp;
}

uint32_t SendStampNow() {
    return SendStampAt(TickCountMs());
}

uint32_t ReadSendStamp(const FrameHeader& header) {
    const uint8_t* p = header.reserved2;
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

void WriteSendStamp(FrameHeader& header, uint32_t stamp) {
    header.reserved2[0] = static_cast<uint8_t>(stamp >> 24);
    header.reserved2[1] = static_cast<uint8_t>(stamp >> 16);
    header.reserved2[2] = static_cast<uint8_t>(stamp >> 8);
    header.reserved2[3] = static_cast<uint8_t>(stamp);
}

std::optional<uint32_t> StampAgeMs(uint32_t stamp, uint32_t now) {
    if (stamp == 0) {
        return std::nullopt;
    }
    uint32_t age = now - stamp;  // modulo 2^32: right across the wrap
    if (age > kMaxStampAgeMs) {
        return std::nullopt;  // from the future (a wrapped negative) or not our clock
    }
    return age;
}

void LatencyRecorder::Add(uint32_t ms) {
    std::lock_guard lock(mutex_);
    ++buckets_[std::min(ms, kBuckets - 1)];
    ++count_;
}

bool LatencyRecorder::AddStamp(uint32_t stamp, uint32_t now) {
    std::optional<uint32_t> age = StampAgeMs(stamp, now);
    if (!age) {
        return false;
    }
    Add(*age);
    return true;
}

uint64_t LatencyRecorder::Count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

uint32_t LatencyRecorder::Percentile(double percent) const {
    std::lock_guard lock(mutex_);
    if (count_ == 0) {
        return 0;
    }
    // Nearest rank: the sample at position ceil(p/100 * n), 1-based.
    double exact = std::clamp(percent, 0.0, 100.0) / 100.0 * static_cast<double>(count_);
    auto rank = std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(exact - 1e-9)));
    uint64_t seen = 0;
    for (uint32_t ms = 0; ms < kBuckets; ++ms) {
        seen += buckets_[ms];
        if (seen >= rank) {
            return ms;
        }
    }
    return kBuckets - 1;
}

uint32_t LatencyRecorder::Max() const {
    std::lock_guard lock(mutex_);
    for (uint32_t ms = kBuckets; ms-- > 0;) {
        if (buckets_[ms] != 0) {
            return ms;
        }
    }
    return 0;
}

void LatencyRecorder::Reset() {
    std::lock_guard lock(mutex_);
    buckets_.fill(0);
    count_ = 0;
}

namespace {
std::atomic<bool> paintLatencyOn{false};
}  // namespace

LatencyRecorder& PaintLatency() {
    static LatencyRecorder recorder;
    return recorder;
}

void SetPaintLatencyOn(bool on) {
    paintLatencyOn.store(on, std::memory_order_relaxed);
}

bool PaintLatencyOn() {
    return paintLatencyOn.load(std::memory_order_relaxed);
}

}  // namespace orbisight
