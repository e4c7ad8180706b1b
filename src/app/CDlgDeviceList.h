#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "account/DeviceInfo.h"
#include "account/SessionLists.h"
#include "app/DeviceTreeModel.h"
#include "platform/Notice.h"
#include "platform/WorkerThread.h"

class QLineEdit;
class QListWidget;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace orbisight {

class CDeviceInfoDlg;
struct CamNetParam;
class CDeviceSyncDlg;
class CDlgDeviceBind;
class CDlgMyVelaLogin;
class CXOMPWorker;
class GuiNoticeTarget;
class LanListener;
class VideoWall;
class DeviceTreeWidget;

// The device tree panel at the left of the main window: "My cameras",
// "Local cameras" (and "Public cameras" while shown) with their counts, the
// search box, the context menu, the local add/edit dialog and the probe
// thread that tells which local cameras answer. Double click or "Connect"
// hands a camera to the wall.
//
// It is the account session's notification window: login answers go to the
// open login dialog, list changes rebuild the tree (at most a second after
// the first change), device-information counts drive the progress window,
// alarms are announced to the main window.
class CDlgDeviceList : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kProbePeriodMs = 1000;
    static constexpr int kProbeStopWaitMs = 1400;
    // "timer 33": the local branch is rebuilt this long after a LAN answer.
    static constexpr int kLanRebuildDelayMs = 500;
    static constexpr int kRebuildAfterLogoutMs = 100;   // timer 1
    static constexpr int kRebuildAfterChangeMs = 1000;  // timer 212

    // probeAtStart: start the probe thread with a probe requested (the
    // normal case); otherwise it starts with the first local refresh.
    CDlgDeviceList(CXOMPWorker* worker, VideoWall* wall, bool showPublic, bool probeAtStart,
                   QWidget* parent);
    ~CDlgDeviceList() override;

    // Rebuilds every branch, or only the local one, from the session's lists.
    void RebuildAll();
    void RebuildLocal();
    // Local refresh: statuses to 0, probe again.
    void RefreshLocal();
    // The devices "Connect all" opens when no group was chosen: on-line
    // devices of my, public (while shown) and local lists that are not shown
    // in a pane, in that order.
    std::vector<DeviceInfo> DevicesForConnectAll() const;
    // Connect every camera below an item (a group or a root) through the
    // wall's "Connect all".
    void ConnectBelow(QTreeWidgetItem* item);
    // Double click on an item.
    void Activate(QTreeWidgetItem* item);
    // The context menu for an item (built, not shown), for tests.
    std::unique_ptr<QMenu> BuildMenu(QTreeWidgetItem* item);
    // One notice of the account session (GUI thread).
    void HandleSessionNotice(const Notice& notice);
    // The LAN listener: the panel registers for its answers (notice 13331)
    // and starts it. Each answer adds or updates the camera in the local
    // list; the local refresh searches too.
    void SetLan(LanListener* lan);
    void HandleLanNotice(const Notice& notice);
    // The login dialog the main window shows, or nullptr once it closed.
    void SetLoginDialog(CDlgMyVelaLogin* dialog);
    CDeviceSyncDlg* SyncProgress() const { return sync_; }
    // The handle of an item as the bind dialog and notice (6, handle) name
    // it; 0 for none.
    intptr_t HandleOf(QTreeWidgetItem* item) const;
    // Opens the bind dialog (unbind: for the camera of the item).
    void BindDialog(QTreeWidgetItem* item, bool unbind);
    // The bind dialog as BindDialog opens it (not shown): an unbind that
    // succeeds also closes the pane that shows the camera.
    std::unique_ptr<CDlgDeviceBind> MakeBindDialog(QTreeWidgetItem* item, bool unbind);
    // The commands of "Refresh list": the account's update and list refresh.
    void Update();
    void ListRefresh();
    // "Edit device paras": the settings dialog over the command channel for
    // a copy of the camera's record (shown window-modal, deleted on close).
    CDeviceInfoDlg* EditDeviceParameters(const DeviceInfo& camera, tree::Branch branch);
    // The settings dialog in LAN mode for a copy of a "Local Search" row
    // (window-modal to parent, deleted on close).
    CDeviceInfoDlg* EditLanParameters(QWidget* parent, const CamNetParam& record);
    // Runs the search for a text; returns the number of hits listed.
    int Search(const QString& text);
    // Moves a local entry below the target item, as a drop does. False when
    // the move is refused.
    bool MoveEntry(QTreeWidgetItem* dragged, QTreeWidgetItem* target);

    QTreeWidget* Tree() const;
    QTreeWidgetItem* RootItem(tree::Branch branch) const;
    // The record of an item (a snapshot copy), or nullptr for roots.
    const DeviceInfo* RecordOf(QTreeWidgetItem* item) const;
    tree::Branch BranchOf(QTreeWidgetItem* item) const;
    QTreeWidgetItem* FindItem(tree::Branch branch, std::string_view id) const;
    // Makes the camera with this ID the tree's current item (the wall
    // selected its pane).
    void SelectDevice(std::string_view id);
    QListWidget* SearchResults() const { return results_; }
    bool ProbeRunning() const { return probe_.Running(); }
    uint64_t ProbeRuns() const { return probeRuns_.load(); }

  signals:
    void paneForSelection(std::string id);  // a camera was selected: "" for none
    void localListChanged();
    // "Local search(&S)" on the local root: the main window opens the window.
    void localSearchRequested();
    // The login state changed (accepted or logged out): the account label.
    void accountChanged();
    // An alarm notification for a camera of the account.
    void alarmArrived(const QString& deviceId, const QString& title, const QString& text);
    // "My cameras" was rebuilt from the session's lists.
    void accountListShown();
    // "SD/Cloud Storage(&C)" on a camera: the record manager for a copy.
    void recordsRequested(const orbisight::DeviceInfo& camera);

  protected:
    void mousePressEvent(class QMouseEvent* event) override;

  private:
    // What every settings dialog gets: the record plan editor, the Wi-Fi
    // scan and the LAN search after a set.
    void EquipSettingsDialog(CDeviceInfoDlg* dialog);
    // An item named by what it shows rather than by pointer: a rebuild
    // deletes the items and their records, so anything that outlives the
    // moment (an open context menu) keeps this and looks the item up again.
    struct ItemRef {
        bool valid = false;  // false: no item
        tree::Branch branch = tree::Branch::kMy;
        bool root = false;
        bool group = false;
        int32_t groupNumber = 0;
        std::string id;
    };
    ItemRef RefOf(QTreeWidgetItem* item) const;
    // The item now showing the reference, or nullptr when it is gone.
    QTreeWidgetItem* ItemFor(const ItemRef& ref) const;

    void Populate(tree::Branch branch, const std::vector<DeviceInfo>& records);
    void AddNodes(QTreeWidgetItem* parent, const std::vector<tree::Node>& nodes,
                  tree::Branch branch, const std::vector<DeviceInfo>& records);
    void ShowMenu(const QPoint& pos);
    void StartProbe();
    void AddLocal(QTreeWidgetItem* item, bool group);
    void EditLocal(QTreeWidgetItem* item);
    void DeleteLocal(QTreeWidgetItem* item);
    void EmptyLocalList();
    void DeleteItem(intptr_t handle);

    CXOMPWorker* worker_;
    VideoWall* wall_;
    bool showPublic_;
    DeviceTreeWidget* tree_ = nullptr;
    QTreeWidgetItem* roots_[3] = {nullptr, nullptr, nullptr};
    // Snapshots of the lists shown, by branch; items point into them by index.
    std::vector<DeviceInfo> records_[3];
    QLineEdit* searchBox_ = nullptr;
    QListWidget* results_ = nullptr;
    QTimer searchTimer_;
    QTimer rebuildAllTimer_;
    QTimer rebuildLocalTimer_;
    QTimer progressTimer_;  // timer 213
    std::unique_ptr<GuiNoticeTarget> sessionNotices_;
    LanListener* lan_ = nullptr;
    std::unique_ptr<GuiNoticeTarget> lanNotices_;
    QPointer<CDlgMyVelaLogin> loginDialog_;
    CDeviceSyncDlg* sync_ = nullptr;
    intptr_t nextHandle_ = 1;

    WorkerThread probe_;
    std::atomic<bool> probeRequested_{false};
    std::atomic<bool> probeCancel_{false};
    std::atomic<uint64_t> probeRuns_{0};
};

}  // namespace orbisight
