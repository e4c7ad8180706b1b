#include "media/HeadlessVideoSink.h"

#include <cstring>

namespace orbisight {

PictureSize HeadlessVideoSink::WantedSize() {
    switch (mode_) {
        case SizeMode::kFixed:
            return fixed_;
        case SizeMode::kPane:
            return ConvertedSize(fixed_, SourceSize());
        case SizeMode::kSourceSize:
            return SourceSize();
        case SizeMode::kNoPictures:
            break;
    }
    // Decode only: the picture still counts.
    pictures_.fetch_add(1);
    return {};
}

PictureSlot HeadlessVideoSink::BeginPicture(PictureSize size) {
    return slots_.Acquire(size);
}

void HeadlessVideoSink::EndPicture(const VideoOverlay& overlay) {
    slots_.Publish(overlay);
    pictures_.fetch_add(1);
}

void HeadlessVideoSink::SourceSizeChanged(PictureSize size) {
    std::lock_guard lock(mutex_);
    source_ = size;
    sourceChanges_.fetch_add(1);
}

PictureSize HeadlessVideoSink::SourceSize() const {
    std::lock_guard lock(mutex_);
    return source_;
}

bool HeadlessVideoSink::CopyLatest(std::vector<uint32_t>& pixels, PictureSize& size,
                                   VideoOverlay* overlay) {
    std::lock_guard lock(readerMutex_);
    const PictureSlots::Picture& picture = slots_.Latest();
    if (!picture.Valid()) {
        return false;
    }
    size = {picture.width, picture.height};
    pixels.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
    for (int row = 0; row < picture.height; ++row) {
        const auto* source = reinterpret_cast<const uint8_t*>(picture.pixels) +
                             static_cast<size_t>(row) * static_cast<size_t>(picture.strideBytes);
        std::memcpy(pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(picture.width),
                    source, static_cast<size_t>(picture.width) * 4);
    }
    if (overlay != nullptr) {
        *overlay = picture.overlay;
    }
    return true;
}

}  // namespace orbisight
