// The video pane and the wall with a fake live channel: assignment on the
// opening thread, disconnect and closing behind the window, state notices,
// drag-to-point, the pane menu, connect all, full screen and the loop play
// refusal.

#include <gtest/gtest.h>

#include <QMenu>
#include <QThread>
#include <QWidget>
#include <map>
#include <thread>

#include "FakePaneChannel.h"
#include "QtTestEnvironment.h"
#include "app/CDlgVedioShow.h"
#include "app/CDlgVideoCtrl.h"
#include "app/VideoWall.h"
#include "media/VideoSink.h"
#include "ui/ImageButton.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;

DeviceInfo Camera(const char* id, const char* name = "Cam", int status = 2) {
    DeviceInfo d{};
    d.SetId(id);
    d.SetName(name);
    d.status = status;
    d.local = 1;
    return d;
}

class WallFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        log_ = std::make_shared<FakeChannelLog>();
        host_ = std::make_unique<QWidget>();
        host_->resize(1600, 900);
        PaneContext context;
        context.createChannel = FakeFactory(log_);
        context.channelSettings = [](const DeviceInfo&, int slot) {
            PaneChannelSettings s;
            s.localOnlyKeyFrames = true;
            s.name = "cam" + std::to_string(slot);
            return s;
        };
        wall_ = new VideoWall(host_.get(), context, host_.get());
        wall_->SetConnectPauses({0, 0, 0});
        wall_->SetClientSize(1600, 900);
        host_->show();
    }
    void TearDown() override {
        log_->Release();
        log_->ReleaseClose();
        host_.reset();
    }
    bool OpenedCount(size_t n) {
        return WaitUntil([&] {
            std::lock_guard lock(log_->mutex);
            return log_->opened.size() >= n;
        });
    }

    std::shared_ptr<FakeChannelLog> log_;
    std::unique_ptr<QWidget> host_;
    VideoWall* wall_ = nullptr;
};

TEST_F(WallFixture, AssignOpensOnAThreadAndDisconnectClosesTheChannel) {
    CDlgVedioShow* pane = wall_->OpenDevice(Camera("ORBI1"));
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->Slot(), 0);
    EXPECT_TRUE(pane->InUse());
    EXPECT_TRUE(pane->Selected());
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    EXPECT_TRUE(pane->Connected());
    EXPECT_EQ(log_->opened, std::vector<std::string>{"ORBI1"});
    EXPECT_TRUE(log_->lastSettings.localOnlyKeyFrames) << "local camera keeps the I-frame setting";
    EXPECT_EQ(log_->lastSettings.name, "cam0");
    EXPECT_NE(log_->lastSettings.videoSink, nullptr) << "the pane is the channel's video sink";

    pane->Disconnect();
    EXPECT_FALSE(pane->InUse());
    EXPECT_FALSE(pane->Connected());
    EXPECT_EQ(pane->Device(), nullptr);
    EXPECT_EQ(pane->Channel(), nullptr) << "the channel went to the closer";
    ASSERT_TRUE(WaitUntil([&] { return log_->Destroyed() == 1; }));
    EXPECT_EQ(log_->Closes(), 1);
}

TEST_F(WallFixture, ServerCameraDoesNotGetTheLocalKeyFrameSetting) {
    DeviceInfo server = Camera("SRV1");
    server.local = 0;
    wall_->OpenDevice(server);
    ASSERT_TRUE(OpenedCount(1));
    EXPECT_FALSE(log_->lastSettings.localOnlyKeyFrames);
}

TEST_F(WallFixture, FailedOpenStaysInUseButNotConnected) {
    log_->openResult = 0;
    CDlgVedioShow* pane = wall_->OpenDevice(Camera("ORBI1"));
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(pane->InUse());
    EXPECT_FALSE(pane->Connected());
    ASSERT_NE(pane->Device(), nullptr);
    EXPECT_EQ(pane->Device()->connected, 0) << "the device is no longer marked shown";
    wall_->Count();
    EXPECT_EQ(wall_->Layout().ConnectedCount(), 1);
    EXPECT_EQ(pane->BuildContextMenu(), nullptr) << "no menu on a pane that is not connected";
}

TEST_F(WallFixture, StateNoticesFromTheChannelThreadReachThePane) {
    CDlgVedioShow* pane = wall_->OpenDevice(Camera("ORBI1"));
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    NoticeTarget* owner = log_->lastOwner;
    ASSERT_NE(owner, nullptr);
    std::thread([owner] {
        owner->Post({notice::kCommand, notice::kChannelStateCommand, 0, {}, nullptr});
    }).join();
    ASSERT_TRUE(WaitUntil([&] { return !pane->Connected(); }));
    std::thread([owner] {
        owner->Post({notice::kCommand, notice::kChannelStateCommand, 1, {}, nullptr});
    }).join();
    ASSERT_TRUE(WaitUntil([&] { return pane->Connected(); }));
}

TEST_F(WallFixture, AFailedRecordingOrSnapshotIsToldInABox) {
    MessageRecorder messages;
    CDlgVedioShow* pane = wall_->OpenDevice(Camera("ORBI1"));
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    NoticeTarget* owner = log_->lastOwner;
    ASSERT_NE(owner, nullptr);
    std::thread([owner] {
        owner->Post({notice::kMediaFileFailed, 0, 0,
                     "cannot write /r/a.264: No space left on device", nullptr});
        owner->Post(
            {notice::kMediaFileFailed, 1, 0, "cannot write /r/a.jpg: Permission denied", nullptr});
    }).join();
    ASSERT_TRUE(WaitUntil([&] { return messages.asked.size() == 2; }));
    EXPECT_EQ(messages.asked[0].title, "Error");
    EXPECT_EQ(messages.asked[0].text,
              "Recording stopped: cannot write /r/a.264: No space left on device");
    EXPECT_EQ(messages.asked[1].text,
              "Snapshot not saved: cannot write /r/a.jpg: Permission denied");
}

TEST_F(WallFixture, NoticesOfAReplacedChannelAreIgnored) {
    CDlgVedioShow* pane = wall_->OpenDevice(Camera("ORBI1"));
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    NoticeTarget* stale = log_->lastOwner;
    // The old owner must outlive nothing here: post before reassigning, so
    // the queued call arrives after the new assignment.
    stale->Post({notice::kCommand, notice::kChannelStateCommand, 0, {}, nullptr});
    pane->Assign(Camera("ORBI2"));
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    QTest::qWait(20);
    EXPECT_TRUE(pane->Connected());
    EXPECT_EQ(pane->Device()->Id(), "ORBI2");
}

TEST_F(WallFixture, DisconnectWhileOpenIsBlockedEndsTheOpeningThread) {
    log_->holdOpen = true;
    CDlgVedioShow* pane = wall_->OpenDevice(Camera("ORBI1"));
    ASSERT_TRUE(OpenedCount(1));
    EXPECT_FALSE(pane->OpenFinished());
    pane->Disconnect();
    EXPECT_TRUE(pane->OpenFinished()) << "the pane has no opening thread any more";
    EXPECT_FALSE(pane->InUse());
    ASSERT_TRUE(wall_->Closer().WaitIdle(5000));
    std::lock_guard lock(log_->mutex);
    EXPECT_EQ(log_->opensReturned, 1) << "Close ended the Open, the opener was joined";
    EXPECT_EQ(log_->destroyed, 1);
}

// A Close that does not return (a stalled camera) holds up neither the pane
// nor the window thread: the pane is free and reused at once, the old channel
// is closed and its opener joined behind, and nothing it still posts or draws
// reaches the camera shown next.
TEST_F(WallFixture, ReleasedChannelClosesBehindAndNeverReachesTheNextAssignment) {
    log_->holdOpen = true;  // the old opener is still inside Open
    log_->holdClose = true;
    CDlgVedioShow* pane = wall_->OpenDevice(Camera("ORBI1"));
    ASSERT_TRUE(OpenedCount(1));
    NoticeTarget* oldOwner = nullptr;
    VideoSink* oldSink = nullptr;
    {
        std::lock_guard lock(log_->mutex);
        oldOwner = log_->lastOwner;
        oldSink = log_->sinks.back();
    }
    {
        std::lock_guard lock(log_->mutex);
        log_->holdOpen = false;  // the old Open keeps waiting for its Close
    }
    pane->Assign(Camera("ORBI2"));  // lets the old channel go
    ASSERT_EQ(log_->Closes(), 0) << "the window thread waited for Close";
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard lock(log_->mutex);
        return log_->closesStarted == 1;
    })) << "the channel is being closed behind";
    ASSERT_TRUE(OpenedCount(2));
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    ASSERT_TRUE(WaitUntil([&] { return pane->Connected(); }));
    EXPECT_EQ(pane->Device()->Id(), "ORBI2");
    {
        std::lock_guard lock(log_->mutex);
        ASSERT_EQ(log_->sinks.size(), 2u);
        EXPECT_NE(log_->sinks[1], oldSink) << "each assignment has its own picture slots";
        EXPECT_EQ(log_->opensReturned, 1) << "the old Open is still running";
    }

    // The old channel, still closing, reports a lost connection and draws.
    std::thread([oldOwner, oldSink] {
        oldOwner->Post({notice::kCommand, notice::kChannelStateCommand, 0, {}, nullptr});
        PictureSlot slot = oldSink->BeginPicture({64, 36});
        EXPECT_NE(slot.pixels, nullptr);
        oldSink->EndPicture({});
    }).join();
    QTest::qWait(30);
    EXPECT_TRUE(pane->Connected()) << "the old channel's notice reached the new assignment";
    EXPECT_EQ(pane->PicturesShown(), 0u) << "the old channel drew into the new assignment";

    log_->ReleaseClose();
    ASSERT_TRUE(wall_->Closer().WaitIdle(5000));
    std::lock_guard lock(log_->mutex);
    // The closer's Close, and the opener's own once its Open had returned.
    EXPECT_EQ(log_->closes, 2);
    EXPECT_EQ(log_->opensReturned, 2) << "the old opener ended before its channel went";
    EXPECT_EQ(log_->destroyed, 1) << "only the old channel is gone";
}

TEST_F(WallFixture, DisconnectAllNeverWaitsAndTheWallWaitsForItsClosesWhenItGoes) {
    log_->holdClose = true;
    for (const char* id : {"A", "B", "C"}) {
        wall_->OpenDevice(Camera(id));
    }
    ASSERT_TRUE(OpenedCount(3));
    ASSERT_TRUE(WaitUntil([&] {
        return wall_->Pane(0)->OpenFinished() && wall_->Pane(1)->OpenFinished() &&
               wall_->Pane(2)->OpenFinished();
    }));
    ASSERT_TRUE(wall_->DisconnectAll(false));
    ASSERT_EQ(log_->Closes(), 0) << "the window thread waited for Close";
    EXPECT_EQ(wall_->InUse().count(), 0u);
    EXPECT_EQ(wall_->Closer().Pending(), 3u);
    CDlgVedioShow* again = wall_->OpenDevice(Camera("A"));
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->InUse()) << "the camera opens again while its old channel closes";
    // Its Open over, so the closer's Close is its only one.
    ASSERT_TRUE(WaitUntil([&] { return again->OpenFinished(); }));

    // The wall goes (as at exit): it waits for every close still pending.
    std::thread release([log = log_] {
        QThread::msleep(100);
        log->ReleaseClose();
    });
    host_.reset();
    release.join();
    std::lock_guard lock(log_->mutex);
    EXPECT_EQ(log_->closes, 4);
    EXPECT_EQ(log_->destroyed, 4);
}

// The closer's list is bounded by refusing new channels, never by waiting:
// while 256 released channels wait to be closed a new assignment gets no
// channel and shows its camera as not connected.
TEST_F(WallFixture, NoNewChannelWhile256WaitToBeClosed) {
    log_->holdClose = true;
    log_->closeHoldMs = 60000;
    CDlgVedioShow* pane = wall_->OpenDevice(Camera("C0"));
    for (int i = 1; i < static_cast<int>(ChannelCloser::kMaxPending); ++i) {
        pane->Assign(Camera(("C" + std::to_string(i)).c_str()));
    }
    EXPECT_EQ(wall_->Closer().Pending(), ChannelCloser::kMaxPending - 1);
    EXPECT_NE(pane->Channel(), nullptr) << "255 waiting: the last channel still made";
    EXPECT_TRUE(pane->Connected());

    pane->Assign(Camera("REFUSED"));
    EXPECT_EQ(wall_->Closer().Pending(), ChannelCloser::kMaxPending);
    EXPECT_EQ(pane->Channel(), nullptr) << "256 waiting: the first one refused";
    EXPECT_TRUE(pane->InUse());
    EXPECT_FALSE(pane->Connected());
    ASSERT_NE(pane->Device(), nullptr);
    EXPECT_EQ(pane->Device()->connected, 0);

    log_->ReleaseClose();
    ASSERT_TRUE(wall_->Closer().WaitIdle(10000));
    pane->Assign(Camera("AGAIN"));
    EXPECT_NE(pane->Channel(), nullptr);
    EXPECT_EQ(log_->Destroyed(), static_cast<int>(ChannelCloser::kMaxPending));
}

TEST_F(WallFixture, DragToPointScalesToThePictureAndIgnoresSmallDrags) {
    CDlgVedioShow* pane = wall_->OpenDevice(Camera("PTZ1", "PTZ Driveway"));
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    pane->resize(645, 365);  // surface 640 x 360, picture 1280 x 720
    pane->SimulateDrag({100, 100}, {103, 103});
    EXPECT_TRUE(log_->points.empty()) << "3 pixels in both directions send nothing";
    pane->SimulateDrag({100, 100}, {300, 200});
    ASSERT_EQ(log_->points.size(), 1u);
    EXPECT_EQ(log_->points[0], std::make_pair(400, 300));

    log_->streamIdFlag = 0;
    pane->SimulateDrag({100, 100}, {300, 200});
    EXPECT_EQ(log_->points.size(), 1u) << "only on the stream that takes point commands";
}

TEST_F(WallFixture, PaneMenuFollowsTheRecordingState) {
    CDlgVedioShow* pane = wall_->OpenDevice(Camera("ORBI1"));
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    auto menu = pane->BuildContextMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[0]->text(), "Begin record");
    EXPECT_EQ(menu->actions()[1]->text(), "Snap");
    EXPECT_EQ(menu->actions()[2]->text(), "Disconnect");
    menu->actions()[0]->trigger();
    EXPECT_EQ(log_->recordToggles, 1);
    EXPECT_EQ(pane->BuildContextMenu()->actions()[0]->text(), "Stop record");
    menu->actions()[1]->trigger();
    EXPECT_EQ(log_->snapshots, 1);
}

TEST_F(WallFixture, ConnectAllFillsSlotsInOrderAndGrowsTheLayout) {
    std::vector<DeviceInfo> devices;
    for (int i = 0; i < 7; ++i) {
        devices.push_back(Camera(("ORBI" + std::to_string(i)).c_str()));
    }
    bool done = false;
    wall_->ConnectAll(devices, [&] { done = true; });
    ASSERT_TRUE(WaitUntil([&] { return done; }));
    for (int i = 0; i < 7; ++i) {
        ASSERT_NE(wall_->Pane(i)->Device(), nullptr);
        EXPECT_EQ(wall_->Pane(i)->Device()->Id(), "ORBI" + std::to_string(i));
    }
    EXPECT_EQ(wall_->Layout().GridSize(), 3);
    EXPECT_EQ(wall_->Layout().ConnectedCount(), 7);
    EXPECT_EQ(wall_->SelectedPane(), wall_->Pane(7)) << "the free pane after them is selected";
    int visible = 0;
    for (int i = 0; i < WallLayout::kPaneCount; ++i) {
        visible += wall_->Pane(i)->isVisible() ? 1 : 0;
    }
    EXPECT_EQ(visible, 9);

    ASSERT_TRUE(wall_->DisconnectAll(true));
    EXPECT_EQ(wall_->InUse().count(), 0u);
    EXPECT_EQ(wall_->Layout().CurrentPage(), 0);
}

TEST_F(WallFixture, ConnectAllKeepsTheCamerasTheUserOpensMeanwhile) {
    wall_->SetConnectPauses({0, 100, 20});
    std::vector<DeviceInfo> devices;
    for (int i = 0; i < 4; ++i) {
        devices.push_back(Camera(("L" + std::to_string(i)).c_str()));
    }
    bool done = false;
    wall_->ConnectAll(devices, [&] { done = true; });
    ASSERT_TRUE(WaitUntil([&] { return wall_->Pane(0)->InUse(); }));
    // During the pause after the first camera the user opens two: one of
    // the list's and one of their own.
    CDlgVedioShow* mine = wall_->OpenDevice(Camera("MINE"));
    ASSERT_NE(mine, nullptr);
    wall_->OpenDevice(Camera("L2"));
    ASSERT_TRUE(WaitUntil([&] { return done; }, 60000));
    ASSERT_NE(mine->Device(), nullptr);
    EXPECT_EQ(mine->Device()->Id(), "MINE") << "the user's camera was replaced";
    std::map<std::string, int> shown;
    for (int i = 0; i < WallLayout::kPaneCount; ++i) {
        if (const DeviceInfo* d = wall_->Pane(i)->Device(); d && wall_->Pane(i)->InUse()) {
            ++shown[std::string(d->Id())];
        }
    }
    EXPECT_EQ(shown, (std::map<std::string, int>{
                         {"L0", 1}, {"L1", 1}, {"L2", 1}, {"L3", 1}, {"MINE", 1}}));
}

TEST_F(WallFixture, ConnectAllTakesAtMost65Devices) {
    std::vector<DeviceInfo> devices;
    for (int i = 0; i < 70; ++i) {
        devices.push_back(Camera(("C" + std::to_string(i)).c_str()));
    }
    bool done = false;
    wall_->ConnectAll(devices, [&] { done = true; });
    ASSERT_TRUE(WaitUntil([&] { return done; }, 15000));
    EXPECT_EQ(wall_->InUse().count(), 65u);
    EXPECT_EQ(wall_->Layout().GridSize(), 6);
}

TEST_F(WallFixture, DoubleClickFullScreenShowsOnlyTheSelectedPane) {
    for (int i = 0; i < 3; ++i) {
        wall_->OpenDevice(Camera(("ORBI" + std::to_string(i)).c_str()));
    }
    wall_->SelectPane(wall_->Pane(1));
    QTest::mouseDClick(wall_->Pane(1), Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_TRUE(wall_->FullScreen());
    EXPECT_TRUE(wall_->Pane(1)->isVisible());
    EXPECT_FALSE(wall_->Pane(0)->isVisible());
    EXPECT_EQ(wall_->Pane(1)->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(wall_->FullScreenPane(), wall_->Pane(1));
    // Esc on the pane asks the main window to leave full screen.
    int command = 0;
    QObject::connect(wall_, &VideoWall::mainWindowCommand, [&](int c) { command = c; });
    QTest::keyClick(wall_->Pane(1), Qt::Key_Escape);
    EXPECT_EQ(command, 2);
    wall_->ToggleFullScreen();
    EXPECT_FALSE(wall_->FullScreen());
    EXPECT_TRUE(wall_->Pane(0)->isVisible());
}

TEST_F(WallFixture, LoopPlayRefusesSingleDisconnectUnlessTheUserStopsIt) {
    CDlgVedioShow* pane = wall_->OpenDevice(Camera("ORBI1"));
    wall_->SetLoopActive(true);
    int stops = 0;
    QObject::connect(wall_, &VideoWall::stopLoopRequested, [&] { ++stops; });
    {
        MessageRecorder messages(ui::MessageAnswer::kNo);
        EXPECT_FALSE(wall_->DisconnectOne(pane));
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0].title, "Tips");
        EXPECT_EQ(messages.asked[0].text, "Do you want to  Stop loop playing?");
        EXPECT_TRUE(pane->InUse());
    }
    MessageRecorder messages(ui::MessageAnswer::kYes);
    EXPECT_TRUE(wall_->DisconnectOne(pane));
    EXPECT_FALSE(pane->InUse());
    EXPECT_FALSE(wall_->Layout().LoopActive());
    EXPECT_EQ(stops, 1);
}

TEST_F(WallFixture, RecordAllTogglesOnlyPlayingChannels) {
    CDlgVedioShow* a = wall_->OpenDevice(Camera("A"));
    CDlgVedioShow* b = wall_->OpenDevice(Camera("B"));
    ASSERT_TRUE(WaitUntil([&] { return a->OpenFinished() && b->OpenFinished(); }));
    b->ToggleRecording();  // already recording: the "on" pass leaves it alone
    wall_->RecordAll();
    EXPECT_TRUE(a->Channel()->Recording());
    EXPECT_TRUE(b->Channel()->Recording());
    EXPECT_EQ(log_->recordToggles, 2);
    wall_->RecordAll();
    EXPECT_FALSE(a->Channel()->Recording());
    EXPECT_FALSE(b->Channel()->Recording());
}

TEST_F(WallFixture, FloatingToolbarDrivesTheFullScreenPane) {
    CDlgVedioShow* pane = wall_->OpenDevice(Camera("ORBI1"));
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    wall_->ToggleFullScreen();
    CDlgVideoCtrl* bar = wall_->PaneToolbar();
    bar->Trigger(1065);  // Up
    bar->Trigger(1068);  // "VScan" sends 8
    bar->Trigger(1025);  // "HScan" sends 7
    bar->Trigger(1072);  // zoom out
    EXPECT_EQ(log_->controls, (std::vector<int>{3, 8, 7, 6}));
    bar->Trigger(1056);
    EXPECT_TRUE(pane->Channel()->Alert());
    EXPECT_EQ(log_->controls.back(), 101);
    bar->Refresh();
    EXPECT_EQ(bar->Button(1056)->toolTip(), "Alert ON");
    EXPECT_EQ(bar->Button(1033)->toolTip(), "Sound:Mute");
    bar->Trigger(1033);
    EXPECT_EQ(bar->Button(1033)->text(), "Sound:On");
    bar->Trigger(1018);  // disconnect leaves full screen
    EXPECT_FALSE(pane->InUse());
    EXPECT_FALSE(wall_->FullScreen());
}

}  // namespace
}  // namespace orbisight
