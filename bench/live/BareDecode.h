#pragma once

#include "sim/stream/VideoClip.h"

namespace orbisight::bench {

// CPU time of the calling thread, in seconds.
double ThreadCpuSeconds();

// The reference: the frames of a clip through a bare single-thread
// libavcodec decoder, no conversion; CPU seconds per picture. With
// streams > 1, that many decoders take the frames in turn on the one
// thread, as the video threads of a wall share a core's caches.
double ReferenceCpuPerFrame(const sim::VideoClip& clip, int rounds, int streams = 1);

}  // namespace orbisight::bench
