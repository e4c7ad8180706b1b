// The camera settings dialog: its checks and corrections on what the user
// typed, what goes out for each page, when it tells of success, and that a
// refresh from the camera never overwrites an edit. A scripted link stands
// in for the camera; the last tests run the real command channel against a
// simulated camera (and the account simulator for the rename).
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimeZone>

#include "AccountWindowFixture.h"
#include "QtTestEnvironment.h"
#include "app/CDeviceInfoDlg.h"
#include "app/CDeviceInfoPage.h"
#include "app/ChannelParamLink.h"
#include "device/DeviceParamTables.h"
#include "sim/camera/SimCamera.h"

namespace orbisight {
namespace {

using namespace orbisight::testing;
using params::Page;

// Records what the dialog sends; the test plays the camera's side.
class ScriptedLink : public DeviceParamLink {
  public:
    struct Log {
        std::vector<DevInfoBlock> basic;
        std::vector<DevInfoBlock> lanExtended;
        std::vector<DevInfoExt> ext;
        bool connected = true;
        Handlers handlers;
    };
    ScriptedLink(params::LinkMode mode, bool answers, std::shared_ptr<Log> log)
        : mode_(mode), answers_(answers), log_(std::move(log)) {}
    params::LinkMode Mode() const override { return mode_; }
    void Start(Handlers handlers) override { log_->handlers = std::move(handlers); }
    bool SendBasic(const DevInfoBlock& block) override {
        log_->basic.push_back(block);
        return log_->connected;
    }
    bool SendExtended(const DevInfoBlock& lanExtended, const DevInfoExt& ext) override {
        log_->lanExtended.push_back(lanExtended);
        log_->ext.push_back(ext);
        return log_->connected;
    }
    bool AnswersSets() const override { return answers_; }

  private:
    params::LinkMode mode_;
    bool answers_;
    std::shared_ptr<Log> log_;
};

params::DeviceParamRecord CameraBlocks() {
    params::DeviceParamRecord record{};
    DevInfoBlock& b = record.basic;
    b.code = DevInfoBlock::kCodeBasicAnswer;
    b.SetDeviceName("Garage");
    b.SetDeviceId("ORBI00000007");
    b.SetWiredIp("192.168.1.20");
    b.SetFtpServer("ftp.old");
    b.supportedResolutions = params::kAllResolutions;
    b.resolutionCode = 6;
    b.stream1BitRate = 2000;
    b.stream2BitRate = 500;
    b.videoFileSize = 7;
    b.year = 2015;
    b.SetMonth(3);
    b.day = 12;
    b.SetTimeZoneIndex(12);
    return record;
}

class DeviceSettingsDialog : public ::testing::Test {
  protected:
    void Open(params::LinkMode mode, bool answers,
              const params::DeviceParamRecord& record = CameraBlocks()) {
        DeviceInfo camera{};
        camera.SetId("ORBI00000007");
        dialog_ = std::make_unique<CDeviceInfoDlg>(
            std::make_unique<ScriptedLink>(mode, answers, log_), camera);
        dialog_->Start();
        log_->handlers.parameters(record, DevInfoExt{});
    }
    template <typename T>
    T* Control(Page page, const char* name) {
        T* control = dialog_->PageWidget(page)->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    void Show(Page page) { dialog_->Tabs()->setCurrentIndex(static_cast<int>(page)); }
    // Types into a line edit as the user does (marks the page changed).
    void Type(Page page, const char* name, const QString& text) {
        QLineEdit* line = Control<QLineEdit>(page, name);
        line->setText(text);
        emit line->textEdited(text);
    }
    void Choose(Page page, const char* name, int index) {
        QComboBox* box = Control<QComboBox>(page, name);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void TypeBitRate(const char* name, const QString& text) {
        QComboBox* box = Control<QComboBox>(Page::kAudioVideo, name);
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), text);
    }
    QStringList Notes() const {
        QStringList texts;
        for (const auto& r : messages_.asked) {
            texts << r.text;
        }
        return texts;
    }

    MessageRecorder messages_;
    std::shared_ptr<ScriptedLink::Log> log_ = std::make_shared<ScriptedLink::Log>();
    std::unique_ptr<CDeviceInfoDlg> dialog_;
};

TEST_F(DeviceSettingsDialog, PagesShowTheBlockAndOkWaitsForAnEdit) {
    Open(params::LinkMode::kChannel, true);
    ASSERT_EQ(dialog_->Tabs()->count(), 11);
    QStringList titles;
    for (int i = 0; i < 11; ++i) {
        titles << dialog_->Tabs()->tabText(i);
    }
    EXPECT_EQ(titles.join("|"),
              "LAN|WIFI|3G/4G Paras|Audio/Video|Alert Trigger|Alarm/Record|Motion Zone|FTP "
              "Setting|Cloud Storage|Misc|System Info");
    EXPECT_EQ(Control<QLineEdit>(Page::kLan, "lanIp")->text(), "192.168.1.20");
    EXPECT_EQ(Control<QLineEdit>(Page::kSystemInfo, "deviceName")->text(), "Garage");
    EXPECT_EQ(Control<QComboBox>(Page::kCloudStorage, "videoFileSize")->currentText(),
              "Continuous Record 1min");
    EXPECT_FALSE(dialog_->OkButton()->isEnabled());
    Type(Page::kLan, "lanIp", "192.168.1.21");
    EXPECT_TRUE(dialog_->OkButton()->isEnabled());
    Show(Page::kFtp);
    EXPECT_FALSE(dialog_->OkButton()->isEnabled());
}

TEST_F(DeviceSettingsDialog, NameOf18Utf8BytesIsSentAnd19AreRefused) {
    Open(params::LinkMode::kChannel, true);
    Show(Page::kSystemInfo);
    // Nine two-byte letters and one more: 19 bytes in 10 characters.
    Type(Page::kSystemInfo, "deviceName", QString::fromUtf8("ééééééééé") + "x");
    EXPECT_FALSE(dialog_->Submit());
    EXPECT_EQ(Notes().value(0), "Device name too long!");
    EXPECT_TRUE(log_->basic.empty());

    Type(Page::kSystemInfo, "deviceName", QString::fromUtf8("ééééééééé"));
    ASSERT_TRUE(dialog_->Submit());
    ASSERT_EQ(log_->basic.size(), 1u);
    EXPECT_EQ(log_->basic[0].DeviceName(), "ééééééééé");
}

TEST_F(DeviceSettingsDialog, PasswordIsChangedOnlyWhenRepeated) {
    Open(params::LinkMode::kChannel, true);
    Show(Page::kSystemInfo);
    Type(Page::kSystemInfo, "newPassword", "secret");
    Type(Page::kSystemInfo, "repeatPassword", "secreT");
    EXPECT_FALSE(dialog_->Submit());
    EXPECT_EQ(Notes().value(0), "Repeat password error!");
    EXPECT_TRUE(log_->basic.empty());

    Type(Page::kSystemInfo, "newPassword", "0123456789abcdef");
    Type(Page::kSystemInfo, "repeatPassword", "0123456789abcdef");
    EXPECT_FALSE(dialog_->Submit());
    EXPECT_EQ(Notes().value(1), "Password too long, at most 15 characters!");
    EXPECT_TRUE(log_->basic.empty());

    Type(Page::kSystemInfo, "newPassword", "secret");
    Type(Page::kSystemInfo, "repeatPassword", "secret");
    ASSERT_TRUE(dialog_->Submit());
    ASSERT_EQ(log_->basic.size(), 1u);
    EXPECT_EQ(log_->basic[0].passwordChange, 1);
    EXPECT_EQ(log_->basic[0].NewPassword(), "secret");
    // Sent once: a later page does not ask for the change again.
    EXPECT_EQ(dialog_->Edited().basic.passwordChange, 0);
}

TEST_F(DeviceSettingsDialog, BitRatesAreCorrectedInTheEditOrRefused) {
    Open(params::LinkMode::kChannel, true);
    Show(Page::kAudioVideo);
    TypeBitRate("stream1BitRate", "300");
    ASSERT_TRUE(dialog_->Submit());
    ASSERT_EQ(log_->basic.size(), 1u);
    EXPECT_EQ(log_->basic[0].stream1BitRate, 500);
    EXPECT_EQ(Control<QComboBox>(Page::kAudioVideo, "stream1BitRate")->currentText(), "500");
    EXPECT_EQ(log_->basic[0].stream2BitRate, 500);
    log_->handlers.setAnswered(true);

    // Stream 2 below 100 at code 6 has no correction: refused, not sent.
    TypeBitRate("stream2BitRate", "99");
    EXPECT_FALSE(dialog_->Submit());
    EXPECT_EQ(log_->basic.size(), 1u);
    EXPECT_TRUE(Notes().last().startsWith("Stream2: "));
    TypeBitRate("stream2BitRate", "100");
    ASSERT_TRUE(dialog_->Submit());
    EXPECT_EQ(log_->basic.back().stream2BitRate, 100);
    EXPECT_EQ(dialog_->findChild<QGroupBox*>("stream1Frame")->title(), "Stream1: 500~12000Kbps");
}

TEST_F(DeviceSettingsDialog, ListsStoreTheirCodedValues) {
    Open(params::LinkMode::kChannel, true);
    Show(Page::kCloudStorage);
    Choose(Page::kCloudStorage, "videoFileSize", 8);
    ASSERT_EQ(Control<QComboBox>(Page::kCloudStorage, "videoFileSize")->currentText(),
              "Continuous Record 3min");
    ASSERT_TRUE(dialog_->Submit());
    EXPECT_EQ(log_->basic.back().videoFileSize, 11);
    log_->handlers.setAnswered(true);

    Show(Page::kMisc);
    Choose(Page::kMisc, "timeZone", 20);
    ASSERT_TRUE(dialog_->Submit());
    EXPECT_EQ(log_->basic.back().timeZone, 148);
    EXPECT_TRUE(dialog_->LastSetNeedsRestart());
}

TEST_F(DeviceSettingsDialog, MonthFlagGoesOutAndIsClearAfterwards) {
    Open(params::LinkMode::kChannel, true);
    Show(Page::kFtp);
    Type(Page::kFtp, "ftpServer", "ftp.new");
    ASSERT_TRUE(dialog_->Submit());
    ASSERT_EQ(log_->basic.size(), 1u);
    EXPECT_TRUE(log_->basic[0].MonthSetFlag());
    EXPECT_EQ(log_->basic[0].Month(), 3);
    EXPECT_EQ(log_->basic[0].code, DevInfoBlock::kCodeSet);
    EXPECT_EQ(log_->basic[0].CommandName(), "VidxSetInfo");
    EXPECT_EQ(log_->basic[0].uploadServerKind, 1);
    EXPECT_FALSE(dialog_->Edited().basic.MonthSetFlag());
    log_->handlers.setAnswered(true);
    EXPECT_FALSE(dialog_->Unedited().basic.MonthSetFlag());
    EXPECT_EQ(dialog_->Unedited().basic.FtpServer(), "ftp.new");
}

TEST_F(DeviceSettingsDialog, TheLanThreeGPageSendsTheExtendedBlockAs128) {
    params::DeviceParamRecord record = CameraBlocks();
    record.lanExtended.code = DevInfoBlock::kCodeExtendedAnswer;
    record.lanExtended.SetDeviceId("ORBI00000007");  // every answer names its camera
    DevInfoExt ext{};
    ext.SetApn("old.apn");
    params::PutExtIntoLanBlock(record.lanExtended, ext);
    Open(params::LinkMode::kLan, false, record);
    EXPECT_EQ(Control<QLineEdit>(Page::k3g, "apn")->text(), "old.apn");
    Show(Page::k3g);
    Type(Page::k3g, "apn", "new.apn");
    ASSERT_TRUE(dialog_->Submit());
    EXPECT_TRUE(log_->basic.empty());
    ASSERT_EQ(log_->lanExtended.size(), 1u);
    EXPECT_EQ(log_->lanExtended[0].code, DevInfoBlock::kCodeSetExtended);
    EXPECT_EQ(log_->lanExtended[0].CommandName(), "VidxSetInfo");
    EXPECT_EQ(params::ExtFromLanBlock(log_->lanExtended[0]).Apn(), "new.apn");
    // LAN sets are not answered: done once broadcast.
    EXPECT_EQ(Notes().value(0), "Device parameter setting success!");
    EXPECT_EQ(dialog_->Edited().basic.code, DevInfoBlock::kCodeBasicAnswer);

    // Any other page stamps the basic block with 135.
    Show(Page::kLan);
    Type(Page::kLan, "lanIp", "192.168.1.30");
    ASSERT_TRUE(dialog_->Submit());
    ASSERT_EQ(log_->basic.size(), 1u);
    EXPECT_EQ(log_->basic[0].code, DevInfoBlock::kCodeSet);
    EXPECT_EQ(log_->basic[0].WiredIp(), "192.168.1.30");
}

TEST_F(DeviceSettingsDialog, TheLanThreeGPageSendsNothingBeforeTheExtendedAnswer) {
    Open(params::LinkMode::kLan, false);  // a basic answer only
    Show(Page::k3g);
    Type(Page::k3g, "apn", "new.apn");
    EXPECT_FALSE(dialog_->Submit());
    EXPECT_TRUE(log_->lanExtended.empty());
    EXPECT_TRUE(Notes().value(0).startsWith("The camera has not sent its 3G/4G settings yet"));
    EXPECT_TRUE(dialog_->OkButton()->isEnabled());  // the edit stays for a retry
}

TEST_F(DeviceSettingsDialog, SuccessOnlyWhenTheCameraTookTheSet) {
    Open(params::LinkMode::kChannel, true);
    Show(Page::kLan);
    Type(Page::kLan, "lanIp", "192.168.1.21");
    ASSERT_TRUE(dialog_->Submit());
    EXPECT_TRUE(Notes().isEmpty());
    EXPECT_TRUE(dialog_->SetWaiting());
    EXPECT_FALSE(dialog_->OkButton()->isEnabled());
    log_->handlers.setAnswered(false);
    EXPECT_EQ(Notes().value(0), "Device parameter setting failed, the setting was not applied!");
    EXPECT_TRUE(dialog_->PageWidget(Page::kLan)->Changed());
    EXPECT_TRUE(dialog_->OkButton()->isEnabled());
    EXPECT_EQ(dialog_->Unedited().basic.WiredIp(), "192.168.1.20");

    ASSERT_TRUE(dialog_->Submit());
    log_->handlers.setAnswered(true);
    EXPECT_EQ(Notes().value(1), "Device parameter setting success!");
    EXPECT_FALSE(dialog_->PageWidget(Page::kLan)->Changed());
    EXPECT_FALSE(dialog_->OkButton()->isEnabled());
    EXPECT_EQ(dialog_->Unedited().basic.WiredIp(), "192.168.1.21");

    // A closed channel takes nothing: no success either.
    log_->connected = false;
    Type(Page::kLan, "lanIp", "192.168.1.22");
    EXPECT_FALSE(dialog_->Submit());
    EXPECT_EQ(Notes().value(2), "Device is not connected, the setting was not applied!");
}

TEST_F(DeviceSettingsDialog, ACameraThatNeverAnswersIsNotCalledASuccess) {
    Open(params::LinkMode::kChannel, true);
    dialog_->SetSetAnswerTimeout(50);
    Type(Page::kLan, "lanIp", "192.168.1.21");
    ASSERT_TRUE(dialog_->Submit());
    ASSERT_TRUE(WaitUntil([&] { return !dialog_->SetWaiting(); }));
    EXPECT_EQ(Notes().value(0),
              "The device did not answer, the setting may not have been applied!");
    log_->handlers.setAnswered(true);  // late: belongs to nothing any more
    EXPECT_EQ(Notes().size(), 1);
}

TEST_F(DeviceSettingsDialog, BlocksArrivingAgainKeepTheUsersEdits) {
    Open(params::LinkMode::kChannel, true);
    Type(Page::kLan, "lanIp", "10.0.0.9");
    Type(Page::kSystemInfo, "deviceName", "Front");
    params::DeviceParamRecord again = CameraBlocks();
    again.basic.SetWiredIp("192.168.1.99");
    again.basic.SetFtpServer("ftp.changed");
    again.basic.SetDeviceName("Renamed elsewhere");
    log_->handlers.parameters(again, DevInfoExt{});
    EXPECT_EQ(Control<QLineEdit>(Page::kLan, "lanIp")->text(), "10.0.0.9");
    EXPECT_EQ(Control<QLineEdit>(Page::kSystemInfo, "deviceName")->text(), "Front");
    EXPECT_EQ(Control<QLineEdit>(Page::kFtp, "ftpServer")->text(), "ftp.changed");
    EXPECT_TRUE(dialog_->PageWidget(Page::kLan)->Changed());

    // OK on the LAN page sends the edit over what the camera now has; the
    // other page's edit waits for its own OK.
    Show(Page::kLan);
    ASSERT_TRUE(dialog_->Submit());
    EXPECT_EQ(log_->basic[0].WiredIp(), "10.0.0.9");
    EXPECT_EQ(log_->basic[0].FtpServer(), "ftp.changed");
    EXPECT_EQ(log_->basic[0].DeviceName(), "Renamed elsewhere");
}

TEST_F(DeviceSettingsDialog, FetchTakesTheComputersZoneAndClock) {
    Open(params::LinkMode::kChannel, true);
    QDateTime pinned(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone(13 * 3600));
    dialog_->SetClock([pinned] { return pinned; });
    Show(Page::kMisc);
    dialog_->findChild<QPushButton*>("fetchComputerTime")->click();
    EXPECT_EQ(Control<QComboBox>(Page::kMisc, "timeZone")->currentText(), "GMT+13");
    EXPECT_TRUE(dialog_->OkButton()->isEnabled());
    ASSERT_TRUE(dialog_->Submit());
    const DevInfoBlock& sent = log_->basic.back();
    EXPECT_EQ(sent.TimeZoneIndex(), 27);
    EXPECT_EQ(int(sent.year), 2026);
    EXPECT_EQ(sent.Month(), 1);
    EXPECT_EQ(sent.day, 2);
    EXPECT_EQ(sent.hour, 3);
    EXPECT_EQ(sent.second, 5);

    pinned = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone(5 * 3600 + 1800));
    dialog_->SetClock([pinned] { return pinned; });
    dialog_->FetchComputerTime();
    EXPECT_EQ(Control<QComboBox>(Page::kMisc, "timeZone")->currentIndex(), 26);
}

TEST_F(DeviceSettingsDialog, RestartButtonsSendTheCommandOnce) {
    Open(params::LinkMode::kChannel, true);
    dialog_->findChild<QPushButton*>("reboot")->click();
    ASSERT_EQ(log_->basic.size(), 1u);
    EXPECT_EQ(log_->basic[0].restartCommand, 2);
    EXPECT_EQ(log_->basic[0].code, DevInfoBlock::kCodeSet);
    EXPECT_EQ(Notes().value(0), "Restart command sent!");
    EXPECT_EQ(dialog_->Edited().basic.restartCommand, 0);
    dialog_->findChild<QPushButton*>("resetDefaults")->click();
    EXPECT_EQ(log_->basic[1].restartCommand, 1);
}

TEST_F(DeviceSettingsDialog, WifiScansRunOffTheWindowThreadAndTheFirstKeepsTheCamerasSsid) {
    // The scanner blocks until the test lets it go: the window must not.
    struct Gate {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
        int scans = 0;
    };
    auto gate = std::make_shared<Gate>();
    params::DeviceParamRecord record = CameraBlocks();
    record.basic.SetWifiSsid("home");
    record.basic.wifiClientMode = 1;
    DeviceInfo camera{};
    camera.SetId("ORBI00000007");
    dialog_ = std::make_unique<CDeviceInfoDlg>(
        std::make_unique<ScriptedLink>(params::LinkMode::kChannel, true, log_), camera);
    dialog_->SetWifiScanner([gate] {
        std::unique_lock lock(gate->mutex);
        gate->opened.wait(lock, [&] { return gate->open; });
        ++gate->scans;
        return std::vector<std::string>{"cafe", "home", "cafe"};
    });
    dialog_->Start();  // scans at once
    log_->handlers.parameters(record, DevInfoExt{});
    auto* ssid = Control<QComboBox>(Page::kWifi, "wifiSsid");
    {
        std::lock_guard lock(gate->mutex);
        gate->open = true;
    }
    gate->opened.notify_all();
    ASSERT_TRUE(WaitUntil([&] { return ssid->count() == 3; }, 5000));
    // The scan at the start lists the networks but leaves the SSID shown
    // and the page unchanged.
    EXPECT_EQ(ssid->currentText(), "home");
    EXPECT_FALSE(dialog_->PageWidget(Page::kWifi)->Changed());

    // "Refresh": the networks again, listed twice when seen twice, the first chosen.
    {
        std::lock_guard lock(gate->mutex);
        gate->open = false;
    }
    Show(Page::kWifi);
    dialog_->findChild<QPushButton*>("wifiRefresh")->click();  // returns while the scan waits
    dialog_->findChild<QPushButton*>("wifiRefresh")->click();  // served by the same scan
    ssid->setEditText("typed");
    {
        std::lock_guard lock(gate->mutex);
        gate->open = true;
    }
    gate->opened.notify_all();
    ASSERT_TRUE(WaitUntil([&] { return ssid->currentText() == "cafe"; }, 5000));
    EXPECT_EQ(ssid->count(), 3);
    EXPECT_EQ(gate->scans, 2);
}

TEST_F(DeviceSettingsDialog, WifiPageIsLeftAloneForAnExtendedAnswerAndReadOnlyInClientMode) {
    params::DeviceParamRecord record = CameraBlocks();
    record.basic.SetWifiSsid("home");
    record.basic.wifiClientMode = 1;
    record.basic.wifiSecurity = 2;
    Open(params::LinkMode::kChannel, true, record);
    EXPECT_EQ(Control<QComboBox>(Page::kWifi, "wifiSsid")->currentText(), "home");
    Show(Page::kWifi);
    Type(Page::kWifi, "wifiKey", "k3y");
    ASSERT_TRUE(dialog_->Submit());
    EXPECT_EQ(log_->basic[0].WifiKey(), "k3y");
    EXPECT_EQ(int(log_->basic[0].wifiSecurity), 2);  // the hidden list writes back its value
    log_->handlers.setAnswered(true);

    Control<QCheckBox>(Page::kWifi, "wifiClientMode")->setChecked(false);
    Type(Page::kWifi, "wifiKey", "ignored");
    ASSERT_TRUE(dialog_->Submit());
    EXPECT_EQ(int(log_->basic[1].wifiClientMode), 0);
    EXPECT_EQ(log_->basic[1].WifiKey(), "k3y");
    log_->handlers.setAnswered(true);

    // A block that is an extended answer holds no Wi-Fi settings.
    params::DeviceParamRecord extended = record;
    extended.basic.code = DevInfoBlock::kCodeExtendedAnswer;
    extended.basic.SetWifiSsid("not wifi");
    extended.basic.wifiClientMode = 0;
    log_->handlers.parameters(extended, DevInfoExt{});
    EXPECT_EQ(Control<QComboBox>(Page::kWifi, "wifiSsid")->currentText(), "home");
    Control<QCheckBox>(Page::kWifi, "wifiClientMode")->setChecked(true);
    ASSERT_TRUE(dialog_->Submit());
    EXPECT_EQ(log_->basic[2].WifiSsid(), "not wifi");
    EXPECT_EQ(int(log_->basic[2].wifiClientMode), 0);
}

TEST_F(DeviceSettingsDialog, ZoneGridScheduleAndSdChoicesStoreWhatWasChosen) {
    params::DeviceParamRecord record = CameraBlocks();
    record.basic.SetMotionZoneRow(0, 0x5);
    record.basic.motionZones[1] = 'a';  // lower case is read too
    record.basic.SetMotionZoneRow(2, 0);
    Open(params::LinkMode::kChannel, true, record);
    EXPECT_TRUE(Control<QPushButton>(Page::kMotionZone, "zone13")->isChecked());
    EXPECT_FALSE(Control<QPushButton>(Page::kMotionZone, "zone10")->isChecked());
    Show(Page::kMotionZone);
    Control<QPushButton>(Page::kMotionZone, "zoneSelectAll")->click();
    Control<QPushButton>(Page::kMotionZone, "zoneRestore")->click();
    Control<QPushButton>(Page::kMotionZone, "zone23")->click();
    ASSERT_TRUE(dialog_->Submit());
    EXPECT_EQ(std::string(log_->basic[0].motionZones, 3), "5A8");
    log_->handlers.setAnswered(true);

    // No card: the SD choices cannot be ticked.
    EXPECT_FALSE(Control<QCheckBox>(Page::kAlarmRecord, "alarmToSd")->isEnabled());
    EXPECT_FALSE(dialog_->findChild<QPushButton*>("scheduleSettings")->isEnabled());
    // The plan dialog's "Alarm" mode follows the alert choice shown, even
    // before it was sent.
    int alertSeen = -1;
    dialog_->SetScheduleEditor([&alertSeen](DevInfoBlock& block, QWidget*) {
        alertSeen = block.alertOn;
        block.SetScheduleWord(7, 1, 0xCAFE);
        return true;
    });
    int alertBefore = dialog_->Edited().basic.alertOn;
    Choose(Page::kAlertTrigger, "alertOn", alertBefore == 0 ? 1 : 0);
    Show(Page::kAlarmRecord);
    dialog_->findChild<QPushButton*>("scheduleSettings")->click();
    EXPECT_TRUE(dialog_->OkButton()->isEnabled());
    ASSERT_TRUE(dialog_->Submit());
    EXPECT_EQ(alertSeen, alertBefore == 0 ? 1 : 0);
    EXPECT_EQ(log_->basic[1].ScheduleWord(7, 1), 0xCAFEu);
    EXPECT_EQ(log_->basic[1].alertOn, alertBefore);  // the other page was not sent
}

// ---- the real command channel against a simulated camera ----

class DeviceSettingsOverChannel : public ::testing::Test {
  protected:
    void SetUp() override {
        nlohmann::json config = {
            {"id", "ORBI00000007"}, {"name", "Garage"}, {"password", "pw"}, {"port", 0}};
        camera_ =
            sim::SimCamera::Start(config, context_, [](const nlohmann::json&) { return nullptr; });
    }
    void TearDown() override {
        EXPECT_EQ(camera_->ViolationCount(), 0) << ::testing::PrintToString(camera_->Violations());
        camera_->Stop();
    }
    DeviceInfo Record() const {
        DeviceInfo record{};
        record.SetUrl("ssp://127.0.0.1:" + std::to_string(camera_->Port()));
        record.SetId("ORBI00000007");
        record.SetUser("admin");
        record.SetPassword("pw");
        return record;
    }
    std::unique_ptr<CDeviceInfoDlg> OpenDialog() {
        auto dialog = std::make_unique<CDeviceInfoDlg>(
            std::make_unique<ChannelParamLink>(Record(), nullptr), Record());
        dialog->Start();
        EXPECT_TRUE(WaitUntil([&] { return dialog->OkButton() && Loaded(*dialog); }, 10000));
        return dialog;
    }
    static bool Loaded(const CDeviceInfoDlg& dialog) {
        return dialog.Unedited().basic.DeviceId() == "ORBI00000007";
    }

    MessageRecorder messages_;
    sim::SimContext context_;
    std::unique_ptr<sim::SimCamera> camera_;
};

TEST_F(DeviceSettingsOverChannel, SettingsChangedInTheDialogReadBack) {
    {
        auto dialog = OpenDialog();
        auto* name = dialog->PageWidget(Page::kSystemInfo)->findChild<QLineEdit*>("deviceName");
        EXPECT_EQ(name->text(), "Garage");
        dialog->Tabs()->setCurrentIndex(static_cast<int>(Page::kSystemInfo));
        name->clear();
        QTest::keyClicks(name, "Back yard");
        ASSERT_TRUE(dialog->Submit());
        ASSERT_TRUE(WaitUntil([&] { return !messages_.asked.empty(); }, 10000));
        EXPECT_EQ(messages_.asked[0].text, "Device parameter setting success!");

        dialog->Tabs()->setCurrentIndex(static_cast<int>(Page::kCloudStorage));
        auto* size =
            dialog->PageWidget(Page::kCloudStorage)->findChild<QComboBox*>("videoFileSize");
        size->setCurrentIndex(8);
        emit size->activated(8);
        ASSERT_TRUE(dialog->Submit());
        ASSERT_TRUE(WaitUntil([&] { return messages_.asked.size() == 2; }, 10000));
        EXPECT_EQ(messages_.asked[1].text, "Device parameter setting success!");

        // The 3G/4G page goes as the extended set.
        dialog->Tabs()->setCurrentIndex(static_cast<int>(Page::k3g));
        auto* apn = dialog->PageWidget(Page::k3g)->findChild<QLineEdit*>("apn");
        apn->setText("web.sim");
        emit apn->textEdited(apn->text());
        ASSERT_TRUE(dialog->Submit());
        ASSERT_TRUE(WaitUntil([&] { return messages_.asked.size() == 3; }, 10000));
        EXPECT_EQ(messages_.asked[2].text, "Device parameter setting success!");
    }
    EXPECT_EQ(camera_->State().Extended().Apn(), "web.sim");
    EXPECT_EQ(camera_->State().Parameters().DeviceName(), "Back yard");
    // A new dialog reads the camera's blocks afresh.
    auto again = OpenDialog();
    EXPECT_EQ(again->PageWidget(Page::kSystemInfo)->findChild<QLineEdit*>("deviceName")->text(),
              "Back yard");
    EXPECT_EQ(again->PageWidget(Page::kCloudStorage)
                  ->findChild<QComboBox*>("videoFileSize")
                  ->currentText(),
              "Continuous Record 3min");
    EXPECT_EQ(again->PageWidget(Page::k3g)->findChild<QLineEdit*>("apn")->text(), "web.sim");
    EXPECT_FALSE(camera_->State().Parameters().MonthSetFlag());
}

TEST_F(DeviceSettingsOverChannel, AnUnreachableCameraShowsTheOpenersTexts) {
    DeviceInfo record = Record();
    record.SetUrl("ssp://127.0.0.1:1");
    auto link = std::make_unique<ChannelParamLink>(record, nullptr);
    CDeviceInfoDlg dialog(std::move(link), record);
    dialog.Start();
    EXPECT_EQ(dialog.Status(), "Connecting to Device...");
    EXPECT_TRUE(WaitUntil(
        [&] { return dialog.Status() == "Connecting to Device Failed, Try again!"; }, 10000));
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
}

// An idle channel logs in again after its read time-out and the blocks come
// again: what the camera changed meanwhile shows, what the user is editing
// stays.
TEST_F(DeviceSettingsOverChannel, BlocksAfterTheIdleLoginKeepTheEditAndRefreshTheRest) {
    auto link = std::make_unique<ChannelParamLink>(Record(), nullptr);
    CXOMPDeviceOper::Timings timings;
    timings.replyTimeoutMs = 300;
    timings.retryDelayMs = 50;
    link->SetTimings(timings, ChannelParamLink::kFetchTimeoutMs);
    CDeviceInfoDlg dialog(std::move(link), Record());
    dialog.Start();
    ASSERT_TRUE(WaitUntil([&] { return Loaded(dialog); }, 10000));
    auto* ip = dialog.PageWidget(Page::kLan)->findChild<QLineEdit*>("lanIp");
    ip->setText("10.1.2.3");
    emit ip->textEdited(ip->text());

    DevInfoBlock elsewhere = camera_->State().Parameters();
    elsewhere.SetFtpServer("ftp.other");
    elsewhere.SetWiredIp("10.9.9.9");
    camera_->State().StoreParameters(elsewhere);
    auto* ftp = dialog.PageWidget(Page::kFtp)->findChild<QLineEdit*>("ftpServer");
    ASSERT_TRUE(WaitUntil([&] { return ftp->text() == "ftp.other"; }, 10000));
    EXPECT_EQ(ip->text(), "10.1.2.3");
    EXPECT_EQ(dialog.Unedited().basic.WiredIp(), "10.9.9.9");
    EXPECT_TRUE(messages_.asked.empty());
}

// ---- the rename of an account camera ----

class DeviceSettingsRename : public AccountWindowFixture {};

TEST_F(DeviceSettingsRename, AnAccountCameraIsRenamedOnTheAccountToo) {
    nlohmann::json config = {
        {"id", "SRV000000001"}, {"name", "Porch"}, {"password", "pw"}, {"port", 0}};
    sim::SimContext cameraContext;
    auto camera =
        sim::SimCamera::Start(config, cameraContext, [](const nlohmann::json&) { return nullptr; });
    StartSim();
    Open();
    ASSERT_TRUE(LoginAndFill());
    DeviceInfo record{};
    record.type = 1;
    record.SetId("SRV000000001");
    record.SetName("Porch");
    record.SetUrl("ssp://127.0.0.1:" + std::to_string(camera->Port()));
    record.SetUser("admin");
    record.SetPassword("pw");
    {
        CDeviceInfoDlg dialog(std::make_unique<ChannelParamLink>(record, nullptr), record);
        dialog.SetAccountRename(Session(), false);
        QStringList renamed;
        QObject::connect(&dialog, &CDeviceInfoDlg::deviceRenamed,
                         [&](const QString&, const QString& name) { renamed << name; });
        MessageRecorder messages;
        dialog.Start();
        ASSERT_TRUE(WaitUntil([&] { return !dialog.Unedited().basic.DeviceId().empty(); }, 10000));
        dialog.Tabs()->setCurrentIndex(static_cast<int>(Page::kSystemInfo));
        auto* name = dialog.PageWidget(Page::kSystemInfo)->findChild<QLineEdit*>("deviceName");
        name->clear();
        QTest::keyClicks(name, "Porch light");
        ASSERT_TRUE(dialog.Submit());
        ASSERT_TRUE(WaitUntil([&] { return !renamed.isEmpty(); }, 10000));
        EXPECT_EQ(renamed.value(0), "Porch light");
        EXPECT_EQ(dialog.Camera().Name(), "Porch light");
    }
    // The account's lists come again with the new name.
    EXPECT_TRUE(WaitUntil(
        [&] {
            auto found =
                Session()->FindDevice(DeviceListKind::kMy, "SRV000000001", IdMatch::kExact);
            return found && found->Name() == "Porch light";
        },
        10000));
    camera->Stop();
}

TEST_F(DeviceSettingsRename, TheTreeOpensTheDialogForCamerasOnly) {
    StartSim();
    Open();
    ASSERT_TRUE(LoginAndFill());
    auto entries = [&](QTreeWidgetItem* item) {
        QStringList texts;
        std::unique_ptr<QMenu> menu = Tree()->BuildMenu(item);
        for (QAction* action : menu->actions()) {
            texts << action->text();
        }
        return texts;
    };
    QTreeWidgetItem* porch = Tree()->FindItem(tree::Branch::kMy, "SRV000000001");
    ASSERT_NE(porch, nullptr);
    EXPECT_TRUE(entries(porch).contains("Edit device paras(&E)"));
    EXPECT_FALSE(entries(MyRoot()->child(0)).contains("Edit device paras(&E)"));  // a group
    EXPECT_FALSE(entries(MyRoot()).contains("Edit device paras(&E)"));

    // Nothing listens at Porch's address: the dialog says so and closes
    // without waiting for its channel, which is closed behind it.
    CDeviceInfoDlg* dialog =
        Tree()->EditDeviceParameters(*Tree()->RecordOf(porch), tree::Branch::kMy);
    QPointer<CDeviceInfoDlg> alive(dialog);
    // The record schedule's "Settings ..." has the record plan dialog behind
    // it.
    EXPECT_TRUE(dialog->findChild<QPushButton*>("scheduleSettings")->isEnabled());
    EXPECT_TRUE(WaitUntil(
        [&] { return dialog->Status() == "Connecting to Device Failed, Try again!"; }, 10000));
    dialog->close();
    EXPECT_TRUE(WaitUntil([&] { return alive.isNull(); }));
}

}  // namespace
}  // namespace orbisight
