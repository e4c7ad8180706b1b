#include "app/LoopSchedule.h"

#include "platform/Text.h"

namespace orbisight {

void LoopSchedule::Start(const LoopOptions& options, std::vector<DeviceInfo> devices) {
    options_ = options;
    list_ = std::move(devices);
    selected_.clear();
    active_ = true;
    autoConnect_ = false;
    position_ = 0;
    singleScreen_ = false;
    shown_ = 0;
    recordHandled_.clear();
}

void LoopSchedule::StartAutoConnect(const LoopOptions& options,
                                    std::vector<std::string> selectedIds) {
    Start(options, {});
    selected_ = std::move(selectedIds);
    autoConnect_ = true;
}

void LoopSchedule::Stop() {
    active_ = false;
    autoConnect_ = false;
    recordHandled_.clear();
}

LoopScreen LoopSchedule::Next(int gridSize) {
    LoopScreen screen;
    size_t s = static_cast<size_t>(gridSize > 0 ? gridSize * gridSize : 1);
    size_t count = list_.size();
    if (count >= s && count > 1) {
        screen.rotate = true;
        for (size_t i = 0; i < s; ++i) {
            screen.entries.push_back((position_ + i) % count);
        }
        position_ += s;
        singleScreen_ = false;
    } else if (position_ == 0) {
        for (size_t i = 0; i < count; ++i) {
            screen.entries.push_back(i);
        }
        singleScreen_ = true;
        shown_ = count;
    }
    recordHandled_.assign(screen.entries.size(), false);
    return screen;
}

bool LoopSchedule::NeedsRefill() const {
    return active_ && singleScreen_ && position_ == 0 && list_.size() > shown_;
}

bool LoopSchedule::Offer(const DeviceInfo& device) {
    if (!active_ || !autoConnect_ || !device.IsOnline() || device.isGroup) {
        return false;
    }
    bool chosen = false;
    for (const std::string& id : selected_) {
        if (EqualsNoCase(id, device.Id())) {
            chosen = true;
            break;
        }
    }
    if (!chosen) {
        return false;
    }
    for (const DeviceInfo& entry : list_) {
        if (EqualsNoCase(entry.Id(), device.Id())) {
            return false;
        }
    }
    list_.push_back(device);
    return true;
}

std::vector<size_t> LoopSchedule::SlotsToRecord(const std::vector<SlotState>& states) {
    std::vector<size_t> start;
    if (!active_ || !options_.autoRecord) {
        return start;
    }
    for (size_t i = 0; i < states.size() && i < recordHandled_.size(); ++i) {
        if (recordHandled_[i] || !states[i].playing) {
            continue;
        }
        recordHandled_[i] = true;
        if (!states[i].recording) {
            start.push_back(i);
        }
    }
    return start;
}

}  // namespace orbisight
