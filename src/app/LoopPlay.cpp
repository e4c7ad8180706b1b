#include "app/LoopPlay.h"

#include "app/CDlgVedioShow.h"
#include "app/PaneChannel.h"
#include "app/VideoWall.h"
#include "platform/Text.h"

namespace orbisight {

namespace {
// A garbled stored value must not make a timer spin: periods below one
// unit take the smallest the dialog offers.
int PositiveOr(int value, int fallback) {
    return value > 0 ? value : fallback;
}
}  // namespace

LoopPlay::LoopPlay(VideoWall* wall, QObject* parent) : QObject(parent), wall_(wall) {
    slide_.setSingleShot(true);
    record_.setSingleShot(true);
    connect(&slide_, &QTimer::timeout, this, &LoopPlay::Step);
    connect(&record_, &QTimer::timeout, this, &LoopPlay::RecordStep);
    connect(&snap_, &QTimer::timeout, this, &LoopPlay::SnapStep);
    connect(&watch_, &QTimer::timeout, this, &LoopPlay::WatchStep);
}

int LoopPlay::SlideMs() const {
    if (slideOverrideMs_ > 0) {
        return slideOverrideMs_;
    }
    return PositiveOr(schedule_.Options().slideMinutes, 1) * 60000;
}

int LoopPlay::SnapMs() const {
    return PositiveOr(schedule_.Options().snapSeconds, 5) * 1000;
}

void LoopPlay::Start(const LoopOptions& options, std::vector<DeviceInfo> devices) {
    Stop();
    schedule_.Start(options, std::move(devices));
    Begin(false);
}

void LoopPlay::StartAutoConnect(const LoopOptions& options, std::vector<std::string> selectedIds) {
    Stop();
    schedule_.StartAutoConnect(options, std::move(selectedIds));
    Begin(true);
}

void LoopPlay::Begin(bool autoConnect) {
    const LoopOptions& options = schedule_.Options();
    // Screens fill slots 0 onwards: the wall shows the first page.
    wall_->SelectPane(wall_->Pane(0));
    if (options.fullScreen) {
        // The current layout stays; the pictures per screen do not apply.
        wall_->EnterWallFullScreen();
    }
    if (!options.fullScreen || autoConnect) {
        wall_->SetLayout(options.picturesPerScreen, true);
    }
    wall_->ReapplyLayout();
    emit frameLayoutRequested();
    wall_->SetLoopActive(true);
    slide_.start(kFirstStepMs);
}

void LoopPlay::Stop() {
    KillTimers();
    ++generation_;
    schedule_.Stop();
    wall_->SetLoopActive(false);
}

void LoopPlay::KillTimers() {
    slide_.stop();
    record_.stop();
    snap_.stop();
    watch_.stop();
}

void LoopPlay::Offer(const std::vector<DeviceInfo>& devices) {
    for (const DeviceInfo& device : devices) {
        schedule_.Offer(device);
    }
}

void LoopPlay::Step() {
    if (!schedule_.Active()) {
        return;
    }
    KillTimers();
    uint64_t generation = ++generation_;
    LoopScreen screen = schedule_.Next(wall_->Layout().GridSize());
    if (screen.rotate) {
        // Everything goes; the next screen comes once the channels had a
        // moment to close.
        wall_->DisconnectAll(false);
        QTimer::singleShot(kAfterDisconnectMs, this, [this, screen, generation] {
            if (generation == generation_) {
                AssignFrom(screen, 0, generation);
            }
        });
        return;
    }
    // The loop's one screen: panes beyond it are emptied, a pane already
    // showing its camera keeps it (a refill adds the newcomers only).
    for (int slot = 0; slot < WallLayout::kPaneCount; ++slot) {
        CDlgVedioShow* pane = wall_->Pane(slot);
        if (static_cast<size_t>(slot) >= screen.entries.size() &&
            (pane->InUse() || pane->Device())) {
            pane->Disconnect();
        }
    }
    AssignFrom(screen, 0, generation);
}

void LoopPlay::AssignFrom(const LoopScreen& screen, size_t first, uint64_t generation) {
    const std::vector<DeviceInfo>& list = schedule_.List();
    for (size_t slot = first; slot < screen.entries.size(); ++slot) {
        const DeviceInfo& device = list[screen.entries[slot]];
        CDlgVedioShow* pane = wall_->Pane(static_cast<int>(slot));
        const DeviceInfo* shown = pane->Device();
        if (!screen.rotate && pane->InUse() && shown && EqualsNoCase(shown->Id(), device.Id())) {
            continue;
        }
        pane->Assign(device);
        wall_->Count();
        emit wall_->pagingChanged();
        if (slot == 0 && screen.entries.size() > 1) {
            // The first camera has a head start before the others.
            QTimer::singleShot(kAfterFirstAssignMs, this, [this, screen, generation] {
                if (generation == generation_) {
                    AssignFrom(screen, 1, generation);
                }
            });
            return;
        }
    }
    FinishScreen(screen);
}

void LoopPlay::FinishScreen(const LoopScreen& screen) {
    if (!screen.entries.empty()) {
        wall_->SelectPane(wall_->Pane(0));
        wall_->ReapplyLayout();
    }
    if (screen.rotate) {
        slide_.start(SlideMs());
    }
    record_.start(kRecordAfterMs);
    snap_.start(SnapMs());
    watch_.start(kWatchMs);
    QStringList ids;
    for (size_t entry : screen.entries) {
        ids << QString::fromStdString(std::string(schedule_.List()[entry].Id()));
    }
    emit screenShown(ids);
}

void LoopPlay::RecordStep() {
    if (!schedule_.Active() || !schedule_.Options().autoRecord) {
        return;
    }
    std::vector<LoopSchedule::SlotState> states;
    int slotCount = wall_->Layout().GridSize() * wall_->Layout().GridSize();
    for (int slot = 0; slot < slotCount && slot < WallLayout::kPaneCount; ++slot) {
        CDlgVedioShow* pane = wall_->Pane(slot);
        PaneChannel* channel = pane->Channel();
        LoopSchedule::SlotState state;
        state.playing = channel && pane->InUse() && channel->Playing();
        state.recording = state.playing && channel->Recording();
        states.push_back(state);
    }
    for (size_t slot : schedule_.SlotsToRecord(states)) {
        wall_->Pane(static_cast<int>(slot))->ToggleRecording();
    }
}

void LoopPlay::SnapStep() {
    if (schedule_.Active() && schedule_.Options().autoSnap) {
        wall_->SnapshotAll();
    }
}

void LoopPlay::WatchStep() {
    if (!schedule_.Active()) {
        return;
    }
    if (schedule_.NeedsRefill()) {
        Step();
        return;
    }
    RecordStep();
}

}  // namespace orbisight
