#pragma once

#include <cstdint>
#include <string>

#include "sim/stream/ClipCache.h"
#include "tests/media/RecordFileMaker.h"

namespace orbisight::test {

// A recording of a small real clip (160 x 120, a key frame every 5), played
// `loops` times: 25 pictures a loop, 40 ms apart from `start`, each followed
// by a sound record 10 ms later.
inline RecordFileMaker ClipRecording(const std::string& name, uint32_t start, int loops = 1) {
    sim::VideoClipParams params;
    params.name = name;
    params.width = 160;
    params.height = 120;
    params.gop = 5;
    params.bitRate = 200000;
    params.seconds = 1;
    params.preset = "ultrafast";
    auto clip = sim::ClipCache::Instance().Get(params);
    RecordFileMaker maker;
    uint32_t t = start;
    for (int loop = 0; loop < loops; ++loop) {
        for (size_t i = 0; clip && i < clip->frames.size(); ++i, t += 40) {
            maker.Video(t, clip->frames[i].key, clip->frames[i].data);
            maker.Audio(t + 10);
        }
    }
    return maker;
}

}  // namespace orbisight::test
