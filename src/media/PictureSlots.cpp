#include "media/PictureSlots.h"

namespace orbisight {

void PictureSlots::EnsureSize(Slot& slot, PictureSize size) {
    if (slot.pixels && slot.size == size) {
        return;
    }
    slot.stridePixels = (size.width + 15) & ~15;
    slot.pixels = std::make_unique<uint32_t[]>(static_cast<size_t>(slot.stridePixels) *
                                               static_cast<size_t>(size.height + 1));
    slot.size = size;
    std::lock_guard lock(mutex_);
    ++allocations_;
}

PictureSlot PictureSlots::Acquire(PictureSize size) {
    if (size.Empty()) {
        return {};
    }
    Slot& slot = slots_[static_cast<size_t>(back_)];
    EnsureSize(slot, size);
    return {slot.pixels.get(), size.width, size.height, slot.stridePixels * 4, size.height + 1};
}

void PictureSlots::Publish(const VideoOverlay& overlay) {
    Slot& slot = slots_[static_cast<size_t>(back_)];
    if (!slot.pixels) {
        return;
    }
    slot.picture.pixels = slot.pixels.get();
    slot.picture.width = slot.size.width;
    slot.picture.height = slot.size.height;
    slot.picture.strideBytes = slot.stridePixels * 4;
    slot.picture.overlay = overlay;
    slot.picture.sequence = ++sequence_;
    std::lock_guard lock(mutex_);
    std::swap(back_, ready_);
    readyFresh_ = true;
}

const PictureSlots::Picture& PictureSlots::Latest(bool* fresh) {
    {
        std::lock_guard lock(mutex_);
        if (fresh != nullptr) {
            *fresh = readyFresh_;
        }
        if (readyFresh_) {
            std::swap(front_, ready_);
            readyFresh_ = false;
        }
    }
    return slots_[static_cast<size_t>(front_)].picture;
}

uint64_t PictureSlots::Allocations() const {
    std::lock_guard lock(mutex_);
    return allocations_;
}

}  // namespace orbisight
