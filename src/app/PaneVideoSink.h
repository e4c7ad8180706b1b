#pragma once

#include <atomic>
#include <functional>
#include <mutex>

#include "media/PictureSlots.h"
#include "media/VideoSink.h"

namespace orbisight {

// A pane as its channel's video sink. The video thread converts and scales
// each picture straight into one of the pane's three slots at the pane's
// picture size, or at the picture's own size where the pane is larger
// (ConvertedSize); the pane paints the latest completed slot on the GUI
// thread, stretching it in that one pass where needed, so a picture is
// never copied or scaled a second time.
//
// Threads: WantedSize, BeginPicture and EndPicture run on the channel's video
// thread; SetWantedSize, Latest and the counters on the GUI thread.
class PaneVideoSink : public VideoSink {
  public:
    // wake is called on the video thread after a picture was published, at
    // most once until the painter has taken it (AcknowledgeWake): a slow GUI
    // never piles up repaint requests.
    explicit PaneVideoSink(std::function<void()> wake);

    // The pane's picture area; an empty size (hidden pane) makes the channel
    // decode without converting.
    void SetWantedSize(PictureSize size);

    PictureSize WantedSize() override;
    PictureSlot BeginPicture(PictureSize size) override;
    void EndPicture(const VideoOverlay& overlay) override;
    void SourceSizeChanged(PictureSize size) override;

    // GUI thread: the latest picture, valid until the next call.
    const PictureSlots::Picture& Latest(bool* fresh = nullptr) { return slots_.Latest(fresh); }
    void AcknowledgeWake() { wakePending_.store(false); }
    // Pictures published so far (any thread).
    uint64_t Pictures() const { return pictures_.load(); }

  private:
    std::function<void()> wake_;
    std::atomic<int> wantedWidth_{0};
    std::atomic<int> wantedHeight_{0};
    PictureSize source_;  // video thread only
    std::atomic<bool> wakePending_{false};
    std::atomic<uint64_t> pictures_{0};
    PictureSlots slots_;
};

}  // namespace orbisight
