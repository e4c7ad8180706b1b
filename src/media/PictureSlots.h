#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "media/VideoSink.h"

namespace orbisight {

// Three picture buffers shared by one writer (the video thread) and one
// reader (the painter): the writer fills the back slot and publishes it; the
// reader takes the latest published slot and may keep reading it until its
// next Latest() call. Neither side ever waits for the other beyond a swap of
// indices, and the reader never sees a half-written picture.
//
// A slot is reallocated only when the size asked for changes. Each buffer has
// rows padded to 16 pixels and one spare row, so the converter can use its
// fast path (see PictureSlot).
class PictureSlots {
  public:
    struct Picture {
        const uint32_t* pixels = nullptr;
        int width = 0;
        int height = 0;
        int strideBytes = 0;
        VideoOverlay overlay;
        uint64_t sequence = 0;  // 1 for the first published picture, then +1 each

        bool Valid() const { return pixels != nullptr; }
    };

    PictureSlots() = default;
    PictureSlots(const PictureSlots&) = delete;
    PictureSlots& operator=(const PictureSlots&) = delete;

    // Writer side.
    PictureSlot Acquire(PictureSize size);
    void Publish(const VideoOverlay& overlay);

    // Reader side: the latest published picture (kept valid until the next
    // call), or an invalid one before the first picture. `fresh` tells
    // whether it is newer than the one returned by the previous call.
    const Picture& Latest(bool* fresh = nullptr);

    // How often a slot buffer was (re)allocated: grows only with size changes.
    uint64_t Allocations() const;

  private:
    struct Slot {
        std::unique_ptr<uint32_t[]> pixels;
        PictureSize size;
        int stridePixels = 0;
        Picture picture;
    };
    void EnsureSize(Slot& slot, PictureSize size);

    std::array<Slot, 3> slots_;
    mutable std::mutex mutex_;
    int back_ = 0;              // written by the writer; only the writer touches it
    int ready_ = 1;             // protected by mutex_
    int front_ = 2;             // read by the reader; only the reader touches it
    bool readyFresh_ = false;   // protected by mutex_
    uint64_t sequence_ = 0;     // writer only
    uint64_t allocations_ = 0;  // protected by mutex_
};

}  // namespace orbisight
