// A live channel that picks its stream and its decoding by the pane's view,
// against a simulated camera.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "AudioTestSupport.h"
#include "ChannelTestSupport.h"
#include "media/CXOMPPlayer.h"
#include "media/MediaHooks.h"
#include "sim/stream/SimStreamCamera.h"
#include "sim/stream/StreamTestServer.h"

namespace orbisight {
namespace {

using sim::StreamTestServer;
using test::CameraRecord;
using test::Direct;
using test::Eventually;

constexpr int kWaitMs = 10000;
constexpr PictureSize kMainSize{640, 360};
constexpr PictureSize kSubSize{320, 180};

// 640 x 360 main and 320 x 180 sub stream at 25 fps, a key frame every 5
// pictures.
nlohmann::json TwoStreamCamera() {
    return {{"id", "ORBI00000001"},
            {"name", "Front Door"},
            {"user", "admin"},
            {"password", "admin"},
            {"stream",
             {{"main", {{"width", 640}, {"height", 360}, {"gop", 5}, {"bitrate", 400000}}},
              {"sub", {{"width", 320}, {"height", 180}, {"gop", 5}, {"bitrate", 150000}}},
              {"clip_seconds", 1},
              {"preset", "ultrafast"}}}};
}

// A pane of fixed size that keeps, for every picture it is given, the
// decoded size it came from and how bright it is.
class PictureLog : public VideoSink {
  public:
    struct Entry {
        PictureSize source;
        double meanLuma = 0;
    };
    PictureSize WantedSize() override { return {160, 90}; }
    PictureSlot BeginPicture(PictureSize size) override {
        pixels_.assign(static_cast<size_t>(size.width) * static_cast<size_t>(size.height), 0);
        PictureSlot slot;
        slot.pixels = pixels_.data();
        slot.width = size.width;
        slot.height = size.height;
        slot.strideBytes = size.width * 4;
        return slot;
    }
    void EndPicture(const VideoOverlay&) override {
        double sum = 0;
        for (uint32_t p : pixels_) {
            sum += ((p >> 16) & 0xff) + ((p >> 8) & 0xff) + (p & 0xff);
        }
        std::lock_guard lock(mutex_);
        entries_.push_back({source_, sum / (3.0 * static_cast<double>(pixels_.size()))});
    }
    void SourceSizeChanged(PictureSize size) override {
        std::lock_guard lock(mutex_);
        source_ = size;
    }
    std::vector<Entry> Entries() {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    size_t Count() {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }

  private:
    std::vector<uint32_t> pixels_;  // video thread only
    std::mutex mutex_;
    PictureSize source_;          // protected by mutex_
    std::vector<Entry> entries_;  // protected by mutex_
};

class PaneStreaming : public ::testing::Test {
  protected:
    void SetUp() override {
        server = std::make_unique<StreamTestServer>(TwoStreamCamera());
        ASSERT_TRUE(server->Start());
    }
    void Open(PaneView view, bool byPane = true) {
        LiveChannelOptions options;
        options.chooseStreamByPaneSize = byPane;
        options.videoSink = &sink;
        channel = std::make_unique<CXOMPPlayer>(options);
        channel->SetPaneView(view);
        record = CameraRecord(Direct(server->Port()));
        ASSERT_EQ(channel->Open(record.get(), &owner), 1);
    }
    bool Decoded(uint64_t count) {
        return Eventually([&] { return channel->Stats().decoded >= count; }, kWaitMs);
    }
    // Waits until the camera has sent count more video frames.
    bool CameraSends(uint64_t count) {
        uint64_t from = server->Camera()->videoFramesSent.load();
        return Eventually([&] { return server->Camera()->videoFramesSent.load() >= from + count; },
                          kWaitMs);
    }

    PictureLog sink;
    NoticeQueue owner;
    std::unique_ptr<StreamTestServer> server;
    std::unique_ptr<DeviceInfo> record;
    std::unique_ptr<CXOMPPlayer> channel;
};

// A small pane plays the sub stream; grown past the sub stream's picture it
// switches to the main stream once the size has rested, without one dark
// picture and without the pane ever losing its picture on the way; shrunk
// again it goes back. Drag points are scaled to the stream shown.
TEST_F(PaneStreaming, StreamFollowsThePaneSizeWithoutABlackPicture) {
    Open({300, 170, true});
    ASSERT_TRUE(Decoded(3));
    EXPECT_EQ(channel->StreamIdFlag(), 1);
    EXPECT_EQ(channel->PictureSizeForPoints(), kSubSize);
    EXPECT_EQ(channel->StreamShown(), 1);

    // The size of the sub stream itself: still the sub stream.
    channel->SetPaneView({320, 180, true});
    ASSERT_TRUE(CameraSends(25));
    EXPECT_EQ(channel->Stats().streamSwitches, 0u);

    // Full screen: the main stream once the wish has held.
    size_t before = sink.Count();
    // Watches the pane's "playing" state closely while the stream changes:
    // the pane draws its idle background whenever it is off.
    std::atomic<bool> watching{true};
    std::atomic<bool> alwaysPlaying{true};
    std::thread watcher([&] {
        while (watching.load()) {
            if (!channel->Playing()) {
                alwaysPlaying.store(false);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    channel->SetPaneView({1200, 680, true});
    bool reached =
        Eventually([&] { return channel->PictureSizeForPoints() == kMainSize; }, kWaitMs);
    watching.store(false);
    watcher.join();
    ASSERT_TRUE(reached);
    EXPECT_TRUE(alwaysPlaying.load());
    EXPECT_EQ(channel->Stats().droppedGate, 0u) << "no picture waited for a key frame";
    EXPECT_EQ(channel->StreamIdFlag(), 0);
    EXPECT_TRUE(Eventually([&] { return channel->StreamShown() == 0; }, kWaitMs));
    EXPECT_EQ(channel->Stats().streamSwitches, 1u);
    ASSERT_TRUE(Decoded(channel->Stats().decoded + 5));

    std::vector<PictureLog::Entry> entries = sink.Entries();
    ASSERT_GT(entries.size(), before);
    bool sawMain = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        // The test scene is bright: a black or blank picture is a fault.
        EXPECT_GT(entries[i].meanLuma, 20.0);
        // Sub pictures until the first main one, main pictures after it.
        if (entries[i].source == kMainSize) {
            sawMain = true;
        } else {
            EXPECT_EQ(entries[i].source, kSubSize);
            EXPECT_FALSE(sawMain) << "a sub picture after the main stream began";
        }
    }
    EXPECT_TRUE(sawMain);

    // Back to the wall.
    channel->SetPaneView({300, 170, true});
    ASSERT_TRUE(Eventually([&] { return channel->PictureSizeForPoints() == kSubSize; }, kWaitMs));
    EXPECT_EQ(channel->StreamIdFlag(), 1);
    EXPECT_EQ(channel->Stats().streamSwitches, 2u);
    EXPECT_EQ(server->Camera()->violations.load(), 0u);
}

// A resize drag that swings across the edge for two seconds and comes to
// rest where it began asks the camera for nothing.
TEST_F(PaneStreaming, AResizeDragAcrossTheEdgeSwitchesNothing) {
    Open({300, 170, true});
    ASSERT_TRUE(Decoded(3));
    // A machine so loaded that one step of the drag took most of the delay
    // may rightly switch; then only where the drag rests is checked.
    bool stalled = false;
    auto previous = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) {
        channel->SetPaneView({i % 2 == 0 ? 900 : 300, 300, true});
        auto now = std::chrono::steady_clock::now();
        stalled = stalled || now - previous >= std::chrono::milliseconds(600);
        previous = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    channel->SetPaneView({300, 170, true});
    stalled =
        stalled || std::chrono::steady_clock::now() - previous >= std::chrono::milliseconds(600);
    ASSERT_TRUE(CameraSends(30));
    if (!stalled) {
        EXPECT_EQ(channel->Stats().streamSwitches, 0u);
    }
    EXPECT_TRUE(Eventually([&] { return channel->PictureSizeForPoints() == kSubSize; }, kWaitMs));
}

// A pane nobody sees keeps receiving but decodes nothing and draws nothing;
// seen again, it resumes (at a key frame) and the pane never showed "not
// playing" meanwhile.
TEST_F(PaneStreaming, HiddenPaneDecodesNothingAndResumes) {
    Open({300, 170, true});
    ASSERT_TRUE(Decoded(5));
    channel->SetPaneView({300, 170, false});
    // What was in the decoder's hands when it was hidden is finished first.
    ASSERT_TRUE(CameraSends(3));
    LiveChannelStats hidden = channel->Stats();
    size_t pictures = sink.Count();
    ASSERT_TRUE(CameraSends(30));
    LiveChannelStats later = channel->Stats();
    EXPECT_EQ(later.decoded, hidden.decoded);
    EXPECT_EQ(sink.Count(), pictures);
    EXPECT_GE(later.videoFrames, hidden.videoFrames + 25) << "frames still arrive";
    EXPECT_GE(later.skippedByView, hidden.skippedByView + 25);
    EXPECT_EQ(later.droppedQueue, 0u);
    EXPECT_TRUE(channel->Playing());

    // A snapshot of the hidden pane is taken from the next key frame, the
    // only picture decoded for it; then nothing again.
    test::TempDir dir;
    const std::string shot = dir.File("hidden.jpg");
    ASSERT_EQ(channel->TakeSnapshotTo(shot), 1);
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(shot); }, kWaitMs));
    ASSERT_TRUE(CameraSends(15));
    LiveChannelStats afterShot = channel->Stats();
    EXPECT_EQ(afterShot.decoded, later.decoded + 1);
    EXPECT_GT(std::filesystem::file_size(shot), 0u);

    channel->SetPaneView({300, 170, true});
    ASSERT_TRUE(Decoded(afterShot.decoded + 10));
    EXPECT_GT(sink.Count(), pictures);
    EXPECT_EQ(channel->Stats().streamSwitches, 0u) << "hiding changes no stream";
}

// What is decoded follows the view with the setting off too: only the
// stream stays the channel's own choice.
TEST_F(PaneStreaming, WithoutTheSettingHiddenPanesStillDecodeNothing) {
    Open({300, 170, true}, false);
    ASSERT_TRUE(Decoded(5));
    // "Local big stream" chose the main stream for the small pane.
    EXPECT_EQ(channel->PictureSizeForPoints(), kMainSize);
    EXPECT_FALSE(channel->ChoosesStreamByPaneSize());
    channel->SetPaneView({300, 170, false});
    ASSERT_TRUE(CameraSends(3));
    uint64_t hidden = channel->Stats().decoded;
    ASSERT_TRUE(CameraSends(20));
    EXPECT_EQ(channel->Stats().decoded, hidden);
    channel->SetPaneView({100, 56, true, 108});  // a tiny pane: key frames only
    ASSERT_TRUE(CameraSends(20));
    uint64_t tiny = channel->Stats().decoded - hidden;
    EXPECT_GE(tiny, 3u);
    EXPECT_LE(tiny, 5u) << "one in five is a key frame";
}

// Recording goes on while nobody sees the pane: every frame the camera sent
// in that time is in the recording, 40 ms apart without a gap.
TEST_F(PaneStreaming, RecordingWhileHiddenLosesNoFrame) {
    Open({300, 170, false});
    auto log = std::make_unique<test::HeaderLog>(true);
    test::HeaderLog* frames = log.get();
    channel->AttachRecorder(std::move(log));
    ASSERT_EQ(channel->ToggleRecording(), 1);
    ASSERT_TRUE(CameraSends(60));
    uint64_t decodedHidden = channel->Stats().decoded;
    ASSERT_EQ(channel->ToggleRecording(), 1);
    std::vector<FrameHeader> headers = frames->Headers();
    ASSERT_GE(headers.size(), 50u);
    for (size_t i = 1; i < headers.size(); ++i) {
        ASSERT_EQ(headers[i].timeStamp - headers[i - 1].timeStamp, 40u) << "frame " << i;
    }
    // Hidden from the start: one key frame at most, so the pane has a
    // picture when it is shown.
    EXPECT_LE(decodedHidden, 1u);
}

// A pane drawn at two thirds of the picture or less decodes without the
// deblocking filter; grown past that it filters again.
TEST_F(PaneStreaming, SmallPanesDecodeWithoutDeblocking) {
    Open({200, 112, true});  // the 320 x 180 sub stream at 62 %
    ASSERT_TRUE(Decoded(5));
    LiveChannelStats small = channel->Stats();
    EXPECT_GE(small.lightDecodes, 4u);

    channel->SetPaneView({214, 120, true});  // 67 %: filtered again
    // A frame that was being decoded when the view changed is finished
    // (and counted) before the second picture after it.
    ASSERT_TRUE(Decoded(channel->Stats().decoded + 2));
    uint64_t light = channel->Stats().lightDecodes;
    uint64_t decoded = channel->Stats().decoded;
    ASSERT_TRUE(Decoded(decoded + 10));
    EXPECT_EQ(channel->Stats().lightDecodes, light);
}

}  // namespace
}  // namespace orbisight
