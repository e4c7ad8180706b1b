#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "LoopbackListener.h"
#include "platform/Clock.h"
#include "platform/Socket.h"

namespace orbisight {
namespace {

using Listener = LoopbackListener;

TEST(Socket, ConnectSendAndReceiveExactly) {
    Listener listener;
    int client = ConnectTcp("127.0.0.1", listener.port, 2000);
    ASSERT_GE(client, 0);
    int server = listener.Accept();
    ASSERT_GE(server, 0);

    std::vector<uint8_t> data(200000);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i);
    }
    std::thread sender([&] {
        EXPECT_EQ(SendAll(1000, static_cast<int>(data.size()), client, data.data()),
                  static_cast<int>(data.size()));
    });
    std::vector<uint8_t> received(data.size());
    EXPECT_EQ(ReceiveExact(5000, server, static_cast<int>(received.size()), received.data()),
              static_cast<int>(received.size()));
    sender.join();
    EXPECT_EQ(received, data);
    CloseSocket(client);
    CloseSocket(server);
}

TEST(Socket, EmptyHostMeansLoopback) {
    Listener listener;
    int client = ConnectTcp("", listener.port, 2000);
    EXPECT_GE(client, 0);
    CloseSocket(client);
}

TEST(Socket, RefusedConnectionAndPortZeroFail) {
    Listener listener;
    int port = listener.port;
    ::close(listener.fd);
    listener.fd = -1;
    EXPECT_EQ(ConnectTcp("127.0.0.1", port, 500), -1);
    EXPECT_EQ(ConnectTcp("127.0.0.1", 0, 500), -1);
}

TEST(Socket, ReceiveFailsAtOnceWhenThePeerCloses) {
    Listener listener;
    int client = ConnectTcp("127.0.0.1", listener.port, 2000);
    int server = listener.Accept();
    ::close(server);
    char buffer[14];
    uint64_t start = TickCountMs();
    EXPECT_EQ(ReceiveExact(60000, client, 14, buffer), -1);
    EXPECT_LT(TickCountMs() - start, 1000u);
    CloseSocket(client);
}

TEST(Socket, ShutdownWakesABlockedReceive) {
    Listener listener;
    int client = ConnectTcp("127.0.0.1", listener.port, 2000);
    int server = listener.Accept();
    std::atomic<int> result{1};
    std::thread reader([&] {
        char buffer[14];
        result = ReceiveExact(60000, client, 14, buffer);
    });
    SleepMs(50);
    uint64_t start = TickCountMs();
    ShutdownSocket(client);
    reader.join();
    EXPECT_EQ(result.load(), -1);
    EXPECT_LT(TickCountMs() - start, 1000u);
    CloseSocket(client);
    CloseSocket(server);
}

TEST(Socket, MissingArgumentsReceiveNothing) {
    char buffer[4];
    EXPECT_EQ(ReceiveExact(10, -1, 4, buffer), 0);
    EXPECT_EQ(ReceiveExact(10, 3, 0, buffer), 0);
    EXPECT_EQ(SendAll(10, 4, -1, "abcd"), 0);
    EXPECT_EQ(SetSocketBuffers(65535, -1), 0);
}

TEST(Socket, WholeMessagesFromSeveralThreadsNeverInterleave) {
    Listener listener;
    int client = ConnectTcp("127.0.0.1", listener.port, 2000);
    int server = listener.Accept();
    constexpr int kThreads = 4;
    constexpr int kMessages = 50;
    constexpr int kSize = 30000;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([=] {
            std::vector<uint8_t> message(kSize, static_cast<uint8_t>('A' + t));
            for (int i = 0; i < kMessages; ++i) {
                SendAll(5000, kSize, client, message.data());
            }
        });
    }
    std::vector<uint8_t> message(kSize);
    for (int i = 0; i < kThreads * kMessages; ++i) {
        ASSERT_EQ(ReceiveExact(5000, server, kSize, message.data()), kSize);
        for (int b = 1; b < kSize; ++b) {
            ASSERT_EQ(message[b], message[0]) << "message " << i << " byte " << b;
        }
    }
    for (auto& sender : senders) {
        sender.join();
    }
    CloseSocket(client);
    CloseSocket(server);
}

TEST(Socket, BroadcastReachesAListenerOnLoopback) {
    int listener = OpenDatagramListener(0);
    ASSERT_GE(listener, 0);
    int port = LocalPort(listener);
    std::vector<uint8_t> block(1088, 0);
    block[0] = 86;
    std::memcpy(block.data() + 4, "VidxGet", 7);
    ASSERT_EQ(BroadcastDatagram(port, block.data()), 0);

    std::vector<uint8_t> received(1088);
    sockaddr_in source{};
    ASSERT_EQ(WaitReadable(listener, 2000), 1);
    EXPECT_EQ(ReceiveExact(2000, listener, 1088, received.data(), true, &source), 1088);
    EXPECT_EQ(received, block);
    EXPECT_EQ(ntohs(source.sin_port), kBroadcastSourcePort);
    CloseSocket(listener);
}

}  // namespace
}  // namespace orbisight
