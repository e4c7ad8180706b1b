#include "app/PaneVideoSink.h"

namespace orbisight {

PaneVideoSink::PaneVideoSink(std::function<void()> wake) : wake_(std::move(wake)) {}

void PaneVideoSink::SetWantedSize(PictureSize size) {
    // Width and height are read separately by the video thread; a picture
    // converted at a half-updated size is harmless (the next one is right).
    wantedWidth_.store(size.width);
    wantedHeight_.store(size.height);
}

PictureSize PaneVideoSink::WantedSize() {
    return ConvertedSize({wantedWidth_.load(), wantedHeight_.load()}, source_);
}

void PaneVideoSink::SourceSizeChanged(PictureSize size) {
    source_ = size;
}

PictureSlot PaneVideoSink::BeginPicture(PictureSize size) {
    return slots_.Acquire(size);
}

void PaneVideoSink::EndPicture(const VideoOverlay& overlay) {
    slots_.Publish(overlay);
    pictures_.fetch_add(1);
    if (!wakePending_.exchange(true) && wake_) {
        wake_();
    }
}

}  // namespace orbisight
