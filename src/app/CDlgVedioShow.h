#pragma once

#include <QDateTime>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "account/DeviceInfo.h"
#include "app/PaneChannel.h"
#include "app/PaneGeometry.h"
#include "media/PaneStreamPolicy.h"
#include "media/PictureSlots.h"
#include "platform/WorkerThread.h"

namespace orbisight {

class ChannelCloser;
class PaneLink;
class PaneVideoSink;

// What every pane needs from the wall: how to make a channel and with which
// settings. Owned by the wall, shared by its 256 panes.
struct PaneContext {
    PaneChannelFactory createChannel;
    // Settings for a channel of this device (filled from the settings record).
    std::function<PaneChannelSettings(const DeviceInfo& device, int slot)> channelSettings;
    std::function<bool()> wallFullScreen;
    // Completes the pane's copy of a camera before its channel opens (the
    // camera login of an account camera); may be empty.
    std::function<void(DeviceInfo& device)> prepareDevice;
    // Takes the channels the panes let go of and closes them behind the
    // window; without one a pane closes them itself.
    ChannelCloser* closer = nullptr;
};

// One cell of the video wall: shows one camera, owns its live channel, draws
// the idle and connecting states and paints the channel's pictures with the
// title, the status icons and the alarm border. Mouse and keys on the
// picture: selection, the close box, drag-to-point, the context menu,
// double click for full screen.
class CDlgVedioShow : public QWidget {
    Q_OBJECT
  public:
    // Pane commands (also the context menu's).
    static constexpr int kCmdDisconnect = 0x3000;
    static constexpr int kCmdToggleRecording = 0x3001;
    static constexpr int kCmdSnapshot = 0x3002;
    static constexpr int kCmdChannelState = 0x4000;
    static constexpr int kAlertPollFirstMs = 5000;
    static constexpr int kAlertPollMs = 10000;
    static constexpr int kOpenStopWaitMs = 1400;

    CDlgVedioShow(int slot, const PaneContext* context, QWidget* parent);
    ~CDlgVedioShow() override;

    int Slot() const { return slot_; }
    void SetSlot(int slot) { slot_ = slot; }

    // Shows a device: a new channel opened on an opening thread. The channel
    // shown before is handed to the closer, as by Disconnect.
    void Assign(const DeviceInfo& device);
    // Lets the channel go (the closer closes it and joins its opening thread
    // behind; nothing it posts or draws reaches the pane any more) and clears
    // the device, the connected state and the in-use flag. Never waits.
    void Disconnect();
    // A pane command (0x3000..0x3002, 0x4000 with the state in value).
    void Command(int command, int value = 0);

    bool InUse() const { return inUse_; }
    bool Connected() const { return connected_.load(); }
    const DeviceInfo* Device() const { return device_ ? &*device_ : nullptr; }
    // The device copy is replaced by an edited record of the same ID.
    void RefreshDevice(const DeviceInfo& edited);
    PaneChannel* Channel() const { return channel_.get(); }
    uint64_t ConnectTickMs() const { return connectTickMs_; }
    QDateTime ConnectTime() const { return connectTime_; }
    bool OpenFinished() const;
    uint64_t PicturesShown() const;
    // Fresh pictures painted (each picture counts once, at its first paint).
    uint64_t PicturesPainted() const { return picturesPainted_; }

    void SetSelected(bool selected);
    bool Selected() const { return selected_; }

    // Channel commands used by the toolbars (nothing without a channel).
    void SendControl(int code);
    // True when the channel started or stopped recording / took the
    // snapshot request; false without a channel or when the channel refused
    // (no record folder, no camera). Nothing is shown to the user.
    bool ToggleRecording();
    bool TakeSnapshot();
    // The same for a user's command: a refusal is told in an "Error" box
    // with the reason; a snapshot taken plays the shutter sound when
    // shutter is set.
    bool UserToggleRecording();
    bool UserSnapshot(bool shutter);
    // Why recording or a snapshot is refused: no record folder set, or the
    // channel cannot do it.
    QString FileRefusedReason(bool recording) const;
    // The camera's stream has started (the first picture was decoded):
    // sound and talk have something to work with.
    bool StreamReady() const;
    void ToggleListening();
    // Talk on or off. False when talk could not start (no microphone).
    bool ToggleTalk();
    void ToggleAlert();
    // The channel's quality level (0 low, 1 middle, 2 high) for the quality
    // tooltips and the quality menus, judged by the frame rate the channel
    // receives; 0 without a channel.
    int QualityLevelNow() const;

    // The right-button menu ("Begin record"/"Stop record", "Snap",
    // "Disconnect"), or nullptr when the pane is not connected.
    std::unique_ptr<class QMenu> BuildContextMenu();

    // The picture's title as every video picture shows it: at (8, 6) of the
    // picture area, light text on a grey box, in the given font at 1.5
    // times its height. Returns the box.
    static QRect PaintTitle(class QPainter& p, const QRect& area, const QFont& base,
                            const QString& title);
    // Where that box lies for an area at (0, 0).
    static QRect PaintTitleBox(const QFont& base, const QString& title);

    // Test access: a drag on the picture as the mouse would do it.
    void SimulateDrag(QPoint from, QPoint to);

    // The pointer is over the picture of a pan/tilt camera: the arrows show.
    bool PanTiltHover() const { return hoverPanTilt_; }
    bool RecordingsHover() const { return hoverRecordings_; }
    // What the pane shows of its camera: the drawn picture's size and
    // whether any of it can be seen (shown on the wall, the window neither
    // minimised nor unexposed). Told to the channel on every change.
    PaneView View() const;
    // Tells the channel the view again when it changed (the wall calls this
    // when its window is minimised, restored, covered or uncovered).
    void UpdateView();

    // Forgets whether the pointer was in the floating toolbar's zone, so the
    // next move reports where it is (the wall calls this when full screen is
    // entered or left).
    void ResetToolbarZone() { toolbarZone_ = ToolbarZoneState::kUnknown; }

  signals:
    void selectRequested(CDlgVedioShow* pane);
    void disconnectRequested(CDlgVedioShow* pane);  // through the wall (loop play rule)
    void fullScreenToggleRequested();
    void mainWindowCommand(int command);
    // In full screen: the pointer entered (true) or left (false) the bottom
    // 100 pixels, where the floating toolbar shows.
    void toolbarZone(CDlgVedioShow* pane, bool inside);
    void connectionChanged(CDlgVedioShow* pane);
    // A click on the recordings box: the record manager for the pane's camera.
    void recordsRequested(CDlgVedioShow* pane);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void ReleaseChannel();
    void UpdateWantedSize();
    static void FillRing(class QPainter& p, const QRect& outer, const QRect& inner,
                         const QColor& colour);
    void PaintIdle(class QPainter& p);
    void PaintRecordingsBox(class QPainter& p);
    void PaintPicture(class QPainter& p, const PictureSlots::Picture& picture);
    void PaintPanTiltArrows(class QPainter& p, const QRect& area);
    bool StretchIntoWindowBuffer(class QPainter& p, const QRect& area,
                                 const PictureSlots::Picture& pic);
    void PaintCachedTitle(class QPainter& p, const QRect& area, const std::string& title);
    void PaintAlarmBorder(class QPainter& p, uint32_t rgb);
    void UpdateToolbarZone(QPoint pos);
    void OnChannelNotice(uint64_t generation, intptr_t state);
    void OnMediaFileFailed(uint64_t generation, uintptr_t what, const std::string& text);
    void OnOpenDone(uint64_t generation, int result);
    void OnPictureReady();
    void FinishDrag(QPoint end);

    int slot_;
    const PaneContext* context_;
    // One channel, opening thread, sink and link per assignment; all four go
    // to the closer together.
    std::unique_ptr<PaneVideoSink> sink_;  // never null (an idle one between)
    std::unique_ptr<PaneChannel> channel_;
    std::shared_ptr<PaneLink> link_;
    std::unique_ptr<WorkerThread> opener_;
    uint64_t generation_ = 0;  // GUI thread: one per assignment

    std::optional<DeviceInfo> device_;
    bool inUse_ = false;
    std::atomic<bool> connected_{false};
    uint64_t connectTickMs_ = 0;
    QDateTime connectTime_;
    bool selected_ = false;

    PaneZones zones_;
    bool hoverClose_ = false;
    bool hoverRecordings_ = false;
    bool hoverWeb_ = false;
    bool hoverPanTilt_ = false;
    // Unknown after a leave, a disconnect or a change of full screen: the
    // next move reports either way.
    enum class ToolbarZoneState { kUnknown, kOutside, kInside };
    ToolbarZoneState toolbarZone_ = ToolbarZoneState::kUnknown;
    std::optional<QPoint> dragStart_;
    std::optional<QRect> dragRect_;  // drawn until the next repaint request

    QTimer alertTimer_;
    uint64_t picturesPainted_ = 0;  // GUI thread
    // The title box as last drawn, for the text and font it was drawn with.
    std::string titleText_;
    QFont titleFont_;
    QPixmap titleBox_;
    std::optional<PaneView> toldView_;  // the view the channel has, if any
};

}  // namespace orbisight
