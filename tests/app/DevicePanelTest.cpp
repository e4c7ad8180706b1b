// The device panel on a wall with fake live channels: the control code of
// every camera button and further command, the quality menu's choices, the
// records and alarm-log buttons, the hidden "only play I frame" box and the
// record button's blink in the program's one phase.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "FakePaneChannel.h"
#include "QtTestEnvironment.h"
#include "app/CDlgDeviceCtrl.h"
#include "app/CDlgVedioShow.h"
#include "app/VideoWall.h"
#include "media/VideoSink.h"
#include "ui/ImageButton.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;

class DevicePanel : public ::testing::Test {
  protected:
    void SetUp() override {
        log_ = std::make_shared<FakeChannelLog>();
        host_ = std::make_unique<QWidget>();
        host_->resize(800, 600);
        PaneContext context;
        context.createChannel = FakeFactory(log_);
        context.channelSettings = [](const DeviceInfo&, int slot) {
            PaneChannelSettings s;
            s.name = "cam" + std::to_string(slot);
            s.recordFolder = "/tmp/orbisight-record";
            return s;
        };
        wall_ = new VideoWall(host_.get(), context, host_.get());
        wall_->SetConnectPauses({0, 0, 0});
        wall_->SetClientSize(800, 600);
        panel_ = new CDlgDeviceCtrl(wall_, host_.get());
        host_->show();
    }
    void TearDown() override {
        log_->Release();
        host_.reset();
    }
    CDlgVedioShow* OpenCamera() {
        DeviceInfo d{};
        d.SetId("ORBI1");
        d.SetName("Cam");
        d.status = 2;
        d.local = 1;
        CDlgVedioShow* pane = wall_->OpenDevice(d);
        EXPECT_NE(pane, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return pane && pane->OpenFinished(); }));
        panel_->SetPane(pane);
        return pane;
    }

    std::shared_ptr<FakeChannelLog> log_;
    std::unique_ptr<QWidget> host_;
    VideoWall* wall_ = nullptr;
    CDlgDeviceCtrl* panel_ = nullptr;
};

TEST_F(DevicePanel, EveryCommandSendsItsControlCode) {
    CDlgVedioShow* pane = OpenCamera();
    const std::pair<int, int> commands[] = {
        {1065, 3},  {1020, 4},  {1026, 1},  {1055, 2},  {1054, 13}, {1061, 10}, {1068, 8},
        {1025, 7},  {1071, 5},  {1072, 6},  {1031, 15}, {1023, 16}, {1009, 20}, {1010, 12},
        {1012, 17}, {1015, 11}, {1016, 19}, {1402, 18}, {1011, 9},
    };
    std::vector<int> expected;
    for (const auto& [id, code] : commands) {
        panel_->Trigger(id);
        expected.push_back(code);
    }
    EXPECT_EQ(log_->controls, expected);

    // Alert: the channel's flag flips, then code 101 tells the camera.
    EXPECT_EQ(panel_->Button(1056)->toolTip(), "Alert OFF");
    panel_->Trigger(1056);
    EXPECT_TRUE(panel_->Pane()->Channel()->Alert());
    EXPECT_EQ(panel_->Button(1056)->toolTip(), "Alert ON");
    panel_->Trigger(1056);
    EXPECT_EQ(panel_->Button(1056)->toolTip(), "Alert OFF");
    expected.insert(expected.end(), {101, 101});
    EXPECT_EQ(log_->controls, expected);
    panel_->SetPane(nullptr);
    EXPECT_EQ(panel_->Button(1056)->toolTip(), "Alert ON/OFF");
    panel_->SetPane(pane);

    // Commands that are not camera controls send nothing.
    panel_->Trigger(CDlgDeviceCtrl::kRecords);
    panel_->Trigger(4242);
    EXPECT_EQ(log_->controls.size(), expected.size());
}

// Choosing an entry of the quality menu sends code 103 with the level's
// parameter in the second byte.
TEST_F(DevicePanel, QualityMenuSendsTheChosenLevel) {
    OpenCamera();
    const std::pair<const char*, int> entries[] = {
        {"Video Quality:High", 1}, {"Video Quality:Middle", 3}, {"Video Quality:Low", 5}};
    for (const auto& [text, parameter] : entries) {
        QTimer::singleShot(0, [text = QString(text)] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* a : menu->actions()) {
                if (a->text() == text) {
                    menu->setActiveAction(a);
                }
            }
            QTest::keyClick(menu, Qt::Key_Return);
        });
        panel_->Trigger(1306);
        ASSERT_FALSE(log_->controls.empty()) << text;
        EXPECT_EQ(log_->controls.back(), 103 + 256 * parameter) << text;
    }
}

// "SD / Cloud" asks for the record manager while the panel or the tree has
// a camera (disabled without one, like the camera's controls). "Alarm log" belongs
// to the program and always works.
TEST_F(DevicePanel, RecordsButtonAsksForTheManagerAndAlarmLogAlwaysWorks) {
    QSignalSpy alarmLog(panel_, &CDlgDeviceCtrl::alarmLogRequested);
    QSignalSpy records(panel_, &CDlgDeviceCtrl::recordsRequested);
    auto check = [&](bool withCamera) {
        SCOPED_TRACE(withCamera ? "with a camera" : "without a camera");
        EXPECT_TRUE(panel_->Button(CDlgDeviceCtrl::kAlarmLog)->isEnabled());
        for (int id : {1018, 1013, 1051, 1031, 1023, 1065, 1020, 1026, 1055, 1054, 1061, 1068, 1025,
                       1071, 1072, 1306, CDlgDeviceCtrl::kRecords}) {
            EXPECT_EQ(panel_->Button(id)->isEnabled(), withCamera) << id;
        }
    };
    check(false);
    EXPECT_EQ(panel_->Button(CDlgDeviceCtrl::kRecords)->toolTip(),
              CDlgDeviceCtrl::kRecordsNoCamera);
    // A camera selected in the tree that no pane shows: the records are
    // still its own to open.
    panel_->SetTreeCamera(true);
    EXPECT_TRUE(panel_->Button(CDlgDeviceCtrl::kRecords)->isEnabled());
    EXPECT_EQ(panel_->Button(CDlgDeviceCtrl::kRecords)->toolTip(), "SD / Cloud");
    EXPECT_FALSE(panel_->Button(1018)->isEnabled());
    panel_->SetTreeCamera(false);
    EXPECT_FALSE(panel_->Button(CDlgDeviceCtrl::kRecords)->isEnabled());
    panel_->Trigger(CDlgDeviceCtrl::kAlarmLog);
    EXPECT_EQ(alarmLog.count(), 1);
    OpenCamera();
    check(true);
    panel_->Trigger(CDlgDeviceCtrl::kAlarmLog);
    EXPECT_EQ(alarmLog.count(), 2);
    panel_->Trigger(CDlgDeviceCtrl::kRecords);
    EXPECT_EQ(records.count(), 1);
}

TEST_F(DevicePanel, HiddenKeyFrameBoxMirrorsAndSetsTheChannel) {
    CDlgVedioShow* pane = OpenCamera();
    QCheckBox* box = panel_->KeyFramesOnlyBox();
    EXPECT_FALSE(box->isVisible());
    pane->Channel()->SetKeyFramesOnly(true);
    panel_->RefreshTexts();
    EXPECT_TRUE(box->isChecked());
    box->setChecked(false);
    panel_->Trigger(CDlgDeviceCtrl::kKeyFramesOnly);
    EXPECT_FALSE(pane->Channel()->KeyFramesOnly());
}

// While the pane records, the record button is red exactly in the phase
// in which the panes' recording icons show their second image.
TEST_F(DevicePanel, RecordButtonBlinksInTheProgramsPhase) {
    OpenCamera();
    panel_->Trigger(1051);
    ASSERT_TRUE(panel_->Pane()->Channel()->Recording());
    ASSERT_TRUE(WaitUntil([&] { return panel_->RecordLit(); }, 3000));
    EXPECT_EQ(RecordingBlink() & 1, 1u);
    ASSERT_TRUE(WaitUntil([&] { return !panel_->RecordLit(); }, 3000));
    EXPECT_EQ(RecordingBlink() & 1, 0u);

    panel_->Trigger(1051);
    ASSERT_FALSE(panel_->Pane()->Channel()->Recording());
    uint32_t start = RecordingBlink();
    ASSERT_TRUE(WaitUntil([&] { return RecordingBlink() - start >= 3; }, 5000));
    EXPECT_FALSE(panel_->RecordLit()) << "lit without a recording";
}

}  // namespace
}  // namespace orbisight
