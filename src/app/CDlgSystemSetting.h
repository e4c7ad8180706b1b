#pragma once

#include <QDialog>
#include <memory>

#include "app/CDlgLoopPlaySetting.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace orbisight {

class AppSettings;
class SavedLogins;

// The settings dialog: recording, streams, start-up choices and the account
// server's address. OK stores everything and asks for a restart.
class CDlgSystemSetting : public QDialog {
    Q_OBJECT
  public:
    CDlgSystemSetting(AppSettings& settings, SavedLogins* logins, QWidget* parent);

    // Controls, for tests.
    QCheckBox* AutoCheckVersion() const { return autoCheck_; }
    QSpinBox* RecordMinutes() const { return minutes_; }
    QCheckBox* LocalBigStream() const { return localBig_; }
    QCheckBox* ChooseStreamByPaneSize() const { return paneStream_; }
    QCheckBox* AlarmBlink() const { return alarmBlink_; }
    QCheckBox* StartWithComputer() const { return startWithComputer_; }
    QCheckBox* AutoLogin() const { return autoLogin_; }
    QCheckBox* AutoConnect() const { return autoConnect_; }
    QCheckBox* LocalOnlyKeyFrames() const { return keyFramesOnly_; }
    QCheckBox* ShowAlarm() const { return showAlarm_; }
    QCheckBox* AutoSwitchPages() const { return autoSwitch_; }
    QLineEdit* RecordFolder() const { return folder_; }
    QLineEdit* RegisterIp() const { return registerIp_; }
    QLabel* VersionLine() const { return version_; }

    QPushButton* AutoConnectList() const { return autoConnectList_; }
    // Where "Auto connect list.." finds the cameras.
    void SetLoopLists(CDlgLoopPlaySetting::ListSource lists, bool publicShown);
    // "Auto connect list..": the selection dialog in auto-connect mode on the
    // saved login in use (built, not shown; nullptr, after telling the user,
    // when no saved login is in use).
    std::unique_ptr<CDlgLoopPlaySetting> MakeAutoConnectDialog();
    // After its OK: the settings and the saved logins are stored.
    void StoreAutoConnect();
    static constexpr const char* kNoLoginText =
        "Log in first: the auto connect list is kept with the saved login of the account.";

    // The OK step without closing (tests call it directly).
    void Apply();
    // Refuses an empty "Record file path:" (the dialog stays open and says
    // why); otherwise stores the settings.
    void accept() override;
    static constexpr const char* kNoFolderText =
        "Record file path is empty. Choose a folder for recordings and snapshots.";

    // "Orbisight Cloud System 5.0 (Build %s %s)" with the build date and time.
    static QString VersionText();

  private:
    void Fill();
    void FollowPaneStream(bool byPane);
    void PickFolder();
    void EditAutoConnectList();

    AppSettings& settings_;
    SavedLogins* logins_;
    QCheckBox* autoCheck_ = nullptr;
    QSpinBox* minutes_ = nullptr;
    QCheckBox* localBig_ = nullptr;
    QCheckBox* paneStream_ = nullptr;
    QCheckBox* alarmBlink_ = nullptr;
    QCheckBox* startWithComputer_ = nullptr;
    QCheckBox* autoLogin_ = nullptr;
    QCheckBox* autoConnect_ = nullptr;
    QCheckBox* keyFramesOnly_ = nullptr;
    QCheckBox* showAlarm_ = nullptr;
    QCheckBox* autoSwitch_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QLineEdit* registerIp_ = nullptr;
    QPushButton* autoConnectList_ = nullptr;
    QLabel* version_ = nullptr;
    CDlgLoopPlaySetting::ListSource loopLists_;
    bool publicShown_ = false;
};

}  // namespace orbisight
