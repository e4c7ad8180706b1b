// The main window with its toolbar, tree, panel and settings dialog, on a
// temporary data folder, with fake live channels.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QSpinBox>
#include <QThread>
#include <QTreeWidget>
#include <fstream>
#include <sstream>
#include <thread>

#include "FakePaneChannel.h"
#include "QtTestEnvironment.h"
#include "account/CXOMPWorker.h"
#include "app/AppSettings.h"
#include "app/CDlgAddLocalInfo.h"
#include "app/CDlgDevAllCtrl.h"
#include "app/CDlgDeviceCtrl.h"
#include "app/CDlgDeviceList.h"
#include "app/CDlgMyVelaLogin.h"
#include "app/CDlgSystemSetting.h"
#include "app/CMyVelaExpertDlg.h"
#include "app/StallWatch.h"
#include "app/TitleBar.h"
#include "app/UpdateListener.h"
#include "app/VideoWall.h"
#include "platform/Socket.h"
#include "ui/ImageButton.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;
namespace fs = std::filesystem;

std::string ReadText(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class MainWindowFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        log_ = std::make_shared<FakeChannelLog>();
        places_ = {dir_.Path() / "data", dir_.Path() / "autostart", dir_.Path() / "record",
                   "/opt/orbisight/bin/orbisight"};
        fs::create_directories(places_.dataFolder);
    }
    void TearDown() override {
        log_->Release();
        log_->ReleaseClose();
        window_.reset();
    }
    // Local cameras stored before the window opens.
    void StoreLocal(const std::vector<std::tuple<std::string, std::string, std::string>>& cams) {
        SessionLists lists(places_.dataFolder / LocalDeviceStore::kFileName);
        for (const auto& [id, host, name] : cams) {
            lists.AddLocalDevice(id, host, name, "admin", 0);
        }
    }
    void Open(bool probe = false) {
        settings_ = std::make_unique<AppSettings>(places_);
        settings_->Load();
        CMyVelaExpertDlg::Options options;
        options.channelFactory = FakeFactory(log_);
        options.updateListener = false;
        options.startDiskGuard = false;
        options.probeAtStart = probe;
        window_ = std::make_unique<CMyVelaExpertDlg>(*settings_, options);
        window_->resize(1600, 900);
        window_->show();
        // Timer 1 lays out the frame and sets the 2 x 2 wall.
        ASSERT_TRUE(WaitUntil([&] { return window_->Wall()->Pane(0)->isVisible(); }));
    }

    TempFolder dir_;
    AppSettings::Places places_;
    std::shared_ptr<FakeChannelLog> log_;
    std::unique_ptr<AppSettings> settings_;
    std::unique_ptr<CMyVelaExpertDlg> window_;
};

TEST_F(MainWindowFixture, StartsWithATwoByTwoWallAndTheFrameInPlace) {
    Open();
    EXPECT_EQ(window_->Wall()->Layout().GridSize(), 2);
    EXPECT_EQ(window_->Wall()->Pane(0)->geometry().topLeft(), QPoint(220, 96));
    EXPECT_EQ(window_->Toolbar()->geometry(), QRect(1, 36, 1598, 60));
    EXPECT_EQ(window_->DeviceTree()->geometry(), QRect(2, 96, 218, 799));
    EXPECT_EQ(window_->DevicePanel()->geometry(), QRect(1379, 96, 219, 799));
    EXPECT_EQ(window_->Title()->AccountText(), "No user login");
    EXPECT_EQ(window_->Toolbar()->Button(CDlgDevAllCtrl::kMultiPictures)->geometry(),
              QRect(20, 4, 54, 52));
    EXPECT_EQ(window_->Toolbar()->Button(CDlgDevAllCtrl::kCustomLayoutIds[0])->x(), 80);
    EXPECT_EQ(window_->Toolbar()->Button(CDlgDevAllCtrl::kFullScreen)->x(), 380);
    EXPECT_EQ(window_->Toolbar()->Button(CDlgDevAllCtrl::kRightPanel)->x(), 722);
}

TEST_F(MainWindowFixture, ToolbarLayoutsPagingAndRightPanel) {
    StoreLocal({{"C1", "127.0.0.1:1", "One"}, {"C2", "127.0.0.1:1", "Two"}});
    Open();
    CDlgDevAllCtrl* bar = window_->Toolbar();
    bar->Trigger(CDlgDevAllCtrl::kCustomLayoutIds[1]);
    EXPECT_EQ(window_->Wall()->Layout().CustomMode(), 31);
    window_->Command(WallLayout::kLayoutCommandBase + 1);
    EXPECT_EQ(window_->Wall()->Layout().LayoutCode(), 1);

    auto local = window_->Session()->SnapshotList(DeviceListKind::kLocal);
    ASSERT_EQ(local.size(), 2u);
    window_->Wall()->OpenDevice(local[0]);
    window_->Wall()->OpenDevice(local[1]);
    EXPECT_EQ(window_->Wall()->Layout().GridSize(), 2) << "the second camera grew the wall";
    window_->Command(WallLayout::kLayoutCommandBase + 1);
    EXPECT_TRUE(bar->Button(CDlgDevAllCtrl::kNextPage)->isEnabled());
    EXPECT_EQ(bar->Button(CDlgDevAllCtrl::kNextPage)->toolTip(),
              "Next:  2/2 Screen, connected 2 videos, 1 pic/screen");
    bar->Trigger(CDlgDevAllCtrl::kNextPage);
    EXPECT_EQ(window_->Wall()->Layout().CurrentPage(), 0) << "wrapped from the last page";

    bar->Trigger(CDlgDevAllCtrl::kRightPanel);
    EXPECT_TRUE(window_->RightPanelHidden());
    EXPECT_FALSE(window_->DevicePanel()->isVisible());
    EXPECT_EQ(bar->Button(CDlgDevAllCtrl::kRightPanel)->toolTip(), "Show Right Panel");
    // 1 x 1: the pane stops one pixel short of the wall's right edge (W - 3).
    EXPECT_EQ(window_->Wall()->Pane(0)->geometry().right(), 1600 - 3 - 2);
    bar->Trigger(CDlgDevAllCtrl::kRightPanel);
    EXPECT_EQ(bar->Button(CDlgDevAllCtrl::kRightPanel)->toolTip(), "Hide Right Panel");

    bar->Trigger(CDlgDevAllCtrl::kFullScreen);
    EXPECT_TRUE(window_->Wall()->FullScreen());
    EXPECT_FALSE(window_->Toolbar()->isVisible());
    EXPECT_FALSE(window_->DeviceTree()->isVisible());
    window_->Command(CMyVelaExpertDlg::kCmdClose);  // in full screen: leave it
    EXPECT_FALSE(window_->Wall()->FullScreen());
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(MainWindowFixture, ConnectAllTwiceKeepsTheCamerasOnTheWall) {
    StoreLocal(
        {{"C1", "127.0.0.1:1", "One"}, {"C2", "127.0.0.1:1", "Two"}, {"C3", "127.0.0.1:1", "Off"}});
    Open();
    for (const char* id : {"C1", "C2"}) {
        window_->Session()->Lists().SetLocalStatus(LocalEntryRef{false, 0, id}, 2);
    }
    window_->Wall()->SetConnectPauses({0, 0, 0});
    for (int round = 0; round < 2; ++round) {
        window_->Command(CDlgDevAllCtrl::kConnectAll);
        ASSERT_TRUE(WaitUntil([&] { return !window_->Wall()->ConnectAllRunning(); }));
        EXPECT_TRUE(window_->Wall()->IsShown("C1")) << "round " << round;
        EXPECT_TRUE(window_->Wall()->IsShown("C2")) << "round " << round;
        EXPECT_FALSE(window_->Wall()->IsShown("C3")) << "off-line cameras are left out";
        EXPECT_EQ(window_->Wall()->InUse().count(), 2u);
    }
}

TEST_F(MainWindowFixture, ClosePromptNoKeepsTheWindowYesEmptiesTheWall) {
    StoreLocal({{"C1", "127.0.0.1:1", "One"}});
    Open();
    window_->Wall()->OpenDevice(window_->Session()->SnapshotList(DeviceListKind::kLocal)[0]);
    MessageRecorder messages(ui::MessageAnswer::kNo);
    window_->Command(TitleBar::kClose);
    ASSERT_TRUE(WaitUntil([&] { return !messages.asked.empty(); }));
    EXPECT_EQ(messages.asked[0].title, "Tips");
    EXPECT_EQ(messages.asked[0].text, "Do you want to close Orbisight Cloud System?");
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(window_->Wall()->Pane(0)->InUse());

    // The camera's Close does not return for a while (a stalled camera):
    // closing the window does not wait for it, the end of the window does.
    ASSERT_TRUE(WaitUntil([&] { return window_->Wall()->Pane(0)->OpenFinished(); }));
    {
        std::lock_guard lock(log_->mutex);
        log_->holdClose = true;
    }
    messages.SetAnswer(ui::MessageAnswer::kYes);
    window_->Command(CMyVelaExpertDlg::kCmdClose);
    EXPECT_TRUE(window_->Closing());
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(window_->Wall()->Pane(0)->InUse());
    ASSERT_EQ(log_->Closes(), 0) << "the window thread waited for Close";
    std::thread release([log = log_] {
        QThread::msleep(100);
        log->ReleaseClose();
    });
    window_.reset();
    release.join();
    EXPECT_EQ(log_->Closes(), 1);
    EXPECT_EQ(log_->Destroyed(), 1) << "the window ended before its channel was closed";
}

// The stall watch's file: the longest gap of its timer first, then the long
// ones. A stall made on purpose shows in both (at least as long as it was).
TEST(StallWatch, WritesTheLongestGapAndEveryLongOne) {
    TempFolder dir;
    fs::path file = dir.Path() / "stall.txt";
    {
        StallWatch watch(file.string(), nullptr);
        QTest::qWait(30);
        QThread::msleep(120);  // the window thread does not handle its events
        QTest::qWait(30);
        EXPECT_GE(watch.LongestGapMs(), 120);
    }
    std::istringstream text(ReadText(file));
    long long longest = 0;
    ASSERT_TRUE(text >> longest);
    EXPECT_GE(longest, 120);
    std::string word, at;
    long long gap = 0;
    double when = 0;
    bool listed = false;
    while (text >> word >> gap >> at >> when) {
        EXPECT_EQ(word, "gap");
        EXPECT_GE(gap, StallWatch::kListedGapMs);
        listed = listed || gap == longest;
    }
    EXPECT_TRUE(listed) << "the longest gap is listed with its time";
}

TEST_F(MainWindowFixture, UpdaterMessages) {
    Open();
    MessageRecorder messages(ui::MessageAnswer::kNo);
    window_->OnUpdaterMessage(UpdateListener::kSilent);
    EXPECT_TRUE(messages.asked.empty());
    window_->OnUpdaterMessage(UpdateListener::kNoNewVersion);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text, QString::fromUtf8("Don't have new program！"));
    window_->OnUpdaterMessage(UpdateListener::kNewVersionDownloaded);
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_EQ(messages.asked[1].title, "Automatic update prompt");
    EXPECT_FALSE(window_->UpdatePending());

    messages.SetAnswer(ui::MessageAnswer::kYes);
    window_->OnUpdaterMessage(UpdateListener::kNewVersionDownloaded);
    EXPECT_TRUE(window_->UpdatePending());
    ASSERT_TRUE(WaitUntil([&] { return window_->Closing(); }));
    EXPECT_EQ(messages.asked.size(), 3u) << "an accepted update closes without the close prompt";
    EXPECT_EQ(UpdateListener::ParseCode("0x2000\n"), 0x2000);
    EXPECT_EQ(UpdateListener::ParseCode("16384"), 0x4000);
    EXPECT_EQ(UpdateListener::ParseCode("junk"), -1);
}

TEST_F(MainWindowFixture, SettingsDialogReportsSavedLoginsThatCannotBeStored) {
    Open();
    SavedLogins& logins = window_->Session()->Logins();
    logins.SetInUse(&logins.Add("demo", "demo"));
    ASSERT_TRUE(logins.Save());
    MessageRecorder messages;
    logins.Store().FailWritesAfter(0);
    {
        CDlgSystemSetting dialog(*settings_, &logins, window_.get());
        dialog.AutoLogin()->setChecked(!dialog.AutoLogin()->isChecked());
        dialog.accept();
    }
    logins.Store().FailWritesAfter(-1);
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_EQ(messages.asked[0].title, "Error");
    EXPECT_EQ(messages.asked[0].text, CDlgMyVelaLogin::kSaveFailedText);
    EXPECT_EQ(messages.asked[1].title, "Success");
    SavedLogins stored(Registry(places_.dataFolder / "registry"));
    stored.Load();
    EXPECT_EQ(stored.Count(), 1u) << "the stored login is kept";
}

TEST_F(MainWindowFixture, SettingsDialogStoresEverythingAndSurvivesARestart) {
    {
        std::ofstream ini(places_.dataFolder / "CameraClient.ini");
        ini << "[CameraClient]\nLoginIP=10.9.9.9\nLoginport=5590\n";
    }
    Open();
    MessageRecorder messages;
    {
        CDlgSystemSetting dialog(*settings_, &window_->Session()->Logins(), window_.get());
        EXPECT_EQ(dialog.windowTitle(), "Orbisight Cloud System - Settings");
        EXPECT_EQ(dialog.AutoLogin()->text(), "Auto login when start  ");
        EXPECT_TRUE(dialog.VersionLine()->text().startsWith("Orbisight Cloud System 5.0 (Build "));
        EXPECT_EQ(dialog.RecordFolder()->text().toStdString(),
                  places_.defaultRecordFolder.string());
        EXPECT_EQ(dialog.RecordMinutes()->value(), 60);
        EXPECT_TRUE(dialog.LocalBigStream()->isChecked());
        // An existing file without the key: off, "Local big stream" decides.
        EXPECT_FALSE(dialog.ChooseStreamByPaneSize()->isChecked());
        EXPECT_EQ(dialog.ChooseStreamByPaneSize()->text(), "Choose stream by pane size");
        EXPECT_TRUE(dialog.LocalBigStream()->isEnabled());
        dialog.ChooseStreamByPaneSize()->setChecked(true);
        // Replaced while the pane's size chooses: disabled, and says why.
        EXPECT_FALSE(dialog.LocalBigStream()->isEnabled());
        EXPECT_EQ(dialog.LocalBigStream()->toolTip(), "Replaced by \"Choose stream by pane size\"");
        dialog.RecordMinutes()->setValue(15);
        dialog.LocalBigStream()->setChecked(false);
        dialog.StartWithComputer()->setChecked(true);
        dialog.ShowAlarm()->setChecked(true);
        dialog.RecordFolder()->setText(QString(200, 'r'));
        dialog.RegisterIp()->setText("cams.example.org");
        dialog.accept();
    }
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].title, "Success");
    EXPECT_EQ(messages.asked[0].text, "You must restart the application to reflect the chnages");
    EXPECT_NE(ReadText(places_.autostartFolder / "orbisight.desktop")
                  .find("Exec=\"/opt/orbisight/bin/orbisight\"  /OnSysStart"),
              std::string::npos);
    std::string ini = ReadText(places_.dataFolder / "CameraClient.ini");
    EXPECT_NE(ini.find("LoginIP=cams.example.org"), std::string::npos);
    EXPECT_NE(ini.find("RegisterIP=cams.example.org"), std::string::npos);
    EXPECT_NE(ini.find("ChooseStreamByPaneSize=1"), std::string::npos);
    EXPECT_TRUE(settings_->ChooseStreamByPaneSize());

    window_.reset();
    AppSettings again(places_);
    again.Load();
    EXPECT_EQ(again.Record().recordMinutes, 15);
    EXPECT_EQ(again.Record().localBigStream, 0);
    EXPECT_EQ(again.Record().startWithComputer, 1);
    EXPECT_EQ(again.Record().RecordFolder().size(), 127u) << "127 characters are taken";
    EXPECT_TRUE(again.ShowAlarm());

    // Turning start with the computer off removes the entry.
    again.Record().startWithComputer = 0;
    again.Save();
    EXPECT_FALSE(fs::exists(places_.autostartFolder / "orbisight.desktop"));
}

TEST_F(MainWindowFixture, DevicePanelTextsFollowTheSelectedPane) {
    StoreLocal({{"ORBI00000007", "127.0.0.1:1", "Lobby"}});
    Open();
    CDlgDeviceCtrl* panel = window_->DevicePanel();
    EXPECT_EQ(panel->DeviceIdText(), "Device ID:  None");
    EXPECT_EQ(panel->DurationText(), "Connected duration: None");
    EXPECT_FALSE(panel->Button(1065)->isEnabled());
    window_->Wall()->OpenDevice(window_->Session()->SnapshotList(DeviceListKind::kLocal)[0]);
    EXPECT_EQ(panel->DeviceIdText(), "Device ID:  ORBI00000007");
    EXPECT_EQ(panel->DeviceNameText(), "Device name: Lobby");
    EXPECT_TRUE(panel->ConnectedTimeText().startsWith("Connected time:  \n20"));
    EXPECT_TRUE(panel->Button(1065)->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return panel->Pane()->OpenFinished(); }));
    panel->Trigger(1055);  // Right
    panel->Trigger(1031);  // Mirror
    EXPECT_EQ(log_->controls, (std::vector<int>{2, 15}));
    EXPECT_EQ(CDlgDeviceCtrl::DurationFor(3725000), "Sustained:  \n1 Hour 2 Minute 5 Second");
}

// ---- the device tree ----

TEST_F(MainWindowFixture, TreeShowsLocalCamerasSortedWithCounts) {
    StoreLocal({{"ORBI00000002", "127.0.0.1:1", "Zulu"}, {"ORBI00000001", "127.0.0.1:1", "Alpha"}});
    Open();
    CDlgDeviceList* tree = window_->DeviceTree();
    QTreeWidgetItem* local = tree->RootItem(tree::Branch::kLocal);
    EXPECT_EQ(local->text(0), "Local cameras(0/2)") << "statuses start cleared until probed";
    ASSERT_EQ(local->childCount(), 2);
    EXPECT_EQ(local->child(0)->text(0), "Alpha(ORBI00000001)");
    EXPECT_EQ(tree->RootItem(tree::Branch::kMy)->text(0), "My cameras(0/0)");
    EXPECT_EQ(tree->RootItem(tree::Branch::kPublic), nullptr) << "the public root stays hidden";
}

TEST_F(MainWindowFixture, ProbeMarksAnsweringCamerasOnline) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    std::string here = "127.0.0.1:" + std::to_string(LocalPort(listener));
    // A port nobody listens on: taken and released.
    int gone = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(gone, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    std::string nowhere = "127.0.0.1:" + std::to_string(LocalPort(gone));
    ::close(gone);
    StoreLocal({{"UP", here, "Up"}, {"DOWN", nowhere, "Down"}});
    Open(/*probe=*/true);
    CDlgDeviceList* tree = window_->DeviceTree();
    ASSERT_TRUE(WaitUntil([&] { return tree->ProbeRuns() >= 1; }, 10000));
    ASSERT_TRUE(WaitUntil(
        [&] { return tree->RootItem(tree::Branch::kLocal)->text(0) == "Local cameras(1/2)"; }));
    EXPECT_EQ(tree->RootItem(tree::Branch::kLocal)->child(0)->text(0), "Up(UP)")
        << "the online camera sorts first";
    ::close(listener);
}

TEST_F(MainWindowFixture, AddDialogAddsGroupsAndCamerasAndRefusesDuplicates) {
    Open();
    CDlgDeviceList* tree = window_->DeviceTree();
    MessageRecorder messages;
    {
        CDlgAddLocalInfo dialog(window_->Session(), 0, true, window_.get());
        dialog.GroupNameEdit()->setText("Garden");
        ASSERT_TRUE(dialog.Apply());
    }
    {
        CDlgAddLocalInfo dialog(window_->Session(), 0, true, window_.get());
        dialog.GroupNameEdit()->setText("garden");
        EXPECT_FALSE(dialog.Apply());
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0].text, "Add group failed!");
        EXPECT_EQ(messages.asked[0].title, "Note");
    }
    int32_t group = window_->Session()->SnapshotList(DeviceListKind::kLocal)[0].groupNumber;
    {
        CDlgAddLocalInfo dialog(window_->Session(), group, false, window_.get());
        dialog.IdEdit()->setText("ORBI00000042");
        dialog.HostEdit()->setText("127.0.0.1:6042");
        dialog.NameEdit()->setText(QString::fromUtf8("Caméra"));
        EXPECT_EQ(dialog.SelectedParent(), group);
        ASSERT_TRUE(dialog.Apply());
    }
    tree->RebuildLocal();
    QTreeWidgetItem* local = tree->RootItem(tree::Branch::kLocal);
    ASSERT_EQ(local->childCount(), 1);
    EXPECT_EQ(local->child(0)->text(0), "Garden(1/1)");
    ASSERT_EQ(local->child(0)->childCount(), 1);
    EXPECT_EQ(local->child(0)->child(0)->text(0), QString::fromUtf8("Caméra(ORBI00000042)"));
    auto stored =
        window_->Session()->FindDevice(DeviceListKind::kLocal, "ORBI00000042", IdMatch::kExact);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Url(), "ssp://127.0.0.1:6042");
}

TEST_F(MainWindowFixture, TreeMenuHidesDeleteForAnOpenCameraAndDropMovesToTheRoot) {
    StoreLocal({{"C1", "127.0.0.1:1", "One"}});
    Open();
    window_->Session()->AddLocalGroup("Yard", 0);
    int32_t group = 0;
    for (const DeviceInfo& r : window_->Session()->SnapshotList(DeviceListKind::kLocal)) {
        if (r.isGroup) {
            group = r.groupNumber;
        }
    }
    window_->Session()->Lists().SetLocalParent(LocalEntryRef{false, 0, "C1"}, group, false);
    window_->Session()->Lists().SetLocalStatus(LocalEntryRef{false, 0, "C1"}, 2);
    CDlgDeviceList* tree = window_->DeviceTree();
    tree->RebuildLocal();
    QTreeWidgetItem* camera = tree->FindItem(tree::Branch::kLocal, "C1");
    ASSERT_NE(camera, nullptr);
    auto texts = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions()) {
            if (!a->isSeparator()) {
                out << a->text();
            }
        }
        return out;
    };
    QStringList closed = texts(tree->BuildMenu(camera).get());
    EXPECT_TRUE(closed.contains("Delete device(&O)"));
    EXPECT_TRUE(closed.contains("Connect(&L)"));
    tree->Activate(camera);  // double click opens it
    ASSERT_TRUE(window_->Wall()->IsShown("C1"));
    QStringList open = texts(tree->BuildMenu(camera).get());
    EXPECT_FALSE(open.contains("Delete device(&O)"));
    EXPECT_TRUE(open.contains("Disconnect(&S)"));
    EXPECT_TRUE(open.contains("Edit device(&Q)"));
    QStringList root = texts(tree->BuildMenu(tree->RootItem(tree::Branch::kLocal)).get());
    EXPECT_TRUE(root.contains("Empty list(&X)"));
    EXPECT_TRUE(root.contains("Add group(&M)"));
    EXPECT_FALSE(root.contains("Delete group(&O)"));

    // A group never goes into itself; a camera dropped on the root goes to
    // the top level.
    QTreeWidgetItem* yard = camera->parent();
    EXPECT_FALSE(tree->MoveEntry(yard, camera));
    EXPECT_TRUE(tree->MoveEntry(camera, tree->RootItem(tree::Branch::kLocal)));
    auto moved = window_->Session()->FindDevice(DeviceListKind::kLocal, "C1", IdMatch::kExact);
    EXPECT_EQ(moved->parentGroup, 0);
}

TEST_F(MainWindowFixture, SearchAndEmptyList) {
    StoreLocal(
        {{"ORBI00000001", "127.0.0.1:1", "Front Door"}, {"ORBI00000002", "127.0.0.1:1", "Yard"}});
    Open();
    CDlgDeviceList* tree = window_->DeviceTree();
    EXPECT_EQ(tree->Search("DOOR"), 1);
    EXPECT_EQ(tree->SearchResults()->item(0)->text(), "Front Door(ORBI00000001)");
    EXPECT_EQ(tree->Search("orbi0000000"), 2);
    EXPECT_EQ(tree->Search("nothing"), 0);

    MessageRecorder messages(ui::MessageAnswer::kYes);
    tree->BuildMenu(tree->RootItem(tree::Branch::kLocal))->actions().back()->trigger();
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text, "Are you sure to empty the list?");
    EXPECT_EQ(tree->RootItem(tree::Branch::kLocal)->text(0), "Local cameras(0/0)");
    EXPECT_FALSE(fs::exists(places_.dataFolder / LocalDeviceStore::kFileName));
}

}  // namespace
}  // namespace orbisight
