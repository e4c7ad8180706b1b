// The LAN listener and its list: what an answer does to the list and who
// hears of it. Sockets only on loopback (the tests run in the isolated
// namespace).

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "lan/LanListener.h"
#include "platform/Clock.h"
#include "platform/Socket.h"

namespace orbisight {
namespace {

DevInfoBlock Answer(int32_t code, const std::string& id, const std::string& name = "Porch") {
    DevInfoBlock block{};
    block.code = code;
    block.SetCommandName("VidxGet");
    block.SetDeviceName(name);
    block.SetDeviceId(id);
    block.SetWiredIp("192.168.1.20");
    block.SetWifiIp("192.168.1.21");
    return block;
}

void Feed(LanListener& listener, const DevInfoBlock& block, const char* sender) {
    listener.HandleDatagram(&block, sizeof block, sender);
}

const CamNetParam& RecordOf(const Notice& notice) {
    return *static_cast<const CamNetParam*>(notice.object.get());
}

// A listener whose sends (search, "3G" replies) go to a socket of the test.
class LanListenerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sink_ = OpenDatagramListener(0);
        ASSERT_GE(sink_, 0);
        ports_.setPort = LocalPort(sink_);
        ports_.fixedSetPort = LocalPort(sink_);
        ports_.getPort = 0;
    }
    void TearDown() override { CloseSocket(sink_); }
    // The next datagram sent to the test's socket, or code -1.
    DevInfoBlock NextSent(int waitMs = 1000) {
        DevInfoBlock block{};
        block.code = -1;
        if (WaitReadable(sink_, waitMs) == 1) {
            recv(sink_, &block, sizeof block, 0);
        }
        return block;
    }

    int sink_ = -1;
    LanPorts ports_;
};

TEST_F(LanListenerTest, ABasicAnswerIsListedRepliedToAndAnnounced) {
    LanListener listener(ports_);
    NoticeQueue tree, window;
    listener.SetTarget(LanWindow::kDeviceTree, &tree);
    listener.SetTarget(LanWindow::kLocalSearch, &window);
    Feed(listener, Answer(87, "ORBI00000001"), "192.168.1.21");

    ASSERT_EQ(listener.List()->Size(), 1u);
    auto record = listener.List()->Find("orbi00000001");  // found ignoring case
    ASSERT_TRUE(record);
    EXPECT_EQ(record->Address(), "192.168.1.21");
    EXPECT_EQ(record->netType, CamNetParam::kWifi);

    DevInfoBlock reply = NextSent();
    EXPECT_EQ(reply.code, 129);
    EXPECT_STREQ(reply.marker, "3G");
    EXPECT_EQ(reply.DeviceId(), "ORBI00000001");

    Notice n;
    ASSERT_TRUE(tree.Wait(n, 1000));
    EXPECT_EQ(n.message, 13331u);
    EXPECT_EQ(n.wParam, 0u);
    EXPECT_EQ(RecordOf(n).Id(), "ORBI00000001");
    ASSERT_TRUE(window.Wait(n, 1000));
    EXPECT_EQ(n.message, 13330u);
    EXPECT_EQ(RecordOf(n).Address(), "192.168.1.21");
}

TEST_F(LanListenerTest, ElevenAndThirteenCharacterIdsAreIgnoredEntirely) {
    LanListener listener(ports_);
    NoticeQueue tree;
    listener.SetTarget(LanWindow::kDeviceTree, &tree);
    Feed(listener, Answer(87, "ORBI0000001"), "192.168.1.20");
    Feed(listener, Answer(87, "ORBI000000001"), "192.168.1.20");
    EXPECT_EQ(listener.List()->Size(), 0u);
    EXPECT_EQ(NextSent(200).code, -1);  // no "3G" reply either
    Notice n;
    EXPECT_FALSE(tree.Wait(n, 50));
    EXPECT_EQ(listener.DatagramsIgnored(), 2u);
}

TEST_F(LanListenerTest, AnExtendedAnswerBeforeTheBasicOneIsDropped) {
    LanListener listener(ports_);
    NoticeQueue tree;
    listener.SetTarget(LanWindow::kDeviceTree, &tree);
    Feed(listener, Answer(88, "ORBI00000001"), "192.168.1.20");
    EXPECT_EQ(listener.List()->Size(), 0u);
    Notice n;
    EXPECT_FALSE(tree.Wait(n, 50));

    Feed(listener, Answer(87, "ORBI00000001"), "192.168.1.20");
    DevInfoBlock extended = Answer(88, "ORBI00000001");
    DevInfoExt ext{};
    ext.SetApn("internet");
    std::memcpy(reinterpret_cast<uint8_t*>(&extended) + 352, &ext, sizeof ext);
    Feed(listener, extended, "192.168.1.20");
    auto record = listener.List()->Find("ORBI00000001");
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->HasExtended());
    EXPECT_EQ(record->Extended().Apn(), "internet");
    ASSERT_TRUE(tree.Wait(n, 1000));  // the basic one
    ASSERT_TRUE(tree.Wait(n, 1000));
    EXPECT_EQ(n.wParam, 1u);
    EXPECT_EQ(RecordOf(n).Extended().Apn(), "internet");
}

TEST_F(LanListenerTest, ALaterAnswerReplacesTheBlockButKeepsTheFirstAddress) {
    LanListener listener(ports_);
    Feed(listener, Answer(87, "ORBI00000001", "Porch"), "192.168.1.21");
    Feed(listener, Answer(87, "ORBI00000001", "Garden"), "192.168.1.20");
    ASSERT_EQ(listener.List()->Size(), 1u);
    auto record = listener.List()->Find("ORBI00000001");
    EXPECT_EQ(record->Name(), "Garden");
    EXPECT_EQ(record->Address(), "192.168.1.21");
    EXPECT_EQ(record->netType, CamNetParam::kWifi);
}

TEST_F(LanListenerTest, TheSettingsDialogHearsOnlyOfCamerasAlreadyListed) {
    LanListener listener(ports_);
    NoticeQueue settings;
    listener.SetTarget(LanWindow::kSettings, &settings);
    Feed(listener, Answer(87, "ORBI00000001"), "192.168.1.20");
    Notice n;
    EXPECT_FALSE(settings.Wait(n, 50));
    Feed(listener, Answer(87, "ORBI00000001"), "192.168.1.20");
    ASSERT_TRUE(settings.Wait(n, 1000));
    EXPECT_EQ(n.message, notice::kCommand);
    EXPECT_EQ(n.wParam, 3000u);
    Feed(listener, Answer(88, "ORBI00000001"), "192.168.1.20");
    ASSERT_TRUE(settings.Wait(n, 1000));
    EXPECT_EQ(n.wParam, 3000u);

    // An unregistered window hears nothing more.
    listener.SetTarget(LanWindow::kSettings, nullptr);
    Feed(listener, Answer(87, "ORBI00000001"), "192.168.1.20");
    EXPECT_FALSE(settings.Wait(n, 50));
}

TEST_F(LanListenerTest, ASearchEmptiesTheListAndBroadcastsCode86) {
    LanListener listener(ports_);
    Feed(listener, Answer(87, "ORBI00000001"), "192.168.1.20");
    Feed(listener, Answer(87, "ORBI00000002"), "192.168.1.20");
    ASSERT_EQ(listener.List()->Size(), 2u);
    while (NextSent(50).code != -1) {
    }
    EXPECT_EQ(listener.StartLanSearch(), 0);
    EXPECT_EQ(listener.List()->Size(), 0u);
    DevInfoBlock search = NextSent();
    EXPECT_EQ(search.code, 86);
    EXPECT_EQ(search.CommandName(), "VidxGet");
    // Only the cameras answering the second search are listed after it.
    Feed(listener, Answer(87, "ORBI00000002"), "192.168.1.20");
    auto all = listener.List()->Snapshot();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].Id(), "ORBI00000002");
}

TEST_F(LanListenerTest, NoticesAWindowHasNotHandledAreBoundedAndTheListStaysRight) {
    LanListener listener(ports_);
    NoticeQueue window(100000);
    listener.SetTarget(LanWindow::kLocalSearch, &window);
    const int total = LanListener::kMaxPendingNotices + 10;
    for (int i = 0; i < total; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "ORBI%08d", i);
        Feed(listener, Answer(87, id), "192.168.1.20");
    }
    EXPECT_EQ(listener.List()->Size(), static_cast<size_t>(total));
    EXPECT_EQ(listener.NoticesDropped(), 10u);
    // Handling (releasing) the notices lets new ones through.
    window.Drain();
    Feed(listener, Answer(87, "ORBI00000000"), "192.168.1.20");
    Notice n;
    EXPECT_TRUE(window.Wait(n, 1000));
    EXPECT_EQ(listener.NoticesDropped(), 10u);
}

TEST_F(LanListenerTest, TheThreadTakesAnswersFromTheSocketAndStopsPromptly) {
    NoticeQueue window;  // outlives the listener that posts to it
    LanListener listener(ports_);
    ASSERT_TRUE(listener.Start());
    EXPECT_EQ(NextSent().code, 86);  // the search of the start
    listener.SetTarget(LanWindow::kLocalSearch, &window);

    // A datagram of the right size is taken; a short one and a long one are not.
    int sender = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(listener.ListenPort());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<uint8_t> longer(1089, 0);
    DevInfoBlock good = Answer(87, "ORBI00000009");
    good.SetWiredIp("127.0.0.1");
    std::memcpy(longer.data(), &good, sizeof good);
    sendto(sender, longer.data(), longer.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    sendto(sender, &good, 1000, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    sendto(sender, &good, sizeof good, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    Notice n;
    ASSERT_TRUE(window.Wait(n, 3000));
    EXPECT_EQ(RecordOf(n).Address(), "127.0.0.1");
    EXPECT_EQ(RecordOf(n).netType, CamNetParam::kWired);
    EXPECT_EQ(listener.List()->Size(), 1u);
    EXPECT_EQ(listener.DatagramsIgnored(), 2u);
    CloseSocket(sender);

    uint64_t before = TickCountMs();
    listener.Stop();
    EXPECT_FALSE(listener.Running());
    EXPECT_LT(TickCountMs() - before, 1400u);  // generous: the slice is 100 ms
}

TEST_F(LanListenerTest, ABusyPortIsReportedAndALookupSeesTheSharedList) {
    int taken = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);  // no reuse
    LanPorts busy = ports_;
    busy.getPort = LocalPort(taken);
    LanListener listener(busy);
    EXPECT_FALSE(listener.Start());
    CloseSocket(taken);

    std::array<uint8_t, 1088> block{};
    auto lookup = MakeBasicBlockLookup(listener.List());
    EXPECT_FALSE(lookup("ORBI00000001", block));
    Feed(listener, Answer(87, "ORBI00000001"), "192.168.1.20");
    ASSERT_TRUE(lookup("orbi00000001", block));
    EXPECT_STREQ(reinterpret_cast<const char*>(block.data() + 288), "ORBI00000001");
}

TEST_F(LanListenerTest, WindowsReadWhileTheListenerWritesAndSearchesEmpty) {
    // Run under the thread sanitizer: the list's lock keeps these apart.
    LanListener listener(ports_);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done.load()) {
            for (const CamNetParam& r : listener.List()->Snapshot()) {
                ASSERT_EQ(r.Id().size(), 12u);
            }
            listener.List()->Find("ORBI00000003");
        }
    });
    for (int round = 0; round < 200; ++round) {
        for (int i = 0; i < 5; ++i) {
            char id[16];
            std::snprintf(id, sizeof id, "ORBI%08d", i);
            Feed(listener, Answer(87 + (round & 1), id), "192.168.1.20");
        }
        if (round % 20 == 0) {
            listener.List()->Clear();
        }
    }
    done = true;
    reader.join();
    EXPECT_LE(listener.List()->Size(), 5u);
}

}  // namespace
}  // namespace orbisight
