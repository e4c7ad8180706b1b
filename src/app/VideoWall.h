#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <functional>
#include <vector>

#include "account/DeviceInfo.h"
#include "app/CDlgVedioShow.h"
#include "app/ChannelCloser.h"
#include "app/WallLayout.h"

class QWidget;

namespace orbisight {

class CDlgVideoCtrl;

// The video wall: the 256 panes (children of the main window), their layout,
// paging, the selected pane, full screen and the wall-wide operations. The
// arithmetic lives in WallLayout; this class applies it to the widgets.
class VideoWall : public QObject {
    Q_OBJECT
  public:
    static constexpr int kAutoPageMs = 10000;
    static constexpr int kMaxConnectAll = 65;
    // Pauses of "Connect all" between its steps.
    struct ConnectPauses {
        int afterDisconnectMs = 100;
        int afterFirstMs = 1000;
        int afterEachMs = 100;
    };

    VideoWall(QWidget* host, PaneContext context, QObject* parent = nullptr);
    ~VideoWall() override;

    CDlgVedioShow* Pane(int slot) const { return panes_[slot]; }
    WallLayout& Layout() { return layout_; }
    const WallLayout& Layout() const { return layout_; }
    CDlgVedioShow* SelectedPane() const;
    CDlgVedioShow* FullScreenPane() const { return fullScreenPane_; }
    CDlgVideoCtrl* PaneToolbar() const { return paneToolbar_; }
    WallLayout::InUse InUse() const;
    void SetConnectPauses(ConnectPauses pauses) { pauses_ = pauses; }
    // Closes the channels the panes let go of, behind the window. Destroyed
    // after the panes, waiting for what is still closing.
    ChannelCloser& Closer() { return *closer_; }

    // The panes' area changed or the frame was laid out again.
    void SetClientSize(int width, int height);

    bool SetLayout(int code, bool forced);
    void ReapplyLayout();
    bool Page(WallLayout::PageCommand command);
    void Count();
    CDlgVedioShow* TakeFreePane();
    void SelectPane(CDlgVedioShow* pane);
    void ClearSelection();

    // Opens a device in a free pane (double click in the tree). Returns the
    // pane, or nullptr when all 256 are in use.
    CDlgVedioShow* OpenDevice(const DeviceInfo& device);
    // The pane showing this device (ID compared without regard to case).
    CDlgVedioShow* PaneShowing(std::string_view id) const;
    bool IsShown(std::string_view id) const { return PaneShowing(id) != nullptr; }

    // Connect all: empties the wall, then collects the devices (after the
    // panes are free, so cameras shown before are collected again), opens up
    // to 65 of them, pausing between them, and grows the layout. Each step
    // takes the first free pane when it runs and skips a camera shown by
    // then: what the user opened meanwhile stays. Runs on timers; done()
    // fires at the end.
    using DeviceCollector = std::function<std::vector<DeviceInfo>()>;
    void ConnectAll(DeviceCollector collect, std::function<void()> done = {});
    // The same with a fixed list (the devices of a group).
    void ConnectAll(std::vector<DeviceInfo> devices, std::function<void()> done = {});
    bool ConnectAllRunning() const { return connectAllRunning_; }
    // Returns false when the user declined to stop loop play.
    bool DisconnectAll(bool confirm);
    void RecordAll();
    bool RecordAllOn() const { return recordAll_; }
    // A snapshot of every pane with a channel; returns how many were taken.
    int SnapshotAll();
    // The user's "Snap all": the shutter sounds only when something was
    // taken.
    int UserSnapshotAll();
    // Disconnects one pane (close box, pane menu, pane toolbar), refused
    // while loop play runs unless the user stops it.
    bool DisconnectOne(CDlgVedioShow* pane);
    // Disconnects every pane showing a device with this ID.
    void DisconnectDevice(std::string_view id);
    // Copies an edited record over the panes that show it.
    void RefreshDevice(const DeviceInfo& edited);

    void ToggleFullScreen();
    void EnterWallFullScreen();
    bool FullScreen() const { return layout_.FullScreen(); }

    // Loop play (its driver sets this); the wall refuses manual changes.
    void SetLoopActive(bool on) { layout_.SetLoopActive(on); }
    // Asks "Do you want to  Stop loop playing?"; true when loop play is (now)
    // off.
    bool ConfirmStopLoop();

    // Auto page turn (the device panel's option, off by default).
    void SetAutoPageTurn(bool on) { autoPageTurn_ = on; }
    void RestartAutoPageTimer() { autoPageTimer_.start(kAutoPageMs); }

  signals:
    void pagingChanged();
    void selectionChanged(CDlgVedioShow* pane);
    // The frame must be laid out again (full screen entered or left).
    void frameLayoutRequested(bool fromResize);
    void mainWindowCommand(int command);
    void stopLoopRequested();
    void paneConnectionChanged(CDlgVedioShow* pane);
    // A pane's recordings box was clicked.
    void paneRecordsRequested(CDlgVedioShow* pane);

  protected:
    // The host's window: minimised, restored, exposed or covered.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Place();
    // Watches the host's window (and its native window, once it has one)
    // so the panes learn when nobody can see them.
    void WatchWindow();
    // Tells every pane in use to tell its channel what can be seen now.
    void RecheckViews();
    void ConnectNext(size_t index);
    void ResetToolbarZones();

    QWidget* host_;
    std::unique_ptr<ChannelCloser> closer_;  // outlives the panes
    PaneContext context_;
    std::array<CDlgVedioShow*, WallLayout::kPaneCount> panes_{};
    WallLayout layout_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    CDlgVedioShow* fullScreenPane_ = nullptr;
    CDlgVedioShow* outlined_ = nullptr;  // the pane drawn with the red outline
    CDlgVideoCtrl* paneToolbar_ = nullptr;
    QTimer autoPageTimer_;
    bool autoPageTurn_ = false;
    bool recordAll_ = false;
    ConnectPauses pauses_;
    bool connectAllRunning_ = false;
    uint64_t connectAllGeneration_ = 0;
    std::vector<DeviceInfo> connectQueue_;
    std::function<void()> connectDone_;
    QObject* watchedWindow_ = nullptr;
    QObject* watchedHandle_ = nullptr;
};

}  // namespace orbisight
