#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

namespace orbisight {

// Milliseconds of a monotonic clock, wrapping like a 32-bit tick count would
// not: callers subtract two readings.
inline uint64_t TickCountMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

inline void SleepMs(int ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

}  // namespace orbisight
