// The live channel over the peer-to-peer transport, against the simulator's
// rendezvous service and a simulated camera's peer-to-peer side.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "device/CHalvexProtocolAX.h"
#include "media/CXOMPPlayer.h"
#include "media/HeadlessVideoSink.h"
#include "media/p2p/PeerClient.h"
#include "sim/p2p/SimPeerCamera.h"
#include "sim/p2p/SimRendezvous.h"
#include "sim/stream/SimStreamCamera.h"
#include "sim/stream/StreamTestServer.h"
#include "tests/media/ChannelTestSupport.h"
#include "tests/media/FakeCamera.h"

namespace orbisight {
namespace {

using test::Eventually;

constexpr int kWaitMs = 15000;
constexpr const char* kPeerId = "P2PORBI00000001";

nlohmann::json Camera() {
    return {{"id", "ORBI00000001"},
            {"name", "Front Door"},
            {"user", "admin"},
            {"password", "admin"},
            {"ptz", true},
            {"stream",
             {{"main", {{"width", 320}, {"height", 180}, {"gop", 5}, {"bitrate", 300000}}},
              {"clip_seconds", 1},
              {"preset", "ultrafast"},
              {"audio", true}}}};
}

class PeerLive : public ::testing::Test {
  protected:
    void SetUp() override {
        server = std::make_unique<sim::StreamTestServer>(Camera());
        ASSERT_TRUE(server->Start());
        rendezvous = std::make_unique<sim::SimRendezvous>("127.0.0.1", 0);
        rendezvous->Start();
        sockaddr_in address{};
        ASSERT_TRUE(
            sim::ParsePeerEndpoint("127.0.0.1:" + std::to_string(rendezvous->Port()), address));
        peer = std::make_unique<sim::SimPeerCamera>(*server->Camera(), kPeerId, address);
        peer->Start();
        ASSERT_TRUE(Eventually([&] { return peer->Registered(); }, kWaitMs));
    }
    void TearDown() override {
        if (channel) {
            channel->Close();
        }
        channel.reset();
        peer.reset();
        rendezvous.reset();
        server.reset();
        p2p::PeerClient::Instance().Shutdown();
    }
    void Open(const std::string& url) {
        LiveChannelOptions options;
        options.videoSink = &sink;
        options.peer.rendezvousPort = rendezvous->Port();
        options.peer.errorPauseMs = 20;
        options.peer.retryMinMs = 200;
        options.peer.retryMaxMs = 400;
        channel = std::make_unique<CXOMPPlayer>(options);
        record = test::CameraRecord(url);
        ASSERT_EQ(channel->Open(record.get(), &owner), 1);
    }
    uint64_t DirectFrames() const {
        LiveChannelStats stats = channel->Stats();
        return stats.videoFrames - stats.peerVideoFrames;
    }

    std::unique_ptr<sim::StreamTestServer> server;
    std::unique_ptr<sim::SimRendezvous> rendezvous;
    std::unique_ptr<sim::SimPeerCamera> peer;
    HeadlessVideoSink sink{HeadlessVideoSink::SizeMode::kNoPictures};
    NoticeQueue owner;
    std::unique_ptr<DeviceInfo> record;
    std::unique_ptr<CXOMPPlayer> channel;
};

TEST_F(PeerLive, ACameraWithOnlyAnIdentifierShowsPicturesAndTakesItsControls) {
    Open(std::string("tutkid://") + kPeerId);
    ASSERT_TRUE(Eventually([&] { return channel->Stats().decoded >= 5; }, kWaitMs));
    EXPECT_TRUE(channel->MediaOverPeer());
    EXPECT_EQ(DirectFrames(), 0u);
    EXPECT_EQ(channel->PictureSizeForPoints().width, 320);

    // The camera's motion alert, asked at the session's start and set here.
    channel->SetAlert(true);
    channel->SendControl(101);
    ASSERT_TRUE(Eventually([&] { return server->Camera()->MotionAlert(); }, kWaitMs));
    channel->SetAlert(false);
    channel->SendControl(100);
    EXPECT_TRUE(Eventually([&] { return channel->Alert(); }, kWaitMs));
    // Pan to the left: the camera's window moves.
    double x0 = 0, y0 = 0;
    server->Camera()->WindowPosition(x0, y0);
    channel->SendControl(1);
    EXPECT_TRUE(Eventually(
        [&] {
            double x = 0, y = 0;
            server->Camera()->WindowPosition(x, y);
            return x != x0;
        },
        kWaitMs));
    // Sound over peer-to-peer once asked for.
    channel->SetListening(true);
    EXPECT_TRUE(Eventually([&] { return channel->Stats().peerAudioFrames > 0; }, kWaitMs));
    EXPECT_EQ(peer->violations.load(), 0u);
    EXPECT_EQ(rendezvous->Read().bad, 0u);
}

TEST_F(PeerLive, PeerToPeerTakesOverAndTheNextDirectMediaMessageStopsTheDirectStream) {
    test::FakeCamera direct;
    Open("ssp://127.0.0.1:" + std::to_string(direct.Port()) + ";tutkid://" + kPeerId);
    ASSERT_TRUE(direct.WaitLogins(1, kWaitMs));
    ASSERT_TRUE(Eventually([&] { return channel->MediaOverPeer(); }, kWaitMs));
    uint64_t before = channel->Stats().videoFrames;

    FrameHeader h;
    h.flags = 1;
    h.mediaType = mediatype::kVideo;
    h.size = 16;
    h.rate = 25;
    std::vector<uint8_t> frame(FrameHeader::kSize + 16, 0x11);
    WriteFrameHeaderNetwork(h, frame.data());
    CHalvexProtocolAX media;
    media.SetType(msgtype::kMedia);
    media.AddField("Ret", "1");
    media.AddField("Data", frame.data(), 0, static_cast<int>(frame.size()));
    const uint8_t* bytes = media.Serialize();
    size_t messages = direct.Messages().size();
    ASSERT_TRUE(direct.SendRaw(std::vector<uint8_t>(bytes, bytes + media.TotalLength())));
    test::FakeCamera::Received m;
    ASSERT_TRUE(Eventually(
        [&] {
            auto all = direct.Messages();
            for (size_t i = messages; i < all.size(); ++i) {
                if (all[i].type == msgtype::kCommand && all[i].Field("Command") == "Stop" &&
                    all[i].Field("Type") == "All") {
                    return true;
                }
            }
            return false;
        },
        kWaitMs));
    // Only peer-to-peer frames were split since.
    LiveChannelStats stats = channel->Stats();
    EXPECT_EQ(stats.videoFrames - before, stats.peerVideoFrames - (before - DirectFrames()));
    EXPECT_EQ(DirectFrames(), 0u);
}

TEST_F(PeerLive, AfterTheRelayDropsTheSessionTheDirectAddressTakesOver) {
    Open("ssp://127.0.0.1:" + std::to_string(server->Port()) + ";tutkid://" + kPeerId);
    ASSERT_TRUE(Eventually([&] { return channel->MediaOverPeer(); }, kWaitMs));
    ASSERT_TRUE(Eventually([&] { return channel->Stats().decoded >= 3; }, kWaitMs));
    uint64_t direct = DirectFrames();
    rendezvous->DropSessions();
    ASSERT_TRUE(Eventually([&] { return channel->PeerStopped(); }, kWaitMs));
    EXPECT_FALSE(channel->MediaOverPeer());
    uint64_t decoded = channel->Stats().decoded;
    EXPECT_TRUE(Eventually([&] { return DirectFrames() > direct + 10; }, kWaitMs));
    EXPECT_TRUE(Eventually([&] { return channel->Stats().decoded > decoded + 5; }, kWaitMs));
    EXPECT_EQ(channel->Stats().peerSessions, 1u);  // never a second one
}

TEST_F(PeerLive, AfterTheRelayDropsTheSessionACameraWithOnlyAnIdentifierComesBack) {
    Open(std::string("tutkid://") + kPeerId);
    ASSERT_TRUE(Eventually([&] { return channel->Stats().decoded >= 3; }, kWaitMs));
    rendezvous->DropSessions();
    ASSERT_TRUE(Eventually([&] { return channel->Stats().peerLosses >= 1; }, 2 * kWaitMs));
    ASSERT_TRUE(Eventually([&] { return channel->Stats().peerSessions >= 2; }, kWaitMs));
    uint64_t decoded = channel->Stats().decoded;
    EXPECT_TRUE(Eventually([&] { return channel->Stats().decoded > decoded + 5; }, kWaitMs));
    EXPECT_TRUE(channel->MediaOverPeer());
    EXPECT_EQ(DirectFrames(), 0u);
}

TEST_F(PeerLive, TheRendezvousRefusesUnknownIdentifiersAndStrangers) {
    p2p::PeerClient& client = p2p::PeerClient::Instance();
    std::string endpoint = "127.0.0.1:" + std::to_string(rendezvous->Port());
    ASSERT_EQ(client.Initialize(0, endpoint.c_str(), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(client.Connect("NOBODY", nullptr), p2p::kPeerErrorUnknownId);
    int session = client.Connect(kPeerId, nullptr);
    ASSERT_GT(session, 0);
    EXPECT_EQ(client.ClientStart(session, "admin", "wrong", 5, nullptr, 0, nullptr, nullptr),
              p2p::kPeerErrorLoginRefused);

    // Someone else's socket: garbage, then a datagram for the open session.
    int stranger = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    ASSERT_TRUE(sim::ParsePeerEndpoint(endpoint, to));
    const char garbage[] = "not a datagram";
    ::sendto(stranger, garbage, sizeof garbage, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    auto ping = p2p::BuildSessionOnly(p2p::Kind::kClose, static_cast<uint32_t>(session));
    ::sendto(stranger, ping.data(), ping.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    EXPECT_TRUE(Eventually([&] { return rendezvous->Read().bad >= 2; }, kWaitMs));
    ::close(stranger);
    // The session is still there: the stranger could not close it.
    EXPECT_EQ(rendezvous->Read().open, 1u);
    EXPECT_EQ(client.CheckSession(session, nullptr), 0);
    EXPECT_EQ(client.CloseSession(session), 0);
    EXPECT_TRUE(Eventually([&] { return rendezvous->Read().open == 0; }, kWaitMs));
    EXPECT_EQ(peer->violations.load(), 1u);  // the wrong password
}

}  // namespace
}  // namespace orbisight
