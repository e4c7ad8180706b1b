#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>

#include "media/FrameHeader.h"

namespace orbisight {

// The send stamp: when a camera of ours (the simulator) put a video frame on
// the wire, in milliseconds of the machine's monotonic clock, modulo 2^32.
// It travels in the last four header bytes (the second reserved field, big-
// endian on the wire, kept as received in recording files), which other
// cameras leave at zero and no reader interprets, so the wire format and the
// camera time stamp stay as they are. 0 means "not stamped"; a send at the
// millisecond that wraps to 0 is stamped 1.
//
// A client on the same machine reads its own monotonic clock at the end of a
// picture's paint: the difference is the picture's latency from the socket to
// the screen (on loopback, sending and arrival are the same millisecond, and a
// receiver that falls behind counts against the client, as it should).
uint32_t SendStampNow();
uint32_t SendStampAt(uint64_t monotonicMs);

uint32_t ReadSendStamp(const FrameHeader& header);
void WriteSendStamp(FrameHeader& header, uint32_t stamp);

// Milliseconds from stamp to now, both on the send-stamp clock, across its
// wrap. Nothing for an unstamped frame (0) and for stamps that cannot be on
// this machine's clock: later than now, or older than kMaxStampAgeMs.
constexpr uint32_t kMaxStampAgeMs = 60000;
std::optional<uint32_t> StampAgeMs(uint32_t stamp, uint32_t now);

// A histogram of latencies in whole milliseconds (1 ms buckets up to
// kBuckets - 1, the last bucket holds everything longer), safe to fill from
// any thread.
class LatencyRecorder {
  public:
    static constexpr uint32_t kBuckets = 2001;

    void Add(uint32_t ms);
    // Adds the age of a stamped picture painted now; false when the stamp
    // gave no age (see StampAgeMs).
    bool AddStamp(uint32_t stamp, uint32_t now);

    uint64_t Count() const;
    // The smallest latency at or below which `percent` of the samples lie
    // (nearest rank); 0 without samples. kBuckets - 1 means "that or more".
    uint32_t Percentile(double percent) const;
    uint32_t Max() const;
    void Reset();

  private:
    mutable std::mutex mutex_;
    std::array<uint64_t, kBuckets> buckets_{};
    uint64_t count_ = 0;
};

// The process's record of picture latencies, filled by the panes while a
// measurement runs (see the automation's "wall-stats" step) and left alone
// otherwise: a real camera's frames are not stamped on our clock.
LatencyRecorder& PaintLatency();
void SetPaintLatencyOn(bool on);
bool PaintLatencyOn();

}  // namespace orbisight
