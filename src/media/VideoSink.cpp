#include "media/VideoSink.h"

#include <algorithm>
#include <atomic>

namespace orbisight {
namespace {

std::atomic<uint32_t> borderCounter{0};
std::atomic<uint32_t> recordingBlink{0};

}  // namespace

PictureSize ConvertedSize(PictureSize area, PictureSize source) {
    if (area.Empty() || source.Empty()) {
        return area;
    }
    return {std::min(area.width, source.width), std::min(area.height, source.height)};
}

uint32_t NextAlarmBorderRgb() {
    uint32_t count = borderCounter.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = (count + 1) % 2048;
    } while (!borderCounter.compare_exchange_weak(count, next, std::memory_order_relaxed));
    return (count & 2) == 0 ? 0xC80000u : 0xFFC80Eu;
}

void AdvanceRecordingBlink() {
    recordingBlink.fetch_add(1, std::memory_order_relaxed);
}

uint32_t RecordingBlink() {
    return recordingBlink.load(std::memory_order_relaxed);
}

}  // namespace orbisight
