#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "ChannelTestSupport.h"
#include "FakeCamera.h"
#include "FakePeerCalls.h"
#include "device/CHalvexProtocolAX.h"
#include "media/CXOMPPlayer.h"
#include "media/FrameHeader.h"
#include "media/MediaHooks.h"

namespace orbisight {
namespace {

using test::CameraRecord;
using test::Direct;
using test::Eventually;
using test::FakeCamera;
using test::FakePeerCalls;
using test::HeaderLog;

constexpr int kWaitMs = 5000;

LiveChannelOptions PeerOptions(FakePeerCalls& calls, int errorPauseMs = 200) {
    LiveChannelOptions options;
    options.peerCalls = &calls;
    options.peer.errorPauseMs = errorPauseMs;
    options.peer.retryMinMs = 20;
    options.peer.retryMaxMs = 40;
    options.peer.replyWaitMs = 1000;
    return options;
}

TEST(PeerChannel, NoIdentifierNeverStartsTheTransport) {
    FakeCamera camera;
    FakePeerCalls calls;
    NoticeQueue owner;
    CXOMPPlayer channel(PeerOptions(calls));
    auto record = CameraRecord(Direct(camera.Port()) + ";ddns://127.0.0.1:1");
    EXPECT_EQ(channel.Open(record.get(), &owner), 1);
    EXPECT_FALSE(channel.PeerStarted());
    channel.Close();
    EXPECT_EQ(calls.connects.load(), 0);
}

TEST(PeerChannel, OpenSucceedsOnceTheThreadsRunAndTheDirectAddressTakesOverAFailure) {
    FakePeerCalls calls;
    calls.connectResult = p2p::kPeerErrorUnknownId;
    {
        // Nothing listens at the direct address: the result is the transport's.
        NoticeQueue owner;
        CXOMPPlayer channel(PeerOptions(calls));
        auto record = CameraRecord("ssp://127.0.0.1:1;tutkid://CAMERA-1");
        EXPECT_EQ(channel.Open(record.get(), &owner), 1);
        EXPECT_TRUE(channel.PeerStarted());
        channel.Close();
    }
    FakeCamera camera;
    NoticeQueue owner;
    CXOMPPlayer channel(PeerOptions(calls));
    auto record = CameraRecord(Direct(camera.Port()) + ";tutkid://CAMERA-1");
    EXPECT_EQ(channel.Open(record.get(), &owner), 1);
    // The failed session stops the transport; the picture is asked for directly.
    EXPECT_TRUE(Eventually([&] { return channel.PeerStopped(); }, kWaitMs));
    EXPECT_FALSE(channel.MediaOverPeer());
    FakeCamera::Received m;
    ASSERT_TRUE(camera.WaitFor(msgtype::kCommand, m, kWaitMs));
    EXPECT_EQ(m.Field("Command"), "Start");
    // Direct media are split as usual.
    auto frame = std::vector<uint8_t>(FrameHeader::kSize + 16, 0x11);
    FrameHeader h;
    h.flags = 1;
    h.mediaType = mediatype::kVideo;
    h.size = 16;
    h.rate = 25;
    WriteFrameHeaderNetwork(h, frame.data());
    CHalvexProtocolAX media;
    media.SetType(msgtype::kMedia);
    media.AddField("Ret", "1");
    media.AddField("Data", frame.data(), 0, static_cast<int>(frame.size()));
    const uint8_t* bytes = media.Serialize();
    ASSERT_TRUE(camera.SendRaw(std::vector<uint8_t>(bytes, bytes + media.TotalLength())));
    EXPECT_TRUE(Eventually([&] { return channel.Stats().videoFrames == 1; }, kWaitMs));
    EXPECT_EQ(channel.Stats().peerVideoFrames, 0u);
    channel.Close();
}

TEST(PeerChannel, FramesAreRebuiltInNetworkOrderAndIncompleteOnesWaitForAKeyFrame) {
    FakePeerCalls calls;
    calls.Push(FakePeerCalls::Frame(false, 30));  // before any key frame: dropped
    calls.Push(FakePeerCalls::Frame(true, 40, 15, 1, 5000));
    calls.Push(FakePeerCalls::Frame(false, 50, 15, 0, 5066));
    FakePeerCalls::Receive cut = FakePeerCalls::Frame(false, 60);
    cut.data.resize(59);  // one byte short
    calls.Push(cut);
    calls.Push(FakePeerCalls::Frame(false, 70));  // waits for a key frame: dropped
    calls.Push(FakePeerCalls::Frame(true, 80, 0, 0, 9000));
    FakePeerCalls::Receive sound = FakePeerCalls::Frame(false, 90);
    sound.info.codec = p2p::kCodecAudio;  // not for the video thread
    calls.Push(sound);
    calls.idleFrames.store(true);
    calls.hold.store(true);

    auto log = std::make_unique<HeaderLog>();
    HeaderLog* headers = log.get();
    NoticeQueue owner;
    CXOMPPlayer channel(PeerOptions(calls));
    channel.AttachRecorder(std::move(log));
    auto record = CameraRecord("tutkid://CAMERA-1");
    ASSERT_EQ(channel.Open(record.get(), &owner), 1);
    ASSERT_EQ(channel.ToggleRecording(), 1);
    calls.hold.store(false);
    ASSERT_TRUE(Eventually([&] { return calls.Pending() == 0; }, kWaitMs));
    ASSERT_TRUE(Eventually([&] { return headers->Headers().size() >= 3; }, kWaitMs));
    channel.Close();

    std::vector<FrameHeader> got = headers->Headers();
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[0].flags, 1u + 256u);  // key frame, alarm marker 1
    EXPECT_EQ(got[0].mediaType, mediatype::kVideo);
    EXPECT_EQ(got[0].size, 40u);
    EXPECT_EQ(got[0].rate, 15u);
    EXPECT_EQ(got[0].timeStamp, 5000u);
    EXPECT_EQ(got[1].flags, 0u);
    EXPECT_EQ(got[1].size, 50u);
    EXPECT_EQ(got[1].timeStamp, 5066u);
    // The cut frame and the one after it never reached the channel.
    EXPECT_EQ(got[2].size, 80u);
    EXPECT_EQ(got[2].flags, 1u);
    EXPECT_EQ(got[2].rate, 5u);  // a rate of 0 becomes 5 at the split
    for (size_t i = 3; i < got.size(); ++i) {
        EXPECT_EQ(got[i].size, 8u);  // then only the session's idle frames
    }
}

class PeerControls : public ::testing::Test {
  protected:
    void SetUp() override {
        calls.Push(FakePeerCalls::Frame(true, 40));
        calls.idleFrames.store(true);
        // The answer to the alert question the session asks at its start.
        calls.PushReply(0x0327, std::vector<uint8_t>(8, 0));
        record = CameraRecord("tutkid://CAMERA-1");
        ASSERT_EQ(channel.Open(record.get(), &owner), 1);
        ASSERT_TRUE(Eventually([&] { return channel.MediaOverPeer(); }, kWaitMs));
        ASSERT_TRUE(calls.WaitSent(0x01FF, kWaitMs));
        ASSERT_TRUE(calls.WaitSent(0x0326, kWaitMs));
        ASSERT_TRUE(Eventually([&] { return calls.RepliesPending() == 0; }, kWaitMs));
    }
    void TearDown() override { channel.Close(); }

    std::vector<uint8_t> Last(unsigned type) {
        std::vector<uint8_t> payload;
        for (const auto& s : calls.SentControls()) {
            if (s.type == type) {
                payload = s.payload;
            }
        }
        return payload;
    }

    FakePeerCalls calls;
    NoticeQueue owner;
    CXOMPPlayer channel{PeerOptions(calls)};
    std::unique_ptr<DeviceInfo> record;
};

TEST_F(PeerControls, QualityCameraControlAndListeningTakeTheirControlForms) {
    channel.SendControl(871);  // "Middle"
    ASSERT_TRUE(calls.WaitSent(0x0320, kWaitMs));
    EXPECT_EQ(Last(0x0320), (std::vector<uint8_t>{0, 0, 0, 0, 3, 0, 0, 0}));
    EXPECT_EQ(channel.LastQualityCode(), 0);  // not remembered over peer-to-peer
    channel.SendControl(103);                 // no quality level: 1
    ASSERT_TRUE(Eventually([&] { return Last(0x0320)[4] == 1; }, kWaitMs));

    channel.SendControl(20);
    ASSERT_TRUE(calls.WaitSent(0x1001, kWaitMs));
    EXPECT_EQ(Last(0x1001), (std::vector<uint8_t>{20, 0, 81, 0, 0, 0, 0, 0}));
    channel.SendControl(256 + 2);  // only the low byte goes
    ASSERT_TRUE(Eventually([&] { return Last(0x1001)[0] == 2; }, kWaitMs));

    channel.SetListening(true);
    ASSERT_TRUE(calls.WaitSent(0x0300, kWaitMs));
    channel.SetListening(false);
    ASSERT_TRUE(calls.WaitSent(0x0301, kWaitMs));
    EXPECT_EQ(Last(0x0301), (std::vector<uint8_t>(8, 0)));
}

TEST_F(PeerControls, AlertQuestionAndSetting) {
    // A stale reply of another type comes first: passed over.
    calls.PushReply(0x0321, std::vector<uint8_t>(8, 0));
    calls.PushReply(0x0327, {0, 0, 0, 0, 1, 0, 0, 0});
    channel.SendControl(100);
    EXPECT_TRUE(Eventually([&] { return channel.Alert(); }, kWaitMs));

    // 804 carries the (already flipped) flag.
    channel.SetAlert(false);
    channel.SendControl(101);
    ASSERT_TRUE(calls.WaitSent(0x0324, kWaitMs));
    EXPECT_EQ(Last(0x0324), (std::vector<uint8_t>(8, 0)));

    // A set that cannot be sent flips the flag back.
    calls.sendResult = p2p::kPeerErrorSessionClosed;
    channel.SetAlert(true);
    channel.SendControl(101);
    EXPECT_TRUE(Eventually([&] { return !channel.Alert(); }, kWaitMs));
}

TEST(PeerChannel, SixtyFailedReceivesInARowEndTheSessionAndTheDirectAddressTakesOver) {
    FakeCamera camera;
    FakePeerCalls calls;
    calls.Push(FakePeerCalls::Frame(true, 40));
    for (int i = 0; i < 59; ++i) {
        calls.Push(FakePeerCalls::Error());
    }
    calls.Push(FakePeerCalls::Frame(false, 40));  // the 59 did not end it
    for (int i = 0; i < 59; ++i) {
        calls.Push(FakePeerCalls::Error(p2p::kPeerErrorSessionClosed));
    }
    calls.idleFrames.store(true);
    NoticeQueue owner;
    CXOMPPlayer channel(PeerOptions(calls, 1));
    auto record = CameraRecord(Direct(camera.Port()) + ";tutkid://CAMERA-1");
    ASSERT_EQ(channel.Open(record.get(), &owner), 1);
    ASSERT_TRUE(Eventually([&] { return calls.Pending() == 0; }, kWaitMs));
    EXPECT_EQ(channel.PeerState(), 1);
    EXPECT_EQ(channel.Stats().peerLosses, 0u);
    EXPECT_TRUE(channel.MediaOverPeer());
    auto directStarts = [&] {
        int starts = 0;
        for (const auto& m : camera.Messages()) {
            starts += m.type == msgtype::kCommand && m.Field("Command") == "Start" ? 1 : 0;
        }
        return starts;
    };
    ASSERT_TRUE(camera.WaitLogins(1, kWaitMs));
    int startsBefore = directStarts();

    // The 60th in a row ends it.
    for (int i = 0; i < 60; ++i) {
        calls.Push(FakePeerCalls::Error());
    }
    ASSERT_TRUE(Eventually([&] { return channel.PeerStopped(); }, kWaitMs));
    EXPECT_FALSE(channel.MediaOverPeer());
    EXPECT_EQ(channel.Stats().peerLosses, 1u);
    // Never a second session for a camera with a direct address.
    EXPECT_EQ(calls.connects.load(), 1);
    // The picture is asked for at the direct address again, once.
    EXPECT_TRUE(Eventually([&] { return directStarts() > startsBefore; }, kWaitMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(directStarts(), startsBefore + 1);
    channel.Close();
}

TEST(PeerChannel, ACameraWithOnlyAnIdentifierTriesAgainAfterALoss) {
    FakePeerCalls calls;
    calls.Push(FakePeerCalls::Frame(true, 40));
    for (int i = 0; i < 60; ++i) {
        calls.Push(FakePeerCalls::Error(p2p::kPeerErrorSessionClosed));
    }
    NoticeQueue owner;
    CXOMPPlayer channel(PeerOptions(calls, 1));
    auto record = CameraRecord("tutkid://CAMERA-1");
    ASSERT_EQ(channel.Open(record.get(), &owner), 1);
    ASSERT_TRUE(Eventually([&] { return channel.Stats().peerLosses >= 1; }, kWaitMs));
    // The old session is closed before a new one is asked for.
    ASSERT_TRUE(Eventually([&] { return calls.connects.load() >= 2; }, kWaitMs));
    EXPECT_GE(calls.sessionCloses.load(), 1);
    EXPECT_FALSE(channel.PeerStopped());
    calls.Push(FakePeerCalls::Frame(true, 40));
    calls.idleFrames.store(true);
    EXPECT_TRUE(Eventually([&] { return channel.MediaOverPeer(); }, kWaitMs));
    EXPECT_EQ(channel.PeerState(), 1);

    // A connection that keeps failing is tried again and again.
    channel.Close();
    FakePeerCalls failing;
    failing.connectResult = p2p::kPeerErrorTimeout;
    CXOMPPlayer again(PeerOptions(failing, 1));
    ASSERT_EQ(again.Open(record.get(), &owner), 1);
    EXPECT_TRUE(Eventually([&] { return failing.connects.load() >= 3; }, kWaitMs));
    EXPECT_FALSE(again.PeerStopped());
    again.Close();
}

TEST(PeerChannel, CloseCutsAConnectionAttemptShort) {
    FakePeerCalls calls;
    calls.connectBlocks.store(true);
    NoticeQueue owner;
    CXOMPPlayer channel(PeerOptions(calls));
    auto record = CameraRecord("tutkid://CAMERA-1");
    ASSERT_EQ(channel.Open(record.get(), &owner), 1);
    ASSERT_TRUE(Eventually([&] { return calls.connects.load() == 1; }, kWaitMs));
    channel.Close();
    EXPECT_TRUE(calls.sawCancel.load());
    EXPECT_FALSE(channel.PeerStarted());
    // Nothing was kept, so nothing is closed.
    EXPECT_EQ(calls.clientStops.load(), 0);
}

}  // namespace
}  // namespace orbisight
