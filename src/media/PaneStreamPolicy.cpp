#include "media/PaneStreamPolicy.h"

namespace orbisight {

int PaneStreamPolicy::StreamFor(PictureSize drawn, PictureSize sub) {
    if (sub.Empty()) {
        sub = kDefaultSubSize;
    }
    bool fits = drawn.width <= sub.width && drawn.height <= sub.height;
    return fits ? kSubStream : kMainStream;
}

DecodeMode PaneStreamPolicy::DecodeFor(const PaneView& view) {
    if (!view.visible || view.width <= 0 || view.height <= 0) {
        return DecodeMode::kNone;
    }
    int paneWidth = view.paneWidth > 0 ? view.paneWidth : view.width;
    return paneWidth < kTinyWidth ? DecodeMode::kKeyFramesOnly : DecodeMode::kAll;
}

bool PaneStreamPolicy::DeblockFor(PictureSize drawn, PictureSize picture) {
    if (picture.Empty() || drawn.Empty()) {
        return true;
    }
    bool small = static_cast<int64_t>(drawn.width) * 3 <= static_cast<int64_t>(picture.width) * 2 &&
                 static_cast<int64_t>(drawn.height) * 3 <= static_cast<int64_t>(picture.height) * 2;
    return !small;
}

void PaneStreamPolicy::SetView(const PaneView& view, uint64_t nowMs) {
    bool sizeChanged = !hasView_ || view.width != view_.width || view.height != view_.height;
    view_ = view;
    hasView_ = true;
    Rethink(nowMs, sizeChanged);
}

void PaneStreamPolicy::SetSubSize(PictureSize size, uint64_t nowMs) {
    if (size.Empty() || size == sub_) {
        return;
    }
    sub_ = size;
    if (hasView_) {
        Rethink(nowMs, false);
    }
}

void PaneStreamPolicy::Rethink(uint64_t nowMs, bool sizeChanged) {
    if (!view_.visible) {
        return;  // a pane nobody sees keeps its stream and its wish
    }
    int wish = StreamFor({view_.width, view_.height}, sub_);
    if (wish != wish_ || sizeChanged) {
        // Every change of size starts the wait again: a drag in progress
        // switches nothing.
        wishSinceMs_ = nowMs;
    }
    wish_ = wish;
}

std::optional<int> PaneStreamPolicy::StartStream() {
    if (!hasView_) {
        return std::nullopt;
    }
    if (!wish_) {
        // Seen only while hidden so far: the smaller stream costs least.
        wish_ = StreamFor({view_.width, view_.height}, sub_);
    }
    current_ = wish_;
    return current_;
}

std::optional<int> PaneStreamPolicy::DueSwitch(uint64_t nowMs) {
    if (!current_ || !wish_ || *wish_ == *current_ || !view_.visible) {
        return std::nullopt;
    }
    if (nowMs - wishSinceMs_ < kSwitchDelayMs) {
        return std::nullopt;
    }
    current_ = wish_;
    return current_;
}

}  // namespace orbisight
