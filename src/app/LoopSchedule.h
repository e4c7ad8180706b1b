#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "account/DeviceInfo.h"

namespace orbisight {

// What loop play was asked to do: from the selection dialog or from the
// auto-connect block of the saved login.
struct LoopOptions {
    int picturesPerScreen = 2;  // n: the wall shows n x n panes (1..5)
    int slideMinutes = 5;       // between two screens
    int snapSeconds = 10;       // between two automatic snapshots
    bool autoRecord = false;
    bool autoSnap = false;
    bool fullScreen = false;
};

// One screen of loop play: which loop entry goes into which slot.
struct LoopScreen {
    // Everything on the wall goes first and the slide timer runs again
    // afterwards (a rotating loop); false for the one screen of a loop that
    // fits on it.
    bool rotate = false;
    std::vector<size_t> entries;  // loop entry of slot i
};

// The state of loop play without widgets or timers: the loop list, the
// position of the next screen, which camera goes on which slot, and which
// slots of the screen still have to start recording under auto record. The
// main window's driver applies it to the wall.
class LoopSchedule {
  public:
    // Starts with a list (normal start) or an empty one that auto-connect
    // fills as the selected cameras come on-line.
    void Start(const LoopOptions& options, std::vector<DeviceInfo> devices);
    void StartAutoConnect(const LoopOptions& options, std::vector<std::string> selectedIds);
    void Stop();
    bool Active() const { return active_; }
    bool AutoConnect() const { return autoConnect_; }
    const LoopOptions& Options() const { return options_; }
    const std::vector<DeviceInfo>& List() const { return list_; }
    size_t Position() const { return position_; }

    // The next screen for a wall of gridSize x gridSize panes; advances the
    // position. With at least a screenful (and more than one camera) the
    // screen takes the next s entries, wrapping round the list; with less, the
    // first screen shows them all and stays. Empty when nothing is to show.
    LoopScreen Next(int gridSize);
    // The loop's single screen showed fewer cameras than the list has now
    // (auto-connect: more came on-line since): it is taken again.
    bool NeedsRefill() const;

    // Auto-connect: a camera reported on-line joins the list when the
    // selection names it and it is not in the list yet (IDs compared without
    // regard to case). Returns true when it was added.
    bool Offer(const DeviceInfo& device);

    // Auto record: given whether each slot of the current screen is playing
    // and recording, the slots whose recording is to be switched on now. A
    // slot is handled once per screen, so a recording the user stopped stays
    // stopped and a camera that starts playing late is caught later.
    struct SlotState {
        bool playing = false;
        bool recording = false;
    };
    std::vector<size_t> SlotsToRecord(const std::vector<SlotState>& states);

  private:
    LoopOptions options_;
    std::vector<DeviceInfo> list_;
    std::vector<std::string> selected_;  // auto-connect IDs
    bool active_ = false;
    bool autoConnect_ = false;
    size_t position_ = 0;              // not wrapped: entries are taken modulo the list
    bool singleScreen_ = false;        // the last screen was the non-rotating one
    size_t shown_ = 0;                 // entries that screen showed
    std::vector<bool> recordHandled_;  // by slot, for the current screen
};

}  // namespace orbisight
