#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <mutex>
#include <vector>

#include "ChannelTestSupport.h"
#include "FakeCamera.h"
#include "account/DeviceDirectory.h"
#include "device/CHalvexProtocolAX.h"
#include "media/CXOMPPlayer.h"
#include "media/FrameHeader.h"
#include "sim/stream/ClipCache.h"

namespace orbisight {
namespace {

using test::CameraRecord;
using test::Direct;
using test::Eventually;
using test::FakeCamera;

constexpr int kWaitMs = 5000;

std::vector<uint8_t> OneVideoFrame(bool key, uint32_t size = 16) {
    FrameHeader h;
    h.flags = key ? 1 : 0;
    h.mediaType = mediatype::kVideo;
    h.size = size;
    h.rate = 25;
    std::vector<uint8_t> data(FrameHeader::kSize + size, 0x11);
    WriteFrameHeaderNetwork(h, data.data());
    return data;
}

TEST(LiveChannel, OpenLogsInStartsThePictureAndAsksForTheAlert) {
    FakeCamera camera;
    NoticeQueue owner;
    CXOMPPlayer channel;
    auto record = CameraRecord(Direct(camera.Port()));
    EXPECT_EQ(channel.Open(record.get(), &owner), 1);
    EXPECT_TRUE(channel.Connected());
    EXPECT_TRUE(test::WaitState(owner, 1, kWaitMs));

    FakeCamera::Received m;
    ASSERT_TRUE(camera.WaitFor(0, m, kWaitMs));
    EXPECT_EQ(m.type, msgtype::kLogin);
    EXPECT_EQ(m.Field("UserName"), "admin");
    EXPECT_EQ(m.Field("Password"), "admin");
    EXPECT_EQ(m.Field("DeviceSerial"), "ORBI00000001");
    ASSERT_TRUE(camera.WaitFor(0, m, kWaitMs));
    EXPECT_EQ(m.type, msgtype::kCommand);
    EXPECT_EQ(m.Field("Command"), "Start");
    EXPECT_EQ(m.Field("Type"), "Video");
    EXPECT_FALSE(m.Has("StreamID"));  // a direct, non-local camera
    ASSERT_TRUE(camera.WaitFor(0, m, kWaitMs));
    EXPECT_EQ(m.Field("Command_Param"), "100");

    channel.SetListening(true);
    ASSERT_TRUE(camera.WaitFor(msgtype::kCommand, m, kWaitMs));
    EXPECT_EQ(m.Field("Type"), "Audio");
    EXPECT_EQ(m.Field("Command"), "Start");
    channel.Close();
    // Close stops the whole stream.
    ASSERT_TRUE(camera.WaitFor(msgtype::kCommand, m, kWaitMs));
    EXPECT_EQ(m.Field("Command"), "Stop");
    EXPECT_EQ(m.Field("Type"), "All");
    EXPECT_FALSE(channel.Connected());
}

TEST(LiveChannel, OpenTwiceKeepsOneConnectionAndReopensAfterClose) {
    FakeCamera camera;
    CXOMPPlayer channel;
    auto record = CameraRecord(Direct(camera.Port()));
    ASSERT_EQ(channel.Open(record.get(), nullptr), 1);
    ASSERT_TRUE(camera.WaitLogins(1, kWaitMs));
    EXPECT_EQ(channel.Open(record.get(), nullptr), 1);
    EXPECT_EQ(camera.Accepted(), 1);
    channel.Close();
    EXPECT_EQ(channel.Open(nullptr, nullptr), 0);  // Close let the record go
    ASSERT_EQ(channel.Open(record.get(), nullptr), 1);
    EXPECT_TRUE(camera.WaitLogins(2, kWaitMs));
    EXPECT_TRUE(channel.Connected());
}

TEST(LiveChannel, LocalCamerasChooseTheStreamBySetting) {
    for (bool big : {true, false}) {
        FakeCamera camera;
        LiveChannelOptions options;
        options.localBigStream = big;
        CXOMPPlayer channel(options);
        auto record = CameraRecord(Direct(camera.Port()), true);
        ASSERT_EQ(channel.Open(record.get(), nullptr), 1);
        FakeCamera::Received m;
        ASSERT_TRUE(camera.WaitFor(msgtype::kCommand, m, kWaitMs));
        EXPECT_EQ(m.Field("StreamID"), big ? "0" : "1");
        EXPECT_EQ(channel.StreamIdFlag(), big ? 0 : 1);
    }
}

TEST(LiveChannel, RemoteAddressFirstUnlessTheCameraIsLocal) {
    FakeCamera direct("127.0.0.1");
    FakeCamera remote("127.0.0.2");
    ASSERT_TRUE(remote.Listening());
    std::string url = Direct(direct.Port()) + ";ddns://127.0.0.2:" + std::to_string(remote.Port());
    {
        CXOMPPlayer channel;
        auto record = CameraRecord(url);
        ASSERT_EQ(channel.Open(record.get(), nullptr), 1);
        EXPECT_TRUE(channel.Remote());
        FakeCamera::Received m;
        ASSERT_TRUE(remote.WaitFor(msgtype::kCommand, m, kWaitMs));
        EXPECT_EQ(m.Field("StreamID"), "1");
        EXPECT_EQ(direct.Accepted(), 0);
    }
    {
        // A local camera reached through its remote address would still ask
        // for "1"; a local camera is only ever tried at its direct address.
        CXOMPPlayer channel;
        auto record = CameraRecord(url, true);
        ASSERT_EQ(channel.Open(record.get(), nullptr), 1);
        EXPECT_FALSE(channel.Remote());
        EXPECT_EQ(remote.Accepted(), 1);
    }
}

TEST(LiveChannel, PrivateRemoteHostIsNeverTried) {
    FakeCamera direct("127.0.0.1");
    FakeCamera remote("127.10.0.1");  // contains "10.0"
    std::string url =
        "ddns://127.10.0.1:" + std::to_string(remote.Port()) + ";" + Direct(direct.Port());
    CXOMPPlayer channel;
    auto record = CameraRecord(url);
    ASSERT_EQ(channel.Open(record.get(), nullptr), 1);
    EXPECT_FALSE(channel.Remote());
    EXPECT_EQ(remote.Accepted(), 0);
}

TEST(LiveChannel, NoReachableAddress) {
    NoticeQueue owner;
    CXOMPPlayer channel;
    // (A "tutkid://" entry would make Open succeed: see PeerChannel.)
    auto nothing = CameraRecord("ssp://127.0.0.1:1;cloud://x");
    EXPECT_EQ(channel.Open(nothing.get(), &owner), 0);
    EXPECT_TRUE(test::WaitState(owner, 0, kWaitMs));
    EXPECT_FALSE(channel.Connected());
    CXOMPPlayer empty;
    EXPECT_EQ(empty.Open(nullptr, &owner), 0);
}

TEST(LiveChannel, LoginAnsweredWithFailureCountsButStartsNoStream) {
    FakeCamera camera;
    camera.SetLoginRet("0");
    CXOMPPlayer channel;
    auto record = CameraRecord(Direct(camera.Port()));
    EXPECT_EQ(channel.Open(record.get(), nullptr), 1);
    EXPECT_TRUE(channel.Connected());
    FakeCamera::Received m;
    ASSERT_TRUE(camera.WaitFor(msgtype::kLogin, m, kWaitMs));
    EXPECT_FALSE(camera.WaitFor(msgtype::kCommand, m, 300));
}

TEST(LiveChannel, DirectMediaNeedsRetOne) {
    FakeCamera camera;
    CXOMPPlayer channel;
    auto record = CameraRecord(Direct(camera.Port()));
    ASSERT_EQ(channel.Open(record.get(), nullptr), 1);
    ASSERT_TRUE(camera.WaitLogins(1, kWaitMs));
    camera.SendRaw(test::MediaMessage(OneVideoFrame(true), nullptr));
    camera.SendRaw(test::MediaMessage(OneVideoFrame(true), "0"));
    camera.SendRaw(test::MediaMessage(OneVideoFrame(true), "1"));
    ASSERT_TRUE(Eventually([&] { return channel.Stats().videoFrames == 1; }, kWaitMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(channel.Stats().videoFrames, 1u);
}

TEST(LiveChannel, AlertRepliesSetTheFlag) {
    FakeCamera camera;
    CXOMPPlayer channel;
    auto record = CameraRecord(Direct(camera.Port()));
    ASSERT_EQ(channel.Open(record.get(), nullptr), 1);
    ASSERT_TRUE(camera.WaitLogins(1, kWaitMs));
    camera.SendRaw(test::Message(msgtype::kReply, {{"Ret", "1"}, {"RetAlert", "On"}}));
    EXPECT_TRUE(Eventually([&] { return channel.Alert(); }, kWaitMs));
    camera.SendRaw(test::Message(msgtype::kReply, {{"Ret", "1"}, {"RetAlert", "Fail"}}));
    EXPECT_TRUE(Eventually([&] { return !channel.Alert(); }, kWaitMs));

    // 101 sends the flag the caller has flipped.
    channel.SetAlert(true);
    channel.SendControl(101);
    FakeCamera::Received m;
    do {
        ASSERT_TRUE(camera.WaitFor(msgtype::kRequest, m, kWaitMs));
    } while (m.Field("Command_Param") != "101");
    EXPECT_EQ(m.Field("AlertVal"), "On");
}

TEST(LiveChannel, OverlongMessageIsSkippedAndTheStreamStaysInStep) {
    FakeCamera camera;
    CXOMPPlayer channel;
    auto record = CameraRecord(Direct(camera.Port()));
    ASSERT_EQ(channel.Open(record.get(), nullptr), 1);
    ASSERT_TRUE(camera.WaitLogins(1, kWaitMs));
    // A body of 400000 bytes, above the channel's 327678.
    std::vector<uint8_t> big(400000 - 24, 0x55);
    camera.SendRaw(test::MediaMessage(big));
    camera.SendRaw(test::MediaMessage(OneVideoFrame(true)));
    ASSERT_TRUE(Eventually([&] { return channel.Stats().videoFrames == 1; }, kWaitMs));
    EXPECT_EQ(channel.Stats().overlongMessages, 1u);
    EXPECT_EQ(channel.Stats().reconnectAttempts, 0u);
    EXPECT_EQ(camera.Accepted(), 1);

    // Also after an earlier failure it is no reason to reconnect.
    camera.DropConnection();
    ASSERT_TRUE(camera.WaitLogins(2, kWaitMs));
    camera.SendRaw(test::MediaMessage(big));
    camera.SendRaw(test::MediaMessage(OneVideoFrame(true)));
    ASSERT_TRUE(Eventually([&] { return channel.Stats().overlongMessages == 2; }, kWaitMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_EQ(channel.Stats().reconnectAttempts, 1u);
    EXPECT_EQ(camera.Accepted(), 2);
}

TEST(LiveChannel, QualityIsRememberedAndSentAgainAfterEveryStart) {
    FakeCamera camera;
    NoticeQueue owner;
    CXOMPPlayer channel;
    auto record = CameraRecord(Direct(camera.Port()));
    ASSERT_EQ(channel.Open(record.get(), &owner), 1);
    ASSERT_TRUE(camera.WaitLogins(1, kWaitMs));
    channel.SendControl(1383);
    EXPECT_EQ(channel.LastQualityCode(), 1383);
    FakeCamera::Received m;
    do {
        ASSERT_TRUE(camera.WaitFor(msgtype::kRequest, m, kWaitMs));
    } while (m.Field("Command_Param") != "103");
    EXPECT_EQ(m.Field("AVQVal"), "Min");

    // The camera goes away; after the reconnection the start is followed by
    // the remembered quality.
    camera.DropConnection();
    ASSERT_TRUE(camera.WaitLogins(2, kWaitMs));
    ASSERT_TRUE(camera.WaitFor(msgtype::kCommand, m, kWaitMs));
    EXPECT_EQ(m.Field("Command"), "Start");
    ASSERT_TRUE(camera.WaitFor(msgtype::kRequest, m, kWaitMs));
    EXPECT_EQ(m.Field("Command_Param"), "103");
    EXPECT_EQ(m.Field("AVQVal"), "Min");
    EXPECT_TRUE(test::WaitState(owner, 1, kWaitMs));
    EXPECT_EQ(channel.Stats().reconnects, 1u);
}

class FixedDirectory : public DeviceDirectory {
  public:
    std::optional<std::string> FindAddressList(std::string_view id, bool) const override {
        std::lock_guard lock(mutex);
        if (id != "ORBI00000001") {
            return std::nullopt;
        }
        return url;
    }
    mutable std::mutex mutex;
    std::string url;
};

TEST(LiveChannel, ReconnectionTakesTheCurrentAddressFromTheDirectory) {
    auto first = std::make_unique<FakeCamera>();
    FakeCamera second;
    FixedDirectory directory;
    directory.url = Direct(second.Port());
    LiveChannelOptions options;
    options.directory = &directory;
    NoticeQueue owner;
    CXOMPPlayer channel(options);
    auto record = CameraRecord(Direct(first->Port()));
    ASSERT_EQ(channel.Open(record.get(), &owner), 1);
    ASSERT_TRUE(test::WaitState(owner, 1, kWaitMs));
    first.reset();  // the camera moved
    EXPECT_TRUE(second.WaitLogins(1, kWaitMs));
    EXPECT_TRUE(test::WaitState(owner, 1, kWaitMs));
}

TEST(LiveChannel, OfflineServerCameraIsRetriedOnlyNowAndThen) {
    auto camera = std::make_unique<FakeCamera>();
    NoticeQueue owner;
    LiveChannelOptions options;
    options.offlineRetryMs = 4000;
    CXOMPPlayer channel(options);
    auto record = CameraRecord(Direct(camera->Port()));
    record->status = 0;  // off-line, from the server's list, type 0
    ASSERT_EQ(channel.Open(record.get(), &owner), 1);
    ASSERT_TRUE(camera->WaitLogins(1, kWaitMs));
    camera->DropConnection();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_EQ(channel.Stats().reconnectAttempts, 0u);
    EXPECT_EQ(camera->Accepted(), 1);
    // The list was wrong, or the camera came back: the channel finds out.
    EXPECT_TRUE(camera->WaitLogins(2, kWaitMs));
    EXPECT_TRUE(test::WaitState(owner, 1, kWaitMs));
    EXPECT_EQ(channel.Stats().reconnectAttempts, 1u);
}

// Close wins over every Open that began before it, also one still waiting
// for another Open to finish: the channel stays closed and nothing new
// connects behind the caller's back.
TEST(LiveChannel, AnOpenWaitingWhenCloseComesDoesNotReopen) {
    FakeCamera camera;
    camera.SetLoginRet("silent");
    CXOMPPlayer channel;
    auto record = CameraRecord(Direct(camera.Port()));
    auto first =
        std::async(std::launch::async, [&] { return channel.Open(record.get(), nullptr); });
    FakeCamera::Received m;
    ASSERT_TRUE(camera.WaitFor(msgtype::kLogin, m, kWaitMs));
    auto second =
        std::async(std::launch::async, [&] { return channel.Open(record.get(), nullptr); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // second waits for first
    auto start = std::chrono::steady_clock::now();
    channel.Close();
    EXPECT_LT(test::ElapsedMs(start), 3000);
    EXPECT_EQ(first.get(), 0);
    EXPECT_EQ(second.get(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(channel.Connected());
    EXPECT_EQ(camera.Accepted(), 1);
}

TEST(LiveChannel, CloseIsPromptWhileTheCameraIsSilent) {
    FakeCamera camera;
    CXOMPPlayer channel;
    auto record = CameraRecord(Direct(camera.Port()));
    ASSERT_EQ(channel.Open(record.get(), nullptr), 1);
    ASSERT_TRUE(camera.WaitLogins(1, kWaitMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // receive thread now blocked
    auto start = std::chrono::steady_clock::now();
    channel.Close();
    EXPECT_LT(test::ElapsedMs(start), 3000);
    channel.Close();  // a second Close does nothing
}

TEST(LiveChannel, SplittingIsSafeBeforeOpenAndFramesWaitForAKeyFrame) {
    CXOMPPlayer channel;
    std::vector<uint8_t> data = OneVideoFrame(false);
    std::vector<uint8_t> key = OneVideoFrame(true);
    data.insert(data.end(), key.begin(), key.end());
    channel.SplitFrames(data.data(), data.size());
    LiveChannelStats stats = channel.Stats();
    EXPECT_EQ(stats.videoFrames, 2u);
    EXPECT_EQ(stats.droppedGate, 1u);
}

// Records the decoded size of every picture the channel draws, in order.
class PictureSizeLog : public VideoSink {
  public:
    PictureSize WantedSize() override { return {16, 16}; }
    PictureSlot BeginPicture(PictureSize size) override {
        pixels_.resize(static_cast<size_t>(size.width) * static_cast<size_t>(size.height));
        return {pixels_.data(), size.width, size.height, size.width * 4, 0};
    }
    void EndPicture(const VideoOverlay&) override {
        std::lock_guard lock(mutex_);
        sizes_.push_back(source_);
    }
    void SourceSizeChanged(PictureSize size) override { source_ = size; }
    size_t Count(PictureSize size) {
        std::lock_guard lock(mutex_);
        return static_cast<size_t>(std::count(sizes_.begin(), sizes_.end(), size));
    }

  private:
    std::vector<uint32_t> pixels_;  // video thread only
    PictureSize source_;            // video thread only
    std::mutex mutex_;
    std::vector<PictureSize> sizes_;  // protected by mutex_
};

std::vector<uint8_t> ClipFrame(const sim::EncodedFrame& frame, uint32_t timeStamp) {
    FrameHeader h;
    h.flags = frame.key ? 1 : 0;
    h.mediaType = mediatype::kVideo;
    h.size = static_cast<uint32_t>(frame.data.size());
    h.rate = 25;
    h.timeStamp = timeStamp;
    std::vector<uint8_t> data(FrameHeader::kSize);
    WriteFrameHeaderNetwork(h, data.data());
    data.insert(data.end(), frame.data.begin(), frame.data.end());
    return data;
}

// A decoder that holds pictures back (here: two decoding threads; streams
// with B-frames do the same) must not bring the old connection's last
// picture out after the camera came back: the new stream starts clean.
TEST(LiveChannel, NoPictureOfTheOldConnectionIsDrawnAfterAReconnection) {
    sim::VideoClipParams params;
    params.name = "Before";
    params.width = 320;
    params.height = 180;
    params.gop = 5;
    params.seconds = 1;
    params.bitRate = 200000;
    params.preset = "ultrafast";
    auto before = sim::ClipCache::Instance().Get(params);
    params.name = "After";
    params.width = 160;
    params.height = 90;
    auto after = sim::ClipCache::Instance().Get(params);
    ASSERT_GE(before->frames.size(), 10u);

    FakeCamera camera;
    PictureSizeLog sink;
    LiveChannelOptions options;
    options.videoSink = &sink;
    options.decoderThreads = 2;
    CXOMPPlayer channel(options);
    auto record = CameraRecord(Direct(camera.Port()));
    ASSERT_EQ(channel.Open(record.get(), nullptr), 1);
    ASSERT_TRUE(camera.WaitLogins(1, kWaitMs));
    for (uint32_t i = 0; i < 10; ++i) {
        camera.SendRaw(test::MediaMessage(ClipFrame(before->frames[i], i * 40)));
    }
    ASSERT_TRUE(Eventually([&] { return channel.Stats().videoFrames == 10; }, kWaitMs));
    ASSERT_TRUE(Eventually([&] { return sink.Count({320, 180}) >= 8; }, kWaitMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    size_t oldPictures = sink.Count({320, 180});

    camera.DropConnection();
    ASSERT_TRUE(camera.WaitLogins(2, kWaitMs));
    for (uint32_t i = 0; i < 5; ++i) {
        camera.SendRaw(test::MediaMessage(ClipFrame(after->frames[i], 9000 + i * 40)));
    }
    ASSERT_TRUE(Eventually([&] { return sink.Count({160, 90}) >= 3; }, kWaitMs));
    EXPECT_EQ(sink.Count({320, 180}), oldPictures);
    EXPECT_EQ(channel.PictureSizeForPoints(), (PictureSize{160, 90}));
}

TEST(LiveChannel, ButtonBoxesFollowThePane) {
    PaneButtonBoxes boxes = PaneButtonBoxes::ForClient({0, 0, 400, 300});
    EXPECT_EQ(boxes.inner, (PaneRect{6, 6, 394, 294}));
    EXPECT_EQ(boxes.topRight, (PaneRect{376, 7, 394, 23}));
    EXPECT_EQ(boxes.bottomRight, (PaneRect{361, 269, 394, 294}));
    CXOMPPlayer channel;
    EXPECT_EQ(channel.PictureSizeForPoints(), (PictureSize{490, 385}));
    channel.SetButtonBoxes(boxes);
    EXPECT_EQ(channel.ButtonBoxes().topRight, boxes.topRight);
}

}  // namespace
}  // namespace orbisight
