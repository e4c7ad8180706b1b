#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "media/PictureSlots.h"
#include "media/VideoSink.h"

namespace orbisight {

// A sink without a screen, for the command-line tool, tests and benchmarks:
// it converts like a pane of the given size would, counts the pictures and
// keeps the latest one readable.
class HeadlessVideoSink : public VideoSink {
  public:
    enum class SizeMode {
        kFixed,       // pictures at the size given
        kPane,        // as a pane of the size given: never above the decoded size
        kSourceSize,  // pictures at the decoded size (no scaling)
        kNoPictures,  // decode only: nothing is converted
    };

    explicit HeadlessVideoSink(PictureSize size, SizeMode mode = SizeMode::kFixed)
        : mode_(mode), fixed_(size) {}
    explicit HeadlessVideoSink(SizeMode mode = SizeMode::kSourceSize) : mode_(mode) {}

    PictureSize WantedSize() override;
    PictureSlot BeginPicture(PictureSize size) override;
    void EndPicture(const VideoOverlay& overlay) override;
    void SourceSizeChanged(PictureSize size) override;

    // Any thread.
    uint64_t Pictures() const { return pictures_.load(); }
    PictureSize SourceSize() const;
    uint64_t SlotAllocations() const { return slots_.Allocations(); }
    uint64_t SourceSizeChanges() const { return sourceChanges_.load(); }

    // A copy of the latest picture (pixels row by row without padding) and
    // its overlay; false before the first picture.
    bool CopyLatest(std::vector<uint32_t>& pixels, PictureSize& size,
                    VideoOverlay* overlay = nullptr);

  private:
    const SizeMode mode_;
    const PictureSize fixed_;
    mutable std::mutex mutex_;
    PictureSize source_;      // protected by mutex_
    std::mutex readerMutex_;  // serialises readers of slots_ (one reader side)
    PictureSlots slots_;
    std::atomic<uint64_t> pictures_{0};
    std::atomic<uint64_t> sourceChanges_{0};
};

}  // namespace orbisight
