#pragma once

#include <QDateTime>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "account/DeviceInfo.h"
#include "app/DeviceParamLink.h"
#include "device/DeviceParamEdit.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;

namespace orbisight {

class CDeviceInfoPage;
class ChannelCloser;
class CXOMPWorker;
class PaneLink;
class WorkerThread;

// The camera settings dialog: eleven pages over the camera's parameter
// blocks, reached through a DeviceParamLink (command channel or LAN).
//
// OK sends the current page: its controls are checked (name length in
// UTF-8 bytes, new password and its repetition, bit rates against the
// resolution) and stored into the record, the block is stamped (135, or 128
// for the 3G/4G page) and goes out with the month's flag set. Over the
// command channel the page counts as set only once the camera answered the
// set with "Ret" "1": then "Device parameter setting success!"; a refusal
// says the setting was not applied. The blocks arriving again (a re-login,
// a LAN search) refresh only the pages the user has not changed.
class CDeviceInfoDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kSetAnswerTimeoutMs = 30000;

    // `camera` is the record the dialog was opened for (its ID and name are
    // used by the account rename).
    CDeviceInfoDlg(std::unique_ptr<DeviceParamLink> link, const DeviceInfo& camera,
                   QWidget* parent = nullptr);
    ~CDeviceInfoDlg() override;

    // Set up before Start.
    // Where threads still running at destruction are closed and joined.
    void SetCloser(ChannelCloser* closer) { closer_ = closer; }
    // An account camera (type not 0) renamed on the System Info page is
    // renamed on the account too, with ModifyDevice; the type sent is the
    // state of the hidden public-device box.
    void SetAccountRename(CXOMPWorker* worker, bool publicDevice);
    // The networks this computer sees (runs on a worker thread).
    void SetWifiScanner(std::function<std::vector<std::string>()> scanner);
    // Edits the record schedule of the block (the record plan dialog);
    // true when it changed something.
    void SetScheduleEditor(std::function<bool(DevInfoBlock& block, QWidget* parent)> editor);
    // Broadcasts a LAN search after every successful set, so the LAN list
    // shows the new settings.
    void SetLanSearch(std::function<void()> search) { lanSearch_ = std::move(search); }
    // The computer's clock for "Fetch" (tests pin it).
    void SetClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }
    void SetSetAnswerTimeout(int ms) { setAnswerTimeoutMs_ = ms; }

    // Starts the link: the blocks arrive through it.
    void Start();
    // The camera's blocks (first time: every page; later: unchanged pages).
    void LoadParameters(const params::DeviceParamRecord& record, const DevInfoExt& ext);
    // OK on the current page. False when a check refused it or it could
    // not be sent; true when it was sent (the answer may still come).
    bool Submit();
    void Restart(params::RestartKind kind);
    void FetchComputerTime();
    // Scans for the WIFI page's networks. With selectFirst (the "Refresh"
    // button) the first one becomes the SSID; without it (the scan when the
    // dialog starts) the SSID shown stays as it is.
    void RefreshWifiList(bool selectFirst = true);

    QTabWidget* Tabs() const { return tabs_; }
    CDeviceInfoPage* PageWidget(params::Page page) const;
    QPushButton* OkButton() const { return ok_; }
    const params::DeviceParamRecord& Edited() const { return edited_; }
    const params::DeviceParamRecord& Unedited() const { return unedited_; }
    const DevInfoExt& Ext() const { return ext_; }
    QString Status() const;
    bool SetWaiting() const { return pendingPage_ >= 0; }
    // Whether the last page sent changed a member the camera restarts for.
    bool LastSetNeedsRestart() const { return needsRestart_; }
    const DeviceInfo& Camera() const { return camera_; }

  signals:
    // The account accepted the new name of the camera.
    void deviceRenamed(const QString& id, const QString& name);

  private:
    void UpdateOk();
    void SetStatus(const QString& text);
    void OnSetAnswered(bool accepted);
    void OnSetTimeout();
    void Succeeded(int page);
    void StartRename(const std::string& name);
    // Runs work on a thread of its own; the function it returns runs on the
    // window thread afterwards (unless the dialog is gone by then).
    void RunInBackground(const std::string& name, std::function<std::function<void()>()> work);
    CDeviceInfoPage* CurrentPage() const;

    std::unique_ptr<DeviceParamLink> link_;
    DeviceInfo camera_;
    ChannelCloser* closer_ = nullptr;
    CXOMPWorker* worker_ = nullptr;
    std::function<std::vector<std::string>()> wifiScanner_;
    std::function<bool(DevInfoBlock&, QWidget*)> scheduleEditor_;
    std::function<void()> lanSearch_;
    std::function<QDateTime()> clock_;
    int setAnswerTimeoutMs_ = kSetAnswerTimeoutMs;

    params::DeviceParamRecord edited_{};
    params::DeviceParamRecord unedited_{};
    DevInfoExt ext_{};
    bool loaded_ = false;
    int pendingPage_ = -1;     // the page whose set waits for its answer
    std::string pendingName_;  // the name it sends (System Info)
    bool needsRestart_ = false;
    // A record schedule edited and not yet sent with its page.
    bool scheduleEdited_ = false;
    // One Wi-Fi scan at a time (nmcli may take seconds); a "Refresh" while
    // one runs makes its result select the first network.
    bool scanRunning_ = false;
    bool scanSelectsFirst_ = false;
    DevInfoBlock schedule_{};

    QTabWidget* tabs_ = nullptr;
    std::vector<CDeviceInfoPage*> pages_;
    QLabel* status_ = nullptr;
    QPushButton* ok_ = nullptr;
    QCheckBox* publicDevice_ = nullptr;  // never shown
    QTimer setTimer_;

    struct Background;
    std::vector<std::shared_ptr<Background>> background_;
};

}  // namespace orbisight
