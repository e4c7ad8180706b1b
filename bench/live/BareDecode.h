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

// The same decoder fed at the clip's frame rate, sleeping between frames
// as a live channel's video thread does, for `frames` frames; CPU seconds
// per picture. A core that idles between pictures starts each one with
// colder caches than a decoder running flat out, so this is the bare cost
// of decoding a live stream.
double PacedCpuPerFrame(const sim::VideoClip& clip, int fps, int frames);

}  // namespace orbisight::bench
