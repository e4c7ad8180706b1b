#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "account/AccountTimings.h"
#include "app/PaneChannel.h"
#include "app/PlaybackSession.h"
#include "app/RecordManagerContext.h"

namespace orbisight {

class AlarmNotifier;
class AppSettings;
class CAlarmHistoryDlg;
class CDlgDevAllCtrl;
class CDlgDeviceCtrl;
class CDlgDeviceList;
class CDlgLoopPlaySetting;
class CDlgMyVelaLogin;
class CRecordMangerDlg;
class CXOMPWorker;
class DiskGuard;
class LoopPlay;
class LanListener;
struct CamNetParam;
class TitleBar;
class UpdateListener;
class VideoWall;

// The main window: a frameless window with its own title bar, the toolbar,
// the device tree at the left, the video wall, and the device panel at the
// right. It owns the account session, the wall and the disk guard for the
// whole run, and takes the commands of its title bar, toolbar and panes.
class CMyVelaExpertDlg : public QWidget {
    Q_OBJECT
  public:
    struct Options {
        // Makes the panes' live channels; empty: the media engine's.
        PaneChannelFactory channelFactory;
        // Listen for the external updater (off in tests).
        bool updateListener = true;
        // Run the disk guard thread (tests turn it off).
        bool startDiskGuard = true;
        // Probe the local cameras from the tree at start (tests turn it off).
        bool probeAtStart = true;
        // Open the login dialog once the window has started.
        bool loginAtStart = true;
        // The account session's waits; empty: the service's own.
        std::optional<AccountTimings> accountTimings;
    };

    // Main window commands.
    static constexpr int kCmdOk = 1;
    static constexpr int kCmdClose = 2;
    static constexpr int kCmdEscape = 27;
    static constexpr int kCmdLoginLogout = 0x4000;
    static constexpr int kCmdUserInfo = 0x4001;

    CMyVelaExpertDlg(AppSettings& settings, Options options, QWidget* parent = nullptr);
    ~CMyVelaExpertDlg() override;

    // One command of the title bar, the toolbar or a pane.
    void Command(int id);
    // Closes without asking (an accepted update, the scripted demo).
    void CloseWithoutPrompt();
    // Lays out title bar, toolbar, tree, panel and wall for the current size.
    void LayoutFrame(bool fromResize);

    VideoWall* Wall() const { return wall_; }
    CDlgDevAllCtrl* Toolbar() const { return toolbar_; }
    CDlgDeviceList* DeviceTree() const { return tree_; }
    CDlgDeviceCtrl* DevicePanel() const { return panel_; }
    CAlarmHistoryDlg* AlarmWindow() const { return alarmWindow_; }
    AlarmNotifier* Notifier() const { return notifier_; }
    // A desktop notice was clicked: the window comes forward with its alarms.
    void BringForwardWithAlarms();
    // The alarm window's double click: the record manager of the alarm's
    // camera (without a camera, and saying so, when it is not listed).
    void OpenAlarmCamera(const QString& deviceId);
    // The record manager for a copy of the camera (null: none; noCamera says
    // why). One at a time: while one is open it is brought forward instead.
    CRecordMangerDlg* OpenRecordManager(const DeviceInfo* camera,
                                        const QString& noCamera = "No camera chosen.");
    // The open record manager, or nullptr.
    CRecordMangerDlg* RecordManager() const;
    // What the record manager's pages share, from the settings and the session.
    RecordManagerContext MakeRecordManagerContext() const;
    TitleBar* Title() const { return title_; }
    CXOMPWorker* Session() const { return worker_.get(); }
    AppSettings& Settings() const { return settings_; }
    DiskGuard* Guard() const { return diskGuard_.get(); }
    bool RightPanelHidden() const;
    bool Closing() const { return closing_; }
    // The updater's codes (also what the local socket delivers).
    void OnUpdaterMessage(int code);
    bool UpdatePending() const { return updatePending_; }
    // Opens the settings dialog modally.
    void OpenSettings();
    // The login dialog (window-modal, not blocking the caller); when one is
    // open already it is raised. Returns it.
    CDlgMyVelaLogin* OpenLoginDialog();
    // The open login dialog, or nullptr.
    CDlgMyVelaLogin* LoginDialog() const;
    // Logs out without the prompt (the automation).
    void LogoutNow();
    // The user information dialog (command 0x4001), modal.
    void OpenUserInfo();
    // The local recordings player (toolbar button 1048), modal.
    void OpenPlayback();
    // The sound output of the recordings player (empty: silent).
    void SetPlaybackAudio(PlaybackAudioFactory factory) { playbackAudio_ = std::move(factory); }
    void ShowAbout();
    // Loop play: the driver, the selection dialog in normal mode (built, not
    // shown) and the start from its accepted values.
    LoopPlay* Loop() const { return loop_; }
    std::unique_ptr<CDlgLoopPlaySetting> MakeLoopDialog();
    void StartLoop(const CDlgLoopPlaySetting& dialog);
    // "Local Search" (toolbar button 1065, the tree's "Local search(&S)"), modal.
    void OpenLocalSearch();
    // Opens the camera settings dialog in LAN mode on a copy of a LAN record
    // (the search window's "Edit(&E)" and double-click).
    using LanEditHook = std::function<void(QWidget* parent, const CamNetParam& record)>;
    void SetLanEditHook(LanEditHook hook) { lanEdit_ = std::move(hook); }
    const LanEditHook& LanEdit() const { return lanEdit_; }
    LanListener* Lan() const { return lan_.get(); }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    bool ConfirmClose();
    void LoginOrLogout();
    void RefreshAccount();
    void OnAlarm(const QString& deviceId, const QString& title, const QString& text);
    void PrepareDevice(DeviceInfo& device) const;
    void EmptyWallForClose();
    void UpdatePaging();
    void ToggleLoopPlay();
    void OnAccountListShown();
    void ApplyWindowShape();

    AppSettings& settings_;
    Options options_;
    std::unique_ptr<CXOMPWorker> worker_;
    std::unique_ptr<LanListener> lan_;
    LanEditHook lanEdit_;
    std::unique_ptr<DiskGuard> diskGuard_;
    TitleBar* title_ = nullptr;
    CDlgDevAllCtrl* toolbar_ = nullptr;
    CDlgDeviceList* tree_ = nullptr;
    CDlgDeviceCtrl* panel_ = nullptr;
    CAlarmHistoryDlg* alarmWindow_ = nullptr;
    AlarmNotifier* notifier_ = nullptr;
    VideoWall* wall_ = nullptr;
    UpdateListener* updates_ = nullptr;
    LoopPlay* loop_ = nullptr;
    bool autoConnectTried_ = false;  // this login's automatic loop start
    QTimer startTimer_;
    QTimer accountTimer_;
    QPointer<CDlgMyVelaLogin> loginDialog_;
    QPointer<CRecordMangerDlg> recordManager_;
    bool loginOpened_ = false;  // the first login dialog since start was shown
    bool closing_ = false;
    bool closeConfirmed_ = false;
    bool updatePending_ = false;
    PlaybackAudioFactory playbackAudio_;
};

}  // namespace orbisight
