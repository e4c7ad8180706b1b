// The pane's details with a fake live channel: the floating toolbar's zone,
// the quality shown by the toolbars, the alarm border and the close icon
// drawn over a picture, the pan/tilt hover and cursors, the picture size read
// for drag points, and "Local only play I frame" applied from the settings
// dialog.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <array>
#include <cstdio>
#include <cstring>

#include "FakePaneChannel.h"
#include "QtTestEnvironment.h"
#include "app/AppSettings.h"
#include "app/CDlgDeviceCtrl.h"
#include "app/CDlgSystemSetting.h"
#include "app/CDlgVedioShow.h"
#include "app/CDlgVideoCtrl.h"
#include "app/CMyVelaExpertDlg.h"
#include "app/CameraWebPage.h"
#include "app/VideoWall.h"
#include "app/WallStats.h"
#include "app/WindowCover.h"
#include "media/FrameStamp.h"
#include "ui/ImageButton.h"
#include "ui/ShutterSound.h"

namespace orbisight {
namespace {
using namespace orbisight::testing;
namespace fs = std::filesystem;

DeviceInfo Camera(const char* id, const char* name = "Cam", bool local = true) {
    DeviceInfo d{};
    d.SetId(id);
    d.SetName(name);
    d.status = 2;
    d.local = local ? 1 : 0;
    return d;
}

void Move(QWidget* w, QPoint pos) {
    QMouseEvent e(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Leave(QWidget* w) {
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

QImage Render(QWidget* w) {
    QImage image(w->size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    w->render(&image);
    return image;
}

// The bounding box of the pixels that differ between two renderings.
QRect Changed(const QImage& a, const QImage& b) {
    QRect box;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                box = box.united(QRect(x, y, 1, 1));
            }
        }
    }
    return box;
}

// Answers the next popup menu: records its checked entry and closes it.
std::string CheckedEntryOfNextMenu(const std::function<void()>& open) {
    std::string checked = "none";
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            checked = "no menu";
            return;
        }
        for (QAction* action : menu->actions()) {
            if (action->isChecked()) {
                checked = action->text().toStdString();
            }
        }
        menu->close();
    });
    open();
    return checked;
}

class PaneFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        log_ = std::make_shared<FakeChannelLog>();
        host_ = std::make_unique<QWidget>();
        host_->resize(800, 600);
        PaneContext context;
        context.createChannel = FakeFactory(log_);
        context.channelSettings = [this](const DeviceInfo&, int slot) {
            PaneChannelSettings s;
            s.name = "cam" + std::to_string(slot);
            s.recordFolder = recordFolder_;
            return s;
        };
        wall_ = new VideoWall(host_.get(), context, host_.get());
        wall_->SetConnectPauses({0, 0, 0});
        wall_->SetClientSize(800, 600);
        host_->show();
    }
    void TearDown() override {
        log_->Release();
        host_.reset();
    }
    CDlgVedioShow* OpenCamera(const DeviceInfo& device) {
        CDlgVedioShow* pane = wall_->OpenDevice(device);
        EXPECT_NE(pane, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
        QCoreApplication::processEvents();
        return pane;
    }
    // A picture of one colour through the pane's sink, as the video thread
    // delivers it.
    void Deliver(const VideoOverlay& overlay, QRgb colour = qRgb(0x12, 0x34, 0x56)) {
        VideoSink* sink = log_->lastSettings.videoSink;
        ASSERT_NE(sink, nullptr);
        PictureSize size = sink->WantedSize();
        ASSERT_FALSE(size.Empty());
        PictureSlot slot = sink->BeginPicture(size);
        ASSERT_TRUE(slot.Valid());
        for (int y = 0; y < slot.height; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(slot.pixels) +
                                                    y * slot.strideBytes);
            std::fill(row, row + slot.width, colour);
        }
        sink->EndPicture(overlay);
        QCoreApplication::processEvents();
    }
    // The point at the middle of the floating toolbar's zone.
    static QPoint InToolbarZone(CDlgVedioShow* pane) {
        return QPoint(pane->width() / 2, pane->height() - 40);
    }
    static QPoint AboveToolbarZone(CDlgVedioShow* pane) {
        return QPoint(pane->width() / 2, pane->height() / 3);
    }

    std::shared_ptr<FakeChannelLog> log_;
    std::unique_ptr<QWidget> host_;
    VideoWall* wall_ = nullptr;
    std::string recordFolder_ = "/tmp/orbisight-record";  // only its emptiness counts
};

// Sound and talk do nothing before the camera's stream: the panel shows
// them disabled with the reason and enables them by its own timer once the
// stream is there. The floating toolbar disables the camera buttons of a
// pane without a channel, and Sound until the stream.
TEST_F(PaneFixture, ButtonsThatCannotWorkYetAreDisabledAndSayWhy) {
    log_->playing = false;
    CDlgVedioShow* pane = OpenCamera(Camera("ORBI1"));
    CDlgDeviceCtrl panel(wall_, host_.get());
    panel.SetPane(pane);
    for (int id : {1033, 1066}) {
        EXPECT_FALSE(panel.Button(id)->isEnabled()) << id;
    }
    EXPECT_EQ(panel.Button(1033)->toolTip(), "Sound: waiting for the camera's stream");
    EXPECT_EQ(panel.Button(1066)->toolTip(), "Talk: waiting for the camera's stream");
    EXPECT_TRUE(panel.Button(1013)->isEnabled());
    panel.Trigger(1033);  // a stale click
    panel.Trigger(1066);
    EXPECT_FALSE(pane->Channel()->Listening());
    EXPECT_FALSE(pane->Channel()->Talking());

    wall_->ToggleFullScreen();
    CDlgVideoCtrl* bar = wall_->PaneToolbar();
    bar->Refresh();
    EXPECT_FALSE(bar->Button(CDlgVideoCtrl::kSoundButton)->isEnabled());
    EXPECT_EQ(bar->Button(CDlgVideoCtrl::kSoundButton)->toolTip(),
              "Sound: waiting for the camera's stream");
    EXPECT_TRUE(bar->Button(1013)->isEnabled());
    wall_->ToggleFullScreen();

    // The stream arrives: the panel follows within its one-second refresh.
    log_->playing = true;
    ASSERT_TRUE(WaitUntil([&] { return panel.Button(1033)->isEnabled(); }, 3000));
    EXPECT_TRUE(panel.Button(1066)->isEnabled());
    EXPECT_EQ(panel.Button(1033)->toolTip(), "Sound:Mute");
    panel.Trigger(1033);
    EXPECT_TRUE(pane->Channel()->Listening());
    EXPECT_EQ(panel.Button(1033)->toolTip(), "Sound:On");

    // A full-screen pane without a camera: only Snap all stays usable.
    pane->Disconnect();
    CDlgVedioShow* empty = wall_->Pane(1);
    wall_->SelectPane(empty);
    wall_->ToggleFullScreen();
    ASSERT_EQ(wall_->FullScreenPane(), empty);
    bar->Refresh();
    for (int id : {1013, 1051, 1033, 1065, 1306, 1056}) {
        EXPECT_FALSE(bar->Button(id)->isEnabled()) << id;
        EXPECT_EQ(bar->Button(id)->toolTip(), "No camera on this pane") << id;
    }
    EXPECT_TRUE(bar->Button(CDlgVideoCtrl::kSnapAllButton)->isEnabled());
    EXPECT_TRUE(bar->Button(CDlgVideoCtrl::kDisconnectButton)->isEnabled());
}

// A snapshot or recording the channel refuses is told in an Error box with
// the reason, and the shutter stays silent; one that is taken sounds the
// shutter and shows nothing. Snap all sounds only when a pane took one.
TEST_F(PaneFixture, RefusedSnapshotsAndRecordingsSayWhyAndTheShutterStaysSilent) {
    CDlgVedioShow* pane = OpenCamera(Camera("ORBI1"));
    CDlgVedioShow* other = OpenCamera(Camera("ORBI2"));
    CDlgDeviceCtrl panel(wall_, host_.get());
    panel.SetPane(pane);
    wall_->SelectPane(pane);
    wall_->ToggleFullScreen();
    CDlgVideoCtrl* bar = wall_->PaneToolbar();
    MessageRecorder messages;
    uint64_t shutter = ui::ShutterSoundRequests();

    log_->fileRefused = true;
    recordFolder_.clear();
    panel.Trigger(1013);
    bar->Trigger(1013);
    pane->Command(CDlgVedioShow::kCmdSnapshot);
    panel.Trigger(1051);
    ASSERT_EQ(messages.asked.size(), 4u);
    for (const auto& m : messages.asked) {
        EXPECT_EQ(m.title, "Error");
        EXPECT_EQ(m.text, "No record folder is set. Choose one under Settings.");
    }
    recordFolder_ = "/tmp/orbisight-record";
    bar->Trigger(1051);
    pane->Command(CDlgVedioShow::kCmdToggleRecording);
    ASSERT_EQ(messages.asked.size(), 6u);
    EXPECT_EQ(messages.asked[4].text, "Recording is not available for this camera.");
    EXPECT_EQ(messages.asked[5].text, "Recording is not available for this camera.");
    EXPECT_FALSE(pane->Channel()->Recording());
    panel.Trigger(CDlgDeviceCtrl::kSnapAll);
    bar->Trigger(CDlgVideoCtrl::kSnapAllButton);
    EXPECT_EQ(wall_->SnapshotAll(), 0);
    EXPECT_EQ(ui::ShutterSoundRequests(), shutter) << "nothing was taken";
    EXPECT_EQ(messages.asked.size(), 6u) << "snap all says nothing per pane";

    log_->fileRefused = false;
    messages.asked.clear();
    panel.Trigger(1013);
    EXPECT_EQ(ui::ShutterSoundRequests(), shutter + 1);
    bar->Trigger(1051);
    EXPECT_TRUE(pane->Channel()->Recording());
    panel.Trigger(CDlgDeviceCtrl::kSnapAll);  // both panes
    EXPECT_EQ(ui::ShutterSoundRequests(), shutter + 2);
    EXPECT_EQ(log_->snapshots, 3);
    EXPECT_TRUE(messages.asked.empty());
    EXPECT_NE(other->Channel(), nullptr);

    // Snap all from the panel works whichever pane it shows, even none.
    panel.SetPane(nullptr);
    panel.Trigger(CDlgDeviceCtrl::kSnapAll);
    EXPECT_EQ(log_->snapshots, 5);
    EXPECT_EQ(ui::ShutterSoundRequests(), shutter + 3);
}

TEST_F(PaneFixture, ToolbarZoneIsReportedAfreshAfterLeaveDisconnectAndFullScreen) {
    CDlgVedioShow* pane = OpenCamera(Camera("ORBI1"));
    CDlgVideoCtrl* bar = wall_->PaneToolbar();
    std::vector<bool> reports;
    QObject::connect(pane, &CDlgVedioShow::toolbarZone,
                     [&](CDlgVedioShow*, bool inside) { reports.push_back(inside); });
    Move(pane, InToolbarZone(pane));
    EXPECT_TRUE(reports.empty()) << "outside full screen there is no toolbar zone";

    wall_->ToggleFullScreen();
    Move(pane, InToolbarZone(pane));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(wall_->FullScreenPane(), pane);
    Move(pane, AboveToolbarZone(pane));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(reports, (std::vector<bool>{true, false}));

    // Left and come back into the zone: reported again.
    Move(pane, InToolbarZone(pane));
    Leave(pane);
    Move(pane, InToolbarZone(pane));
    EXPECT_EQ(reports, (std::vector<bool>{true, false, true, true}));

    // Full screen left and entered again with the pointer still in the zone:
    // the toolbar comes back at the next move.
    wall_->ToggleFullScreen();
    EXPECT_FALSE(bar->isVisible());
    wall_->ToggleFullScreen();
    Move(pane, InToolbarZone(pane));
    EXPECT_TRUE(bar->isVisible()) << "the toolbar must appear again";

    // A camera taken away and another shown in the same pane in full screen.
    reports.clear();
    pane->Disconnect();
    pane->Assign(Camera("ORBI2"));
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    Move(pane, InToolbarZone(pane));
    EXPECT_EQ(reports, (std::vector<bool>{true}));
    EXPECT_EQ(wall_->FullScreenPane(), pane);
}

TEST_F(PaneFixture, ToolbarFollowsThePaneNowInFullScreen) {
    CDlgVedioShow* a = OpenCamera(Camera("A"));
    CDlgVedioShow* b = OpenCamera(Camera("B"));
    CDlgVideoCtrl* bar = wall_->PaneToolbar();
    wall_->SelectPane(a);
    wall_->ToggleFullScreen();
    Move(a, InToolbarZone(a));
    ASSERT_TRUE(bar->isVisible());
    wall_->ToggleFullScreen();
    wall_->SelectPane(b);
    wall_->ToggleFullScreen();
    Move(b, InToolbarZone(b));
    EXPECT_EQ(wall_->FullScreenPane(), b);
    wall_->ToggleFullScreen();
    // Back to the first pane, whose pointer was last in the zone.
    wall_->SelectPane(a);
    wall_->ToggleFullScreen();
    Move(a, InToolbarZone(a));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(wall_->FullScreenPane(), a);
    bar->Trigger(1065);
    EXPECT_EQ(log_->controls.back(), 3);
}

TEST_F(PaneFixture, QualityFollowsTheReceivedFrameRateAtTheScaleEdges) {
    CDlgVedioShow* pane = OpenCamera(Camera("ORBI1"));
    wall_->ToggleFullScreen();
    CDlgVideoCtrl* bar = wall_->PaneToolbar();
    CDlgDeviceCtrl panel(wall_, host_.get());
    panel.SetPane(pane);
    ASSERT_EQ(pane->PicturesShown(), 0u) << "nothing painted: only the channel's rate counts";

    struct Case {
        int streamId;
        int rate;
        const char* tooltip;
        const char* entry;
    };
    const Case cases[] = {
        {1, 3, "Low qulity", "Video Quality:Low"},     {1, 4, "Mid qulity", "Video Quality:Middle"},
        {1, 8, "Mid qulity", "Video Quality:Middle"},  {1, 9, "High qulity", "Video Quality:High"},
        {0, 8, "Low qulity", "Video Quality:Low"},     {0, 9, "Mid qulity", "Video Quality:Middle"},
        {0, 15, "Mid qulity", "Video Quality:Middle"}, {0, 16, "High qulity", "Video Quality:High"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.streamId) + "/" + std::to_string(c.rate));
        log_->streamIdFlag = c.streamId;
        log_->frameRate = c.rate;
        bar->Refresh();
        EXPECT_EQ(bar->Button(CDlgVideoCtrl::kQualityButton)->toolTip().toStdString(), c.tooltip);
        panel.RefreshTexts();
        EXPECT_EQ(panel.Button(1306)->toolTip().toStdString(), c.tooltip);
        EXPECT_EQ(CheckedEntryOfNextMenu([&] { bar->Trigger(CDlgVideoCtrl::kQualityButton); }),
                  c.entry);
        EXPECT_EQ(CheckedEntryOfNextMenu([&] { panel.Trigger(1306); }), c.entry);
    }
}

// The pane tells its channel what of it can be seen: the drawn picture's
// size, and that it cannot be seen while another pane is in full screen or
// the window is minimised. The stream shown is in the quality tooltips and
// on the panel, and drag-to-point works on either stream.
TEST_F(PaneFixture, PaneTellsItsChannelWhatCanBeSeenAndShowsTheStream) {
    log_->choosesStream = true;
    CDlgVedioShow* a = OpenCamera(Camera("ORBI1"));
    VideoSink* sinkA = log_->lastSettings.videoSink;
    CDlgVedioShow* b = OpenCamera(Camera("ORBI2"));
    const std::string nameA = "cam" + std::to_string(a->Slot());
    const std::string nameB = "cam" + std::to_string(b->Slot());
    auto viewOf = [&](const std::string& name) { return log_->View(name); };
    ASSERT_TRUE(a->isVisible() && b->isVisible());
    EXPECT_EQ(viewOf(nameA), (PaneView{a->width() - 8, a->height() - 8, true, a->width()}));
    EXPECT_EQ(viewOf(nameB), (PaneView{b->width() - 8, b->height() - 8, true, b->width()}));
    int wallWidth = b->width();

    // b is selected (the last opened): its full screen hides a.
    wall_->ToggleFullScreen();
    QCoreApplication::processEvents();
    EXPECT_FALSE(viewOf(nameA).visible);
    EXPECT_TRUE(viewOf(nameB).visible);
    // Hidden, a still takes pictures at its size (the key frame its channel
    // decodes for a snapshot or at the start is what it shows later).
    EXPECT_EQ(sinkA->WantedSize(), (PictureSize{a->width() - 8, a->height() - 8}));
    EXPECT_GT(viewOf(nameB).width, wallWidth - 8);
    EXPECT_EQ(viewOf(nameB).width, b->width() - 8);
    wall_->ToggleFullScreen();
    QCoreApplication::processEvents();
    EXPECT_EQ(viewOf(nameA), (PaneView{a->width() - 8, a->height() - 8, true, a->width()}));
    EXPECT_EQ(viewOf(nameB).width, wallWidth - 8);

    // Covered entirely by other windows, as the X server tells it: nobody
    // sees a pane; partly covered again: both. Only visibility events of
    // this window count.
    QWindow* handle = host_->window()->windowHandle();
    ASSERT_NE(handle, nullptr);
    const auto id = static_cast<uint32_t>(handle->winId());
    auto xEvent = [](uint32_t window, uint8_t type, uint8_t state) {
        std::array<uint8_t, 32> event{};  // every X event is 32 bytes
        event[0] = type;
        std::memcpy(&event[4], &window, 4);
        event[8] = state;
        WindowCover::Instance().nativeEventFilter("xcb_generic_event_t", event.data(), nullptr);
    };
    xEvent(id, 15, 2);  // VisibilityNotify, fully obscured
    EXPECT_FALSE(viewOf(nameA).visible);
    EXPECT_FALSE(viewOf(nameB).visible);
    EXPECT_TRUE(WindowCover::Instance().FullyCovered(handle));
    xEvent(id + 1, 15, 0);  // another window
    xEvent(id, 12, 0);      // an Expose event of this one
    EXPECT_FALSE(viewOf(nameA).visible);
    xEvent(id, 15 | 0x80, 1);  // partially obscured (a sent event)
    EXPECT_TRUE(viewOf(nameA).visible);
    EXPECT_TRUE(viewOf(nameB).visible);
    xEvent(id, 15, 2);
    xEvent(id, 15, 0);  // unobscured
    EXPECT_TRUE(viewOf(nameA).visible);

    // A minimised window: nobody sees any pane; restored, both again.
    host_->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(viewOf(nameA).visible);
    EXPECT_FALSE(viewOf(nameB).visible);
    host_->showNormal();
    QCoreApplication::processEvents();
    EXPECT_TRUE(WaitUntil([&] { return viewOf(nameA).visible && viewOf(nameB).visible; }));

    // Nothing is told twice.
    int calls = log_->viewCalls;
    b->UpdateView();
    EXPECT_EQ(log_->viewCalls, calls);

    // The stream shown, in the tooltips and on the panel.
    wall_->ToggleFullScreen();
    CDlgVideoCtrl* bar = wall_->PaneToolbar();
    CDlgDeviceCtrl panel(wall_, host_.get());
    panel.SetPane(b);
    log_->streamIdFlag = 0;
    log_->frameRate = 25;
    log_->streamShown = 1;
    log_->streamSwitching = true;
    bar->Refresh();
    panel.RefreshTexts();
    EXPECT_EQ(bar->Button(CDlgVideoCtrl::kQualityButton)->toolTip().toStdString(),
              "High qulity\nSub stream, switching to the main stream");
    EXPECT_EQ(panel.Button(1306)->toolTip().toStdString(),
              "High qulity\nSub stream, switching to the main stream");
    EXPECT_EQ(panel.StreamLabel()->text().toStdString(),
              "Sub stream, switching to the main stream");
    log_->streamShown = 0;
    log_->streamSwitching = false;
    bar->Refresh();
    panel.RefreshTexts();
    EXPECT_EQ(bar->Button(CDlgVideoCtrl::kQualityButton)->toolTip().toStdString(),
              "High qulity\nMain stream");
    EXPECT_EQ(panel.StreamLabel()->text().toStdString(), "Main stream");

    // Drag-to-point on the main stream, scaled to its picture.
    log_->pictureSize = {1280, 720};
    b->SimulateDrag(QPoint(100, 100), QPoint(300, 200));
    ASSERT_EQ(log_->points.size(), 1u);
    ZoneRect surface = VideoSurface(b->width(), b->height());
    EXPECT_EQ(log_->points[0],
              std::make_pair(200 * 1280 / surface.Width(), 150 * 720 / surface.Height()));

    // Without the setting: the tooltips as they always were, no stream line,
    // and no drag-to-point on the main stream.
    log_->choosesStream = false;
    bar->Refresh();
    panel.RefreshTexts();
    EXPECT_EQ(bar->Button(CDlgVideoCtrl::kQualityButton)->toolTip().toStdString(), "High qulity");
    EXPECT_TRUE(panel.StreamLabel()->isHidden());
    b->SimulateDrag(QPoint(100, 100), QPoint(300, 200));
    EXPECT_EQ(log_->points.size(), 1u);
}

// The panel's talk button toggles talk with its tooltip; without a
// microphone it says so and talk stays off.
TEST_F(PaneFixture, PanelTalkButtonTogglesTalkAndSaysWhenThereIsNoMicrophone) {
    CDlgVedioShow* pane = OpenCamera(Camera("ORBI1"));
    CDlgDeviceCtrl panel(wall_, host_.get());
    panel.SetPane(pane);
    MessageRecorder messages;
    EXPECT_EQ(panel.Button(1066)->toolTip(), "Talk:Close");
    panel.Trigger(1066);
    EXPECT_TRUE(pane->Channel()->Talking());
    EXPECT_EQ(panel.Button(1066)->toolTip(), "Talk:Open");
    panel.Trigger(1066);
    EXPECT_FALSE(pane->Channel()->Talking());
    EXPECT_EQ(panel.Button(1066)->toolTip(), "Talk:Close");
    EXPECT_TRUE(messages.asked.empty());

    log_->microphone = false;
    panel.Trigger(1066);
    EXPECT_FALSE(pane->Channel()->Talking());
    EXPECT_EQ(panel.Button(1066)->toolTip(), "Talk:Close");
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_TRUE(messages.asked[0].text.contains("microphone"));
}

TEST_F(PaneFixture, AlarmBorderLiesOneInsideTheEdgeOverTheOutline) {
    CDlgVedioShow* pane = OpenCamera(Camera("ORBI1"));
    ASSERT_TRUE(pane->Selected()) << "the red outline is drawn";
    const QRgb amber = qRgb(0xff, 0xc8, 0x0e);
    VideoOverlay overlay;
    overlay.title = "Cam";
    overlay.alarm = true;
    overlay.alarmBorder = true;
    overlay.borderRgb = 0xffc80e;
    Deliver(overlay);
    QImage image = Render(pane);
    const int w = image.width();
    const int h = image.height();
    const int midX = w / 2;
    const int midY = h / 2;
    for (int d = 0; d <= 5; ++d) {
        bool border = d >= 1 && d <= 4;
        SCOPED_TRACE("distance from the edge " + std::to_string(d));
        EXPECT_EQ(image.pixel(d, midY) == amber, border);
        EXPECT_EQ(image.pixel(w - 1 - d, midY) == amber, border);
        EXPECT_EQ(image.pixel(midX, d) == amber, border);
        EXPECT_EQ(image.pixel(midX, h - 1 - d) == amber, border);
    }
    EXPECT_EQ(image.pixel(2, 2), amber) << "the corners are closed";
    EXPECT_EQ(image.pixel(w - 3, h - 3), amber);

    // Without the alarm the outline is there again.
    Deliver(VideoOverlay{});
    image = Render(pane);
    EXPECT_EQ(image.pixel(3, midY), qRgb(255, 0, 0));
}

// A picture covers the pane's picture area to its edge, inside the grey
// frame with its light line; each picture counts once as painted and, while
// a measurement runs, gives one latency sample from its send stamp.
TEST_F(PaneFixture, PictureFillsItsAreaInsideTheFrameAndCountsOncePerPicture) {
    CDlgVedioShow* pane = OpenCamera(Camera("ORBI1"));
    pane->SetSelected(false);
    PaintLatency().Reset();
    SetPaintLatencyOn(true);
    const QRgb picture = qRgb(0x12, 0x34, 0x56);
    VideoOverlay overlay;
    overlay.sendStamp = SendStampNow();
    // (The event loop may paint a delivered picture before Render does.)
    uint64_t painted = pane->PicturesPainted();
    Deliver(overlay, picture);
    QImage image = Render(pane);
    const int w = image.width();
    const int h = image.height();
    EXPECT_EQ(pane->PicturesPainted(), painted + 1);
    EXPECT_EQ(PaintLatency().Count(), 1u);
    for (QPoint corner : {QPoint(4, 4), QPoint(w - 5, 4), QPoint(4, h - 5), QPoint(w - 5, h - 5)}) {
        EXPECT_EQ(image.pixel(corner), picture) << corner.x() << "," << corner.y();
    }
    EXPECT_EQ(image.pixel(0, h / 2), qRgb(132, 132, 132));
    EXPECT_EQ(image.pixel(w - 1, h / 2), qRgb(132, 132, 132));
    EXPECT_EQ(image.pixel(w / 2, 0), qRgb(132, 132, 132));
    EXPECT_EQ(image.pixel(w / 2, h - 1), qRgb(132, 132, 132));
    EXPECT_EQ(image.pixel(1, h / 2), qRgb(220, 220, 220));
    EXPECT_EQ(image.pixel(w / 2, h - 2), qRgb(220, 220, 220));
    // The light line and the 2-pixel outline (white: not selected) are
    // closed rings: every side and every corner.
    const QRgb white = qRgb(255, 255, 255);
    for (int d : {1, 2, 3}) {
        SCOPED_TRACE("ring " + std::to_string(d));
        QRgb ring = d == 1 ? qRgb(220, 220, 220) : white;
        for (QPoint p : {QPoint(d, h / 2), QPoint(w - 1 - d, h / 2), QPoint(w / 2, d),
                         QPoint(w / 2, h - 1 - d), QPoint(d, d), QPoint(w - 1 - d, d),
                         QPoint(d, h - 1 - d), QPoint(w - 1 - d, h - 1 - d)}) {
            EXPECT_EQ(image.pixel(p), ring) << p.x() << "," << p.y();
        }
    }

    // A repaint of the same picture is not a new one.
    Render(pane);
    EXPECT_EQ(pane->PicturesPainted(), painted + 1);
    EXPECT_EQ(PaintLatency().Count(), 1u);
    // An unstamped picture counts as painted but gives no latency.
    Deliver(VideoOverlay{}, picture);
    Render(pane);
    EXPECT_EQ(pane->PicturesPainted(), painted + 2);
    EXPECT_EQ(PaintLatency().Count(), 1u);
    // Measurement off: nothing recorded.
    SetPaintLatencyOn(false);
    Deliver(overlay, picture);
    Render(pane);
    EXPECT_EQ(PaintLatency().Count(), 1u);
    EXPECT_EQ(pane->PicturesPainted(), painted + 3);

    // A stream smaller than the pane arrives at its own size and is
    // stretched over the whole picture area, inside the same frame.
    VideoSink* sink = log_->lastSettings.videoSink;
    PictureSize area{w - 8, h - 8};
    sink->SourceSizeChanged({area.width / 2, area.height / 2});
    EXPECT_EQ(sink->WantedSize(), (PictureSize{area.width / 2, area.height / 2}));
    const QRgb small = qRgb(0x65, 0x43, 0x21);
    Deliver(VideoOverlay{}, small);
    image = Render(pane);
    for (QPoint corner : {QPoint(4, 4), QPoint(w - 5, 4), QPoint(4, h - 5), QPoint(w - 5, h - 5)}) {
        EXPECT_EQ(image.pixel(corner), small) << corner.x() << "," << corner.y();
    }
    EXPECT_EQ(image.pixel(0, h / 2), qRgb(132, 132, 132));
    EXPECT_EQ(image.pixel(w - 1, h / 2), qRgb(132, 132, 132));
}

// A stream smaller than the pane is stretched straight into the window's
// buffer: nearest neighbour, at the pane's place in the window, inside the
// frame, and only where the window is being repainted.
TEST_F(PaneFixture, AStretchedPictureLandsInItsPanesPlaceAndClip) {
    CDlgVedioShow* pane = OpenCamera(Camera("ORBI1"));
    pane->SetSelected(false);
    const QRect area = pane->rect().adjusted(4, 4, -4, -4);
    VideoSink* sink = log_->lastSettings.videoSink;
    const PictureSize source{7, 5};
    sink->SourceSizeChanged(source);
    ASSERT_EQ(sink->WantedSize(), source);
    auto colour = [](int x, int y) { return qRgb(10 + 30 * x, 20 + 40 * y, 200); };
    PictureSlot slot = sink->BeginPicture(source);
    ASSERT_TRUE(slot.Valid());
    for (int y = 0; y < source.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(slot.pixels) +
                                                y * slot.strideBytes);
        for (int x = 0; x < source.width; ++x) {
            row[x] = colour(x, y);
        }
    }
    sink->EndPicture(VideoOverlay{});
    QCoreApplication::processEvents();

    const QPoint at = pane->mapTo(host_.get(), QPoint(0, 0));
    ASSERT_NE(at, QPoint(0, 0)) << "the pane lies inside the window, not at its corner";
    QImage window(host_->size(), QImage::Format_RGB32);
    window.fill(Qt::black);
    host_->render(&window);
    auto expected = [&](int x, int y) {
        return colour(static_cast<int>((2LL * x + 1) * source.width / (2LL * area.width())),
                      static_cast<int>((2LL * y + 1) * source.height / (2LL * area.height())));
    };
    for (QPoint p : {QPoint(0, 0), QPoint(area.width() - 1, 0), QPoint(0, area.height() - 1),
                     QPoint(area.width() - 1, area.height() - 1),
                     QPoint(area.width() / 2, area.height() / 3), QPoint(area.width() / 7, 40)}) {
        EXPECT_EQ(window.pixel(at + area.topLeft() + p), expected(p.x(), p.y()))
            << p.x() << "," << p.y();
    }
    EXPECT_EQ(window.pixel(at + QPoint(0, pane->height() / 2)), qRgb(132, 132, 132));
    EXPECT_EQ(window.pixel(at + QPoint(3, pane->height() / 2)), qRgb(255, 255, 255));
    EXPECT_EQ(window.pixel(at + QPoint(pane->width() - 4, pane->height() / 2)),
              qRgb(255, 255, 255));

    // Only the left half of the pane repainted: the right half is left alone.
    QImage half(host_->size(), QImage::Format_RGB32);
    half.fill(Qt::black);
    QRect left(at, QSize(pane->width() / 2, pane->height()));
    host_->render(&half, QPoint(), QRegion(left));  // left.topLeft() lands at (0, 0)
    QPoint inside = at + area.topLeft() + QPoint(10, area.height() / 2);
    EXPECT_EQ(half.pixel(inside - left.topLeft()), window.pixel(inside));
    QPoint outside = at + QPoint(pane->width() / 2 + 10, pane->height() / 2);
    EXPECT_EQ(half.pixel(outside - left.topLeft()), qRgb(0, 0, 0));
}

// The benchmark's view of the wall: one line per pane in use, in the form
// live_bench reads, and the latency record emptied by each call.
TEST_F(PaneFixture, WallStatsListThePanesInUseAndStartTheLatencyRecord) {
    SetPaintLatencyOn(false);
    PaintLatency().Reset();
    CDlgVedioShow* pane = OpenCamera(Camera("ORBI1"));
    Deliver(VideoOverlay{});
    Render(pane);
    std::string first = WallStatsText(*wall_);
    EXPECT_TRUE(PaintLatencyOn());
    long long cpu = -1;
    long long rss = -1;
    unsigned long long now = 0;
    int panes = -1;
    int windowWidth = -1;
    int windowHeight = -1;
    ASSERT_EQ(std::sscanf(first.c_str(),
                          "monotonic_ms=%llu cpu_ms=%lld rss_kib=%lld panes=%d window=%dx%d", &now,
                          &cpu, &rss, &panes, &windowWidth, &windowHeight),
              6)
        << first;
    EXPECT_EQ(panes, 1);
    EXPECT_EQ(QSize(windowWidth, windowHeight), host_->size());
    EXPECT_GT(rss, 0);
    size_t at = first.find("\npane ");
    ASSERT_NE(at, std::string::npos) << first;
    int slot = -1;
    unsigned long long frames = 9;
    unsigned long long decoded = 9;
    unsigned long long dropped = 9;
    unsigned long long painted = 0;
    int sw = -1, sh = -1, aw = -1, ah = -1;
    ASSERT_EQ(std::sscanf(first.c_str() + at + 1,
                          "pane %d frames=%llu decoded=%llu dropped=%llu painted=%llu "
                          "source=%dx%d area=%dx%d",
                          &slot, &frames, &decoded, &dropped, &painted, &sw, &sh, &aw, &ah),
              9)
        << first;
    EXPECT_EQ(slot, pane->Slot());
    EXPECT_EQ(painted, pane->PicturesPainted());
    EXPECT_GE(painted, 1u);
    EXPECT_EQ(aw, pane->width() - 8);
    EXPECT_EQ(ah, pane->height() - 8);
    EXPECT_NE(first.find("latency count=0 p50=0 p99=0 max=0"), std::string::npos) << first;

    VideoOverlay overlay;
    overlay.sendStamp = SendStampNow();
    Deliver(overlay);
    Render(pane);
    std::string second = WallStatsText(*wall_);
    EXPECT_NE(second.find("latency count=1 "), std::string::npos) << second;
    EXPECT_NE(WallStatsText(*wall_).find("latency count=0 "), std::string::npos);
    SetPaintLatencyOn(false);
}

TEST_F(PaneFixture, CloseIconSitsOnTheCloseBoxOverThePicture) {
    CDlgVedioShow* pane = OpenCamera(Camera("ORBI1"));
    Deliver(VideoOverlay{});
    PaneZones zones = PaneZones::For(pane->width(), pane->height());
    Move(pane, QPoint(zones.inner.left + 40, zones.inner.top + 40));
    QImage plain = Render(pane);
    Move(pane, QPoint(zones.close.left + 5, zones.close.top + 5));
    EXPECT_EQ(pane->cursor().shape(), Qt::PointingHandCursor);
    QImage hovered = Render(pane);
    QRect changed = Changed(plain, hovered);
    ASSERT_FALSE(changed.isEmpty()) << "no close icon";
    EXPECT_EQ(changed.topLeft(), QPoint(zones.close.left, zones.close.top));
    // 27 x 25, cut at the picture's edge (4 pixels in from the pane's).
    EXPECT_EQ(changed.right(), std::min(zones.close.left + 26, pane->width() - 5));
    EXPECT_EQ(changed.bottom(), zones.close.top + 24);
    Leave(pane);
    EXPECT_EQ(Render(pane), plain) << "leaving clears the hover";
}

TEST_F(PaneFixture, PanTiltArrowsAndHandCursorOnTheBottomRightBox) {
    CDlgVedioShow* pane = OpenCamera(Camera("PTZ00001", "ptz Porch"));
    Deliver(VideoOverlay{});
    QImage plain = Render(pane);
    PaneZones zones = PaneZones::For(pane->width(), pane->height());
    QPoint centre((zones.inner.left + zones.inner.right) / 2,
                  (zones.inner.top + zones.inner.bottom) / 2);
    Move(pane, centre);
    EXPECT_TRUE(pane->PanTiltHover());
    EXPECT_EQ(pane->cursor().shape(), Qt::ArrowCursor);
    QRect arrows = Changed(plain, Render(pane));
    ASSERT_FALSE(arrows.isEmpty()) << "no arrows drawn";
    EXPECT_LT(arrows.top(), pane->height() / 4) << "an arrow at the top";
    EXPECT_GT(arrows.bottom(), pane->height() * 3 / 4) << "an arrow at the bottom";

    Move(pane, QPoint(zones.bottomRight.right - 2, zones.bottomRight.bottom - 2));
    EXPECT_EQ(pane->cursor().shape(), Qt::PointingHandCursor);
    Move(pane, QPoint(zones.bottomRight.left - 1, zones.bottomRight.bottom - 2));
    EXPECT_EQ(pane->cursor().shape(), Qt::ArrowCursor) << "first pixel left of the box";
    Move(pane, QPoint(zones.bottomRight.left, zones.bottomRight.top));
    EXPECT_EQ(pane->cursor().shape(), Qt::PointingHandCursor) << "the box's first pixel";

    Move(pane, QPoint(2, 2));  // outside the inner rectangle
    EXPECT_FALSE(pane->PanTiltHover());
    Move(pane, centre);
    Leave(pane);
    EXPECT_FALSE(pane->PanTiltHover());

    // A camera without pan and tilt shows no arrows.
    pane->Assign(Camera("CAM00001", "Porch"));
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    Move(pane, centre);
    EXPECT_FALSE(pane->PanTiltHover());
}

// A channel whose stream changes size right after each read of its size: a
// drag whose width and height came from two reads mixes two pictures.
class ResizingChannel : public FakePaneChannel {
  public:
    using FakePaneChannel::FakePaneChannel;
    PictureSize PictureSizeForPoints() const override {
        PictureSize read = current_;
        current_ = {640, 480};
        return read;
    }

  private:
    mutable PictureSize current_{1280, 720};
};

TEST(PanePictureSize, DragPointUsesOneConsistentPictureSize) {
    auto log = std::make_shared<FakeChannelLog>();
    QWidget host;
    host.resize(400, 300);
    PaneContext context;
    context.createChannel = [log](const PaneChannelSettings& s) {
        return std::make_unique<ResizingChannel>(log, s);
    };
    CDlgVedioShow pane(0, &context, &host);
    pane.resize(400, 300);
    host.show();
    pane.show();
    pane.Assign(Camera("ORBI1"));
    ASSERT_TRUE(WaitUntil([&] { return pane.OpenFinished(); }));
    QCoreApplication::processEvents();
    ASSERT_TRUE(pane.Connected());
    pane.SimulateDrag(QPoint(100, 100), QPoint(200, 180));
    ZoneRect surface = VideoSurface(400, 300);
    auto expected =
        PointPtzFromDrag(100, 100, 200, 180, 1280, 720, surface.Width(), surface.Height());
    ASSERT_TRUE(expected);
    ASSERT_EQ(log->points.size(), 1u);
    EXPECT_EQ(log->points[0], std::make_pair(expected->x, expected->y))
        << "width and height of one picture";
    log->Release();
}

// "Local only play I frame" from the settings dialog reaches the local
// cameras on every pane and leaves account cameras alone.
TEST(SettingsKeyFrames, OkAppliesTheSettingToLocalCamerasOnly) {
    TempFolder dir;
    auto log = std::make_shared<FakeChannelLog>();
    AppSettings::Places places{dir.Path() / "data", dir.Path() / "autostart", dir.Path() / "record",
                               "/opt/orbisight/bin/orbisight"};
    fs::create_directories(places.dataFolder);
    AppSettings settings(places);
    settings.Load();
    CMyVelaExpertDlg::Options options;
    options.channelFactory = FakeFactory(log);
    options.updateListener = false;
    options.startDiskGuard = false;
    options.probeAtStart = false;
    options.loginAtStart = false;
    auto window = std::make_unique<CMyVelaExpertDlg>(settings, options);
    window->resize(1600, 900);
    window->show();
    VideoWall* wall = window->Wall();
    ASSERT_TRUE(WaitUntil([&] { return wall->Pane(0)->isVisible(); }));

    // Local cameras in slots 0 and 70 (beyond the first 64), an account
    // camera in slot 1.
    wall->Pane(0)->Assign(Camera("LOCAL0001"));
    wall->Pane(1)->Assign(Camera("ACCT00001", "Porch", false));
    wall->Pane(70)->Assign(Camera("LOCAL0070"));
    for (int slot : {0, 1, 70}) {
        ASSERT_TRUE(WaitUntil([&] { return wall->Pane(slot)->OpenFinished(); }));
    }
    auto keyFramesOnly = [&](int slot) { return wall->Pane(slot)->Channel()->KeyFramesOnly(); };
    auto answerSettings = [&](bool check) {
        QTimer::singleShot(0, [check] {
            if (auto* dialog =
                    qobject_cast<CDlgSystemSetting*>(QApplication::activeModalWidget())) {
                dialog->LocalOnlyKeyFrames()->setChecked(check);
                dialog->accept();
            }
        });
    };
    MessageRecorder messages;
    answerSettings(true);
    window->OpenSettings();
    EXPECT_EQ(settings.Record().localOnlyKeyFrames, 1);
    EXPECT_TRUE(keyFramesOnly(0));
    EXPECT_TRUE(keyFramesOnly(70));
    EXPECT_FALSE(keyFramesOnly(1)) << "an account camera is not forced";

    // Turned off: the local cameras follow; the account camera keeps the
    // flag the device panel gave it.
    wall->Pane(1)->Channel()->SetKeyFramesOnly(true);
    answerSettings(false);
    window->OpenSettings();
    EXPECT_FALSE(keyFramesOnly(0));
    EXPECT_FALSE(keyFramesOnly(70));
    EXPECT_TRUE(keyFramesOnly(1));
    log->Release();
    window.reset();
}

// Recordings and snapshots need a record folder: OK with an empty (or
// blank) path box says so and keeps the dialog open with the stored folder
// untouched; one character is a folder.
TEST(SettingsRecordFolder, AnEmptyFolderIsRefusedAndTheDialogStaysOpen) {
    TempFolder dir;
    AppSettings::Places places{dir.Path() / "data", dir.Path() / "autostart", dir.Path() / "record",
                               "/opt/orbisight/bin/orbisight"};
    fs::create_directories(places.dataFolder);
    AppSettings settings(places);
    settings.Load();
    std::string stored(settings.Record().RecordFolder());
    ASSERT_FALSE(stored.empty());
    MessageRecorder messages;
    for (const char* text : {"", "   "}) {
        SCOPED_TRACE(std::string("'") + text + "'");
        CDlgSystemSetting dialog(settings, nullptr, nullptr);
        dialog.show();
        dialog.RecordFolder()->setText(text);
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(std::string(settings.Record().RecordFolder()), stored);
    }
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_EQ(messages.asked[0].title, "Error");
    EXPECT_EQ(messages.asked[0].text, CDlgSystemSetting::kNoFolderText);

    CDlgSystemSetting dialog(settings, nullptr, nullptr);
    dialog.show();
    dialog.RecordFolder()->setText("r");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(std::string(settings.Record().RecordFolder()), "r");
}

// The recordings box: its image and the hand cursor while the pointer is on
// it, and a click on it (from its first pixel on) asks for the camera's
// record manager.
TEST_F(PaneFixture, RecordingsBoxShowsItsImageAndAsksForTheRecordManager) {
    CDlgVedioShow* pane = OpenCamera(Camera("CAM00001", "Porch"));
    Deliver(VideoOverlay{});
    PaneZones zones = PaneZones::For(pane->width(), pane->height());
    Move(pane, QPoint(zones.inner.left + 40, zones.inner.top + 40));
    QImage plain = Render(pane);
    Move(pane, QPoint(zones.recordings.left + 3, zones.recordings.top + 3));
    EXPECT_TRUE(pane->RecordingsHover());
    EXPECT_EQ(pane->cursor().shape(), Qt::PointingHandCursor);
    QRect changed = Changed(plain, Render(pane));
    ASSERT_FALSE(changed.isEmpty()) << "no recordings image";
    // The 30 x 30 image with its top-left corner on the box's.
    QRect image(zones.recordings.left, zones.recordings.top, 30, 30);
    EXPECT_TRUE(image.contains(changed)) << changed.x() << "," << changed.y();
    EXPECT_TRUE(changed.intersects(QRect(zones.recordings.left, zones.recordings.top,
                                         zones.recordings.Width(), zones.recordings.Height())));
    Leave(pane);
    EXPECT_FALSE(pane->RecordingsHover());

    QSignalSpy asked(pane, &CDlgVedioShow::recordsRequested);
    QTest::mouseClick(pane, Qt::LeftButton, Qt::NoModifier,
                      QPoint(zones.recordings.left - 1, zones.recordings.top));
    EXPECT_EQ(asked.count(), 0) << "first pixel left of the box";
    QTest::mouseClick(pane, Qt::LeftButton, Qt::NoModifier,
                      QPoint(zones.recordings.left, zones.recordings.top));
    ASSERT_EQ(asked.count(), 1);
}

// The web box of a pan/tilt camera opens the camera's own page, the one the
// tree's "Visit Web" opens; other cameras and clicks beside the box open
// nothing.
TEST_F(PaneFixture, WebBoxOpensTheCamerasPageForPanTiltCamerasOnly) {
    std::vector<QUrl> opened;
    SetWebPageOpener([&](const QUrl& url) { opened.push_back(url); });
    DeviceInfo ptz = Camera("PTZ00001", "PTZ Porch");
    ptz.SetHostAddress("127.0.0.5");
    CDlgVedioShow* pane = OpenCamera(ptz);
    PaneZones zones = PaneZones::For(pane->width(), pane->height());
    auto click = [&](QPoint pos) {
        QTest::mouseClick(pane, Qt::LeftButton, Qt::NoModifier, pos);
        QCoreApplication::processEvents();
    };
    click(QPoint(zones.web.left - 1, zones.web.top));
    EXPECT_TRUE(opened.empty()) << "first pixel left of the box";
    click(QPoint(zones.web.left, zones.web.top));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(), "http://127.0.0.5/sd/ipnc/");

    DeviceInfo plain = Camera("CAM00001", "Porch");
    plain.SetHostAddress("127.0.0.6");
    pane->Assign(plain);
    ASSERT_TRUE(WaitUntil([&] { return pane->OpenFinished(); }));
    click(QPoint(zones.web.left, zones.web.top));
    EXPECT_EQ(opened.size(), 1u);
    SetWebPageOpener({});
}

}  // namespace
}  // namespace orbisight
