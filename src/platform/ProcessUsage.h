#pragma once

#include <cstdint>

namespace orbisight {

// CPU time this process has used so far, user and system, in microseconds.
uint64_t ProcessCpuMicroseconds();
// The process's resident memory in bytes (0 when /proc cannot be read).
uint64_t ResidentBytes();

}  // namespace orbisight
