#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "account/DeviceInfo.h"
#include "app/PaneChannel.h"

namespace orbisight::testing {

// What a fake channel was asked to do, shared with the test after the pane
// has destroyed the channel.
struct FakeChannelLog {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::string> opened;  // device IDs
    std::vector<int> controls;
    std::vector<std::pair<int, int>> points;
    int closes = 0;         // Close calls that have returned
    int closesStarted = 0;  // Close calls begun (a held one waits)
    int opensReturned = 0;
    int destroyed = 0;  // channel objects destroyed
    int snapshots = 0;
    int recordToggles = 0;
    bool microphone = true;    // StartTalk finds one
    bool fileRefused = false;  // ToggleRecording and TakeSnapshot return 0
    PaneChannelSettings lastSettings;
    NoticeTarget* lastOwner = nullptr;
    std::vector<VideoSink*> sinks;  // each channel's, in the order made

    // Open's behaviour.
    int openResult = 1;
    bool holdOpen = false;  // Open waits until released (or Close)
    bool released = false;
    // Close waits until ReleaseClose (at most closeHoldMs, so a test of a
    // window that waits for it fails instead of hanging).
    bool holdClose = false;
    bool closeReleased = false;
    int closeHoldMs = 3000;
    bool playing = true;
    int streamIdFlag = 1;
    int frameRate = 0;                   // ReceivedFrameRate
    PictureSize pictureSize{1280, 720};  // PictureSizeForPoints
    // "Choose stream by pane size": the channels report it, and the views
    // their panes tell them are kept by channel name ("cam<slot>").
    bool choosesStream = false;
    int streamShown = 1;
    bool streamSwitching = false;
    std::map<std::string, PaneView> views;
    int viewCalls = 0;

    PaneView View(const std::string& name) {
        std::lock_guard lock(mutex);
        auto found = views.find(name);
        return found == views.end() ? PaneView{-1, -1, false} : found->second;
    }

    void Release() {
        std::lock_guard lock(mutex);
        released = true;
        cv.notify_all();
    }
    void ReleaseClose() {
        std::lock_guard lock(mutex);
        closeReleased = true;
        cv.notify_all();
    }
    int Closes() {
        std::lock_guard lock(mutex);
        return closes;
    }
    int Destroyed() {
        std::lock_guard lock(mutex);
        return destroyed;
    }
};

class FakePaneChannel : public PaneChannel {
  public:
    FakePaneChannel(std::shared_ptr<FakeChannelLog> log, const PaneChannelSettings& settings)
        : log_(std::move(log)), name_(settings.name) {
        std::lock_guard lock(log_->mutex);
        log_->lastSettings = settings;
        log_->sinks.push_back(settings.videoSink);
    }
    ~FakePaneChannel() override {
        std::lock_guard lock(log_->mutex);
        ++log_->destroyed;
    }

    int Open(const DeviceInfo& record, NoticeTarget* owner) override {
        std::unique_lock lock(log_->mutex);
        log_->opened.emplace_back(record.Id());
        log_->lastOwner = owner;
        log_->cv.notify_all();
        if (log_->holdOpen) {
            log_->cv.wait(lock, [&] { return log_->released || closed_; });
        }
        ++log_->opensReturned;
        return closed_ ? 0 : log_->openResult;
    }
    void Close() override {
        std::unique_lock lock(log_->mutex);
        ++log_->closesStarted;
        log_->cv.notify_all();
        if (log_->holdClose) {
            log_->cv.wait_for(lock, std::chrono::milliseconds(log_->closeHoldMs),
                              [&] { return log_->closeReleased; });
        }
        closed_ = true;
        ++log_->closes;
        log_->cv.notify_all();
    }
    void SendControl(int code) override {
        std::lock_guard lock(log_->mutex);
        log_->controls.push_back(code);
    }
    void SendPointPtz(int x, int y) override {
        std::lock_guard lock(log_->mutex);
        log_->points.emplace_back(x, y);
    }
    int ToggleRecording() override {
        std::lock_guard lock(log_->mutex);
        if (log_->fileRefused) {
            return 0;
        }
        ++log_->recordToggles;
        recording_ = !recording_;
        return 1;
    }
    int TakeSnapshot() override {
        std::lock_guard lock(log_->mutex);
        if (log_->fileRefused) {
            return 0;
        }
        ++log_->snapshots;
        return 1;
    }
    void SetListening(bool on) override { listening_ = on; }
    int StartTalk() override {
        talking_ = log_->microphone;
        return talking_ ? 1 : 0;
    }
    void StopTalk() override { talking_ = false; }
    bool Playing() const override { return !closed_ && log_->playing; }
    bool Recording() const override { return recording_; }
    bool Listening() const override { return listening_; }
    bool Talking() const override { return talking_; }
    bool Alert() const override { return alert_; }
    void SetAlert(bool on) override { alert_ = on; }
    bool KeyFramesOnly() const override { return keyFramesOnly_; }
    void SetKeyFramesOnly(bool on) override { keyFramesOnly_ = on; }
    int StreamIdFlag() const override { return log_->streamIdFlag; }
    void SetPaneView(const PaneView& view) override {
        std::lock_guard lock(log_->mutex);
        log_->views[name_] = view;
        ++log_->viewCalls;
    }
    bool ChoosesStreamByPaneSize() const override { return log_->choosesStream; }
    int StreamShown() const override { return log_->streamShown; }
    bool StreamSwitching() const override { return log_->streamSwitching; }
    bool PeerToPeer() const override { return false; }
    PictureSize PictureSizeForPoints() const override { return log_->pictureSize; }
    int ReceivedFrameRate() const override { return log_->frameRate; }
    void SetZones(const PaneZones&) override {}
    void SetHover(bool, bool, bool) override {}

  private:
    std::shared_ptr<FakeChannelLog> log_;
    std::string name_;
    std::atomic<bool> closed_{false};
    std::atomic<bool> recording_{false};
    std::atomic<bool> listening_{false};
    std::atomic<bool> talking_{false};
    std::atomic<bool> alert_{false};
    std::atomic<bool> keyFramesOnly_{false};
};

inline PaneChannelFactory FakeFactory(std::shared_ptr<FakeChannelLog> log) {
    return
        [log](const PaneChannelSettings& s) { return std::make_unique<FakePaneChannel>(log, s); };
}

}  // namespace orbisight::testing
