#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "HeldResolver.h"
#include "LoopbackListener.h"
#include "platform/Resolver.h"
#include "platform/Socket.h"

namespace orbisight {
namespace {

using test::HeldResolver;

long MsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
}

std::string Text(in_addr address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

TEST(Resolver, AnswersNamesAddressesAndUnknownNames) {
    HeldResolver resolver;
    in_addr address{};
    EXPECT_EQ(ResolveIPv4("camera.test", 1000, nullptr, address), Resolution::kAddress);
    EXPECT_EQ(Text(address), "127.0.0.1");
    EXPECT_EQ(ResolveIPv4("nowhere.test", 1000, nullptr, address), Resolution::kNoAddress);
    // A dotted address and an empty host never reach the resolver.
    int calls = HeldResolver::Calls();
    EXPECT_EQ(ResolveIPv4("10.1.2.3", 1000, nullptr, address), Resolution::kAddress);
    EXPECT_EQ(Text(address), "10.1.2.3");
    EXPECT_EQ(ResolveIPv4("", 1000, nullptr, address), Resolution::kNoAddress);
    EXPECT_EQ(HeldResolver::Calls(), calls);
}

// A resolution that never answers is given up at the time-out or at the
// cancel flag; the answer that comes after the caller left is dropped by
// the worker (run under AddressSanitizer: nothing of the caller's is
// touched).
TEST(Resolver, AHungResolutionIsAbandonedAndItsLateAnswerIsHarmless) {
    HeldResolver resolver;
    in_addr address{};
    address.s_addr = htonl(0x01020304);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ResolveIPv4("late.stuck", 150, nullptr, address), Resolution::kGaveUp);
    EXPECT_GE(MsSince(start), 140);
    EXPECT_LT(MsSince(start), 2000);

    std::atomic<bool> cancel{false};
    auto waiting = std::async(std::launch::async, [&] {
        in_addr ignored{};
        return ResolveIPv4("cancelled.stuck", 60000, &cancel, ignored);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    start = std::chrono::steady_clock::now();
    cancel = true;
    EXPECT_EQ(waiting.get(), Resolution::kGaveUp);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(PendingResolutions(), 2);

    HeldResolver::Release();
    EXPECT_TRUE(HeldResolver::WaitForWorkers());
    EXPECT_EQ(Text(address), "1.2.3.4");  // the late answer went nowhere

    // A flag that is already set starts nothing.
    int calls = HeldResolver::Calls();
    EXPECT_EQ(ResolveIPv4("camera.test", 1000, &cancel, address), Resolution::kGaveUp);
    EXPECT_EQ(HeldResolver::Calls(), calls);
}

// At most kMaxPendingResolutions workers exist; the next attempt fails at
// once without a thread, and the places come back as the workers end.
TEST(Resolver, PendingWorkersAreBounded) {
    HeldResolver resolver;
    in_addr address{};
    for (int i = 0; i < kMaxPendingResolutions; ++i) {
        EXPECT_EQ(ResolveIPv4("hung.stuck", 1, nullptr, address), Resolution::kGaveUp);
    }
    ASSERT_TRUE([] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (HeldResolver::Calls() < kMaxPendingResolutions) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }());
    EXPECT_EQ(PendingResolutions(), kMaxPendingResolutions);  // the last one accepted

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ResolveIPv4("camera.test", 5000, nullptr, address), Resolution::kGaveUp);
    EXPECT_LT(MsSince(start), 1000);  // refused, not waited for
    EXPECT_EQ(HeldResolver::Calls(), kMaxPendingResolutions);

    HeldResolver::Release();
    ASSERT_TRUE(HeldResolver::WaitForWorkers());
    EXPECT_EQ(ResolveIPv4("camera.test", 5000, nullptr, address), Resolution::kAddress);
}

using Listener = LoopbackListener;

TEST(Resolver, ConnectTcpResolvesNamesAndGivesUpOnCancel) {
    HeldResolver resolver;
    Listener listener;
    int s = ConnectTcp("camera.test", listener.port, 2000);
    EXPECT_GE(s, 0);
    CloseSocket(s);
    // A name without an address leaves 127.0.0.1.
    s = ConnectTcp("nowhere.test", listener.port, 2000);
    EXPECT_GE(s, 0);
    CloseSocket(s);

    // A hung name is not waited for once the caller cancels: no socket.
    std::atomic<bool> cancel{false};
    auto connecting = std::async(std::launch::async, [&] {
        return ConnectTcp("camera.stuck", listener.port, 2000, &cancel);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto start = std::chrono::steady_clock::now();
    cancel = true;
    EXPECT_EQ(connecting.get(), kNoSocket);
    EXPECT_LT(MsSince(start), 1000);
}

}  // namespace
}  // namespace orbisight
