#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "device/RequestQueue.h"

namespace orbisight {
namespace {

std::unique_ptr<CHalvexProtocolAX> Numbered(int n) {
    auto message = std::make_unique<CHalvexProtocolAX>();
    message->AddNumberField("N", n);
    return message;
}

int NumberOf(const RequestQueue::Request& request) {
    const char* n = request.message->FindText("N");
    return n ? std::atoi(n) : -1;
}

// The last request that fits is accepted, the first one beyond is refused
// (the newest is dropped: nothing accepted is pushed out), and requests
// come out in the order they went in, each with its connection.
TEST(RequestQueue, FullQueueRefusesTheNewestAndKeepsTheOrder) {
    RequestQueue queue;
    for (int i = 0; i < static_cast<int>(RequestQueue::kDefaultCapacity) - 1; ++i) {
        ASSERT_TRUE(queue.Push(Numbered(i), 7));
    }
    EXPECT_TRUE(queue.Push(Numbered(31), 8));  // the last place
    EXPECT_EQ(queue.Size(), RequestQueue::kDefaultCapacity);
    EXPECT_FALSE(queue.Push(Numbered(32), 8));  // first refused
    EXPECT_EQ(queue.Refused(), 1u);
    EXPECT_FALSE(queue.Push(nullptr, 8));

    RequestQueue::Request request;
    ASSERT_TRUE(queue.Pop(request));
    EXPECT_EQ(NumberOf(request), 0);
    EXPECT_EQ(request.connection, 7u);
    EXPECT_TRUE(queue.Push(Numbered(33), 9));  // a place came free
    for (int expected = 1; expected <= 31; ++expected) {
        ASSERT_TRUE(queue.Pop(request));
        EXPECT_EQ(NumberOf(request), expected);
    }
    EXPECT_EQ(request.connection, 8u);
    ASSERT_TRUE(queue.Pop(request));
    EXPECT_EQ(NumberOf(request), 33);
    EXPECT_FALSE(queue.Pop(request));

    RequestQueue small(2);  // an owner's own bound
    EXPECT_TRUE(small.Push(Numbered(1), 1));
    EXPECT_TRUE(small.Push(Numbered(2), 1));
    EXPECT_FALSE(small.Push(Numbered(3), 1));
}

TEST(RequestQueue, WaitEndsOnARequestOrAWakeAndClearDropsEverything) {
    RequestQueue queue;
    EXPECT_FALSE(queue.WaitForRequest(10));
    std::thread pusher([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        queue.Push(Numbered(1), 1);
    });
    EXPECT_TRUE(queue.WaitForRequest(10000));
    pusher.join();

    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        queue.Wake();
    });
    RequestQueue::Request request;
    ASSERT_TRUE(queue.Pop(request));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(queue.WaitForRequest(10000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    waker.join();

    queue.Push(Numbered(2), 1);
    queue.Push(Numbered(3), 1);
    EXPECT_EQ(queue.Clear(), 2u);
    EXPECT_EQ(queue.Size(), 0u);
}

}  // namespace
}  // namespace orbisight
