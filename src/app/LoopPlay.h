#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

#include "app/LoopSchedule.h"

namespace orbisight {

class VideoWall;

// Loop play on the wall: the screen step (timer 51), the auto record step a
// second after each screen (timer 52), the periodic snapshots (timer 53) and
// a one-second watch (timer 54) that takes the loop's single screen again
// when more selected cameras came on-line and starts recording on cameras of
// the screen that began to play late. The decisions are LoopSchedule's; this
// class applies them to the wall. The pauses between the steps of a screen
// run on timers, never blocking the window.
class LoopPlay : public QObject {
    Q_OBJECT
  public:
    static constexpr int kFirstStepMs = 50;
    static constexpr int kAfterDisconnectMs = 1000;
    static constexpr int kAfterFirstAssignMs = 500;
    static constexpr int kRecordAfterMs = 1000;  // timer 52
    static constexpr int kWatchMs = 1000;        // timer 54

    explicit LoopPlay(VideoWall* wall, QObject* parent = nullptr);

    // Normal start (the selection dialog's OK).
    void Start(const LoopOptions& options, std::vector<DeviceInfo> devices);
    // Automatic start after login: the list fills as the selected cameras
    // come on-line (Offer).
    void StartAutoConnect(const LoopOptions& options, std::vector<std::string> selectedIds);
    // Stops the timers and clears the wall's loop flag; the wall keeps what
    // it shows.
    void Stop();
    bool Active() const { return schedule_.Active(); }
    // Cameras as the lists show them now: the on-line ones of the
    // auto-connect selection join the loop.
    void Offer(const std::vector<DeviceInfo>& devices);
    const LoopSchedule& Schedule() const { return schedule_; }

    // The automation's shorter slide period (0: the chosen minutes).
    void SetSlideOverrideMs(int ms) { slideOverrideMs_ = ms; }
    int SlideMs() const;
    int SnapMs() const;

    // Timer steps (tests run them directly).
    void Step();
    void RecordStep();
    void SnapStep();
    void WatchStep();

    bool SlideTimerActive() const { return slide_.isActive(); }
    bool SnapTimerActive() const { return snap_.isActive(); }

  signals:
    // The frame must be laid out again (full screen or layout set).
    void frameLayoutRequested();
    // A screen was put on the wall: the IDs by slot.
    void screenShown(const QStringList& ids);

  private:
    void Begin(bool autoConnect);
    void KillTimers();
    void AssignFrom(const LoopScreen& screen, size_t first, uint64_t generation);
    void FinishScreen(const LoopScreen& screen);

    VideoWall* wall_;
    LoopSchedule schedule_;
    QTimer slide_;             // 51
    QTimer record_;            // 52
    QTimer snap_;              // 53
    QTimer watch_;             // 54
    uint64_t generation_ = 0;  // a screen's pending steps end with a new one
    int slideOverrideMs_ = 0;
};

}  // namespace orbisight
