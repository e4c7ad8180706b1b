#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include <nlohmann/json.hpp>

#include "AudioTestSupport.h"
#include "ChannelTestSupport.h"
#include "RecordFiles.h"
#include "media/CXOMPPlayer.h"
#include "media/HeadlessVideoSink.h"
#include "media/MediaHooks.h"
#include "sim/stream/SimStreamCamera.h"
#include "sim/stream/StreamTestServer.h"

namespace orbisight {
namespace {

using sim::StreamTestServer;
using test::CameraRecord;
using test::Direct;
using test::Eventually;
using test::SmallCamera;

constexpr int kWaitMs = 8000;

class Streaming : public ::testing::Test {
  protected:
    void StartCamera(nlohmann::json config = SmallCamera()) {
        server = std::make_unique<StreamTestServer>(config);
        ASSERT_TRUE(server->Start());
    }
    void OpenChannel(LiveChannelOptions options = {}, bool local = false) {
        options.videoSink = &sink;
        channel = std::make_unique<CXOMPPlayer>(options);
        record = CameraRecord(Direct(server->Port()), local);
        ASSERT_EQ(channel->Open(record.get(), &owner), 1);
    }
    bool DecodedAtLeast(uint64_t count) {
        return Eventually([&] { return channel->Stats().decoded >= count; }, kWaitMs);
    }
    sim::SimStreamCamera& Camera() { return *server->Camera(); }

    HeadlessVideoSink sink;
    NoticeQueue owner;
    std::unique_ptr<StreamTestServer> server;
    std::unique_ptr<DeviceInfo> record;
    std::unique_ptr<CXOMPPlayer> channel;
};

TEST_F(Streaming, EveryFrameSentIsDecodedAtTheStreamsSize) {
    StartCamera();
    OpenChannel();
    ASSERT_TRUE(DecodedAtLeast(20));
    // Silence the camera, let the queue drain, then count.
    Camera().SetStreamFault("stall");
    uint64_t sent = 0;
    ASSERT_TRUE(Eventually(
        [&] {
            sent = Camera().videoFramesSent.load();
            LiveChannelStats stats = channel->Stats();
            return stats.videoFrames == sent && stats.decoded == sent;
        },
        kWaitMs));
    LiveChannelStats stats = channel->Stats();
    EXPECT_EQ(stats.droppedQueue, 0u);
    EXPECT_EQ(stats.droppedGate, 0u);
    EXPECT_GE(Camera().keyFramesSent.load(), 4u);
    EXPECT_EQ(channel->PictureSizeForPoints(), (PictureSize{320, 180}));
    EXPECT_EQ(sink.SourceSize(), (PictureSize{320, 180}));
    EXPECT_TRUE(channel->Playing());
    EXPECT_EQ(channel->Title(), "Front Door");
}

// Notes the key flag of every video frame the channel splits.
class KeyFrameLog : public FrameRecorder {
  public:
    bool Start(const char*, const char*) override { return true; }
    void Stop() override {}
    void Write(const FrameHeader& header, const uint8_t*) override {
        if (header.mediaType == mediatype::kVideo) {
            std::lock_guard lock(mutex_);
            keys_.push_back(header.KeyFrame());
        }
    }
    // Distances between consecutive key frames.
    std::vector<size_t> KeyDistances() {
        std::lock_guard lock(mutex_);
        std::vector<size_t> distances;
        size_t last = SIZE_MAX;
        for (size_t i = 0; i < keys_.size(); ++i) {
            if (keys_[i]) {
                if (last != SIZE_MAX) {
                    distances.push_back(i - last);
                }
                last = i;
            }
        }
        return distances;
    }

  private:
    std::mutex mutex_;
    std::vector<bool> keys_;  // protected by mutex_
};

// A camera whose clip is still being encoded streams at once (a still
// picture), then switches to the clip at a key frame: no receive time-out,
// no reconnection, and the key frames keep their cadence.
TEST_F(Streaming, ACameraStreamsAStillPictureUntilItsClipIsEncoded) {
    nlohmann::json config = SmallCamera();
    config["name"] = "Warming up";
    config["stream"]["clip_seconds"] = 30;  // 750 pictures to encode first
    config["stream"]["preset"] = "veryfast";
    StartCamera(config);
    OpenChannel();
    auto log = std::make_unique<KeyFrameLog>();
    KeyFrameLog* keys = log.get();
    channel->AttachRecorder(std::move(log));
    ASSERT_EQ(channel->ToggleRecording(), 1);
    ASSERT_TRUE(DecodedAtLeast(5));
    EXPECT_GT(Camera().stillFramesSent.load(), 0u);
    ASSERT_TRUE(Eventually(
        [&] { return Camera().videoFramesSent.load() > Camera().stillFramesSent.load() + 10; },
        40000));
    Camera().SetStreamFault("stall");
    uint64_t sent = 0;
    ASSERT_TRUE(Eventually(
        [&] {
            sent = Camera().videoFramesSent.load();
            return channel->Stats().decoded == sent;
        },
        kWaitMs));
    std::vector<size_t> distances = keys->KeyDistances();
    ASSERT_GE(distances.size(), 3u);
    EXPECT_EQ(std::count(distances.begin(), distances.end(), 5u),
              static_cast<long>(distances.size()));  // GOP 5 throughout
    LiveChannelStats stats = channel->Stats();
    EXPECT_EQ(stats.droppedGate, 0u);
    EXPECT_EQ(stats.reconnectAttempts, 0u);
    EXPECT_EQ(channel->PictureSizeForPoints(), (PictureSize{320, 180}));
}

// A channel made while no record folder was set records and snaps once a
// folder is given; an empty folder makes both unavailable again.
TEST_F(Streaming, AFolderGivenLaterBringsRecordingAndSnapshots) {
    test::ScratchFolder folder;
    StartCamera();
    OpenChannel();
    ASSERT_TRUE(DecodedAtLeast(1));
    EXPECT_EQ(channel->ToggleRecording(), 0);
    EXPECT_EQ(channel->TakeSnapshot(), 0);

    channel->SetRecordSettings(folder.Path().string(), 60);
    ASSERT_EQ(channel->ToggleRecording(), 1);
    ASSERT_EQ(channel->TakeSnapshot(), 1);
    auto count = [&](const std::string& extension) {
        size_t n = 0;
        for (const auto& file : test::FilesBelow(folder.Path())) {
            n += std::filesystem::path(file).extension() == extension ? 1 : 0;
        }
        return n;
    };
    ASSERT_TRUE(Eventually([&] { return channel->SnapshotsSaved() == 1; }, kWaitMs));
    ASSERT_TRUE(DecodedAtLeast(channel->Stats().decoded + 10));
    EXPECT_EQ(channel->ToggleRecording(), 1);  // stopped
    EXPECT_EQ(count(".264"), 1u);
    EXPECT_EQ(count(".jpg"), 1u);

    channel->SetRecordSettings("", 60);
    EXPECT_EQ(channel->TakeSnapshot(), 0);
    EXPECT_EQ(channel->ToggleRecording(), 0);
    EXPECT_FALSE(channel->Recording());
}

TEST_F(Streaming, SubStreamForLocalCamerasWithoutTheBigStream) {
    StartCamera();
    LiveChannelOptions options;
    options.localBigStream = false;
    OpenChannel(options, true);
    ASSERT_TRUE(DecodedAtLeast(3));
    EXPECT_EQ(channel->PictureSizeForPoints(), (PictureSize{160, 90}));
}

TEST_F(Streaming, ReconnectsAfterTheCameraDropsTheConnection) {
    StartCamera(SmallCamera({{"mode", "drop"}, {"after_frames", 10}}));
    OpenChannel();
    ASSERT_TRUE(Eventually([&] { return channel->Stats().reconnects >= 1; }, kWaitMs));
    uint64_t before = channel->Stats().decoded;
    EXPECT_TRUE(DecodedAtLeast(before + 5));
    EXPECT_TRUE(channel->Connected());
    EXPECT_GE(server->Logins(), 2u);
}

TEST_F(Streaming, ReconnectsWhenTheCameraComesBack) {
    StartCamera();
    OpenChannel();
    ASSERT_TRUE(DecodedAtLeast(5));
    int port = server->Port();
    server->Stop();
    EXPECT_TRUE(test::WaitState(owner, 0, kWaitMs));
    ASSERT_TRUE(server->Start(port));
    EXPECT_TRUE(test::WaitState(owner, 1, kWaitMs));
    uint64_t before = channel->Stats().decoded;
    EXPECT_TRUE(DecodedAtLeast(before + 5));
}

TEST_F(Streaming, CloseIsPromptWithAStalledCamera) {
    StartCamera(SmallCamera({{"mode", "stall"}, {"after_frames", 5}}));
    OpenChannel();
    ASSERT_TRUE(DecodedAtLeast(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto start = std::chrono::steady_clock::now();
    channel->Close();
    EXPECT_LT(test::ElapsedMs(start), 3000);  // documented bound: about 7.3 s
}

// Each fault leaves the channel decoding, without a crash or an overrun
// (the suite also runs under AddressSanitizer).
TEST_F(Streaming, SurvivesDamagedFramesOverlongMessagesAndClockJumps) {
    StartCamera();
    OpenChannel();
    ASSERT_TRUE(DecodedAtLeast(5));
    for (const char* mode : {"oversize_frame", "overlong_message", "time_jump", "time_rewind"}) {
        ASSERT_TRUE(Camera().SetStreamFault({{"mode", mode}, {"after_frames", 0}, {"every", 7}}));
        uint64_t before = channel->Stats().decoded;
        EXPECT_TRUE(DecodedAtLeast(before + 15)) << mode;
    }
    LiveChannelStats stats = channel->Stats();
    EXPECT_GE(stats.droppedInvalid, 1u);
    EXPECT_GE(stats.overlongMessages, 1u);
    EXPECT_EQ(stats.reconnectAttempts, 0u);
    EXPECT_FALSE(Camera().SetStreamFault("no_such_mode"));
}

TEST_F(Streaming, AlarmMarkedPicturesCarryTheAlarmToTheSink) {
    StartCamera();
    LiveChannelOptions options;
    options.alarmBlink = true;
    OpenChannel(options);
    ASSERT_TRUE(DecodedAtLeast(3));
    Camera().SetAlarm(true);
    std::vector<uint32_t> pixels;
    PictureSize size;
    VideoOverlay overlay;
    EXPECT_TRUE(Eventually(
        [&] { return sink.CopyLatest(pixels, size, &overlay) && overlay.alarmBorder; }, kWaitMs));
    EXPECT_TRUE(overlay.alarm);
    EXPECT_TRUE(overlay.borderRgb == 0xC80000u || overlay.borderRgb == 0xFFC80Eu);
    EXPECT_EQ(overlay.title, "Front Door");
    Camera().SetAlarm(false);
    EXPECT_TRUE(Eventually(
        [&] { return sink.CopyLatest(pixels, size, &overlay) && !overlay.alarm; }, kWaitMs));
}

TEST_F(Streaming, SoundOnRequestAndControlsReachTheCamera) {
    StartCamera();
    CountingAudioSink audio;
    test::TempDir dir;
    auto microphone = test::MicrophoneBackend(dir, test::Tone(440, 8000, 3.0), 8000);
    LiveChannelOptions options;
    options.audioSink = &audio;
    options.audioBackend = microphone.get();
    OpenChannel(options);
    ASSERT_TRUE(DecodedAtLeast(1));
    EXPECT_EQ(channel->Stats().audioFrames, 0u);
    channel->SetListening(true);
    EXPECT_TRUE(Eventually([&] { return audio.Frames() >= 3; }, kWaitMs));
    // Talking mutes what the camera sends.
    EXPECT_EQ(channel->StartTalk(), 1);
    EXPECT_TRUE(channel->Talking());
    uint64_t heard = audio.Frames();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_LE(audio.Frames(), heard + 1);
    EXPECT_TRUE(Eventually([&] { return Camera().talkFrames.load() >= 1; }, kWaitMs));
    channel->StopTalk();
    EXPECT_FALSE(channel->Talking());
    EXPECT_TRUE(Eventually([&] { return audio.Frames() >= heard + 3; }, kWaitMs));
    // The motion alert goes to the camera and comes back.
    channel->SetAlert(true);
    channel->SendControl(101);
    EXPECT_TRUE(Eventually([&] { return Camera().MotionAlert(); }, kWaitMs));
    channel->SetAlert(false);
    channel->SendControl(100);  // the camera's answer sets the flag again
    EXPECT_TRUE(Eventually([&] { return channel->Alert(); }, kWaitMs));
    EXPECT_EQ(Camera().violations.load(), 0u);
}

TEST_F(Streaming, PanAndTiltMoveALiveEncodedCamerasWindow) {
    nlohmann::json config = SmallCamera();
    config["ptz"] = true;
    StartCamera(config);
    OpenChannel();
    ASSERT_TRUE(DecodedAtLeast(5));
    double x0 = 0;
    double y0 = 0;
    Camera().WindowPosition(x0, y0);
    channel->SendControl(2);  // right
    channel->SendControl(4);  // down
    EXPECT_TRUE(Eventually(
        [&] {
            double x = 0;
            double y = 0;
            Camera().WindowPosition(x, y);
            return x > x0 && y > y0;
        },
        kWaitMs));
    // Aim at the top-left corner of the picture: the window moves up-left.
    channel->SendPointPtz(0, 0);
    EXPECT_TRUE(Eventually(
        [&] {
            double x = 1;
            double y = 1;
            Camera().WindowPosition(x, y);
            return x < x0 && y < y0;
        },
        kWaitMs));
    uint64_t before = channel->Stats().decoded;
    EXPECT_TRUE(DecodedAtLeast(before + 10));
    EXPECT_EQ(Camera().violations.load(), 0u);
}

}  // namespace
}  // namespace orbisight
