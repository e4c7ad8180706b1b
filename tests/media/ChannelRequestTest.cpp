#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "../platform/HeldResolver.h"
#include "ChannelTestSupport.h"
#include "FakeCamera.h"
#include "device/CHalvexProtocolAX.h"
#include "media/CXOMPPlayer.h"

namespace orbisight {
namespace {

using test::CameraRecord;
using test::Direct;
using test::FakeCamera;

constexpr int kWaitMs = 5000;

// Opens the channel and waits until the camera has the requests that
// follow the login (stream start, alert ask).
void OpenAndSettle(CXOMPPlayer& channel, FakeCamera& camera, const DeviceInfo& record) {
    ASSERT_EQ(channel.Open(&record, nullptr), 1);
    FakeCamera::Received m;
    do {
        ASSERT_TRUE(camera.WaitFor(msgtype::kRequest, m, kWaitMs));
    } while (m.Field("Command_Param") != "100");
}

// The window's requests go out in the order asked, whatever their kind.
TEST(ChannelRequests, RequestsReachTheCameraInTheOrderAsked) {
    FakeCamera camera;
    CXOMPPlayer channel;
    auto record = CameraRecord(Direct(camera.Port()));
    OpenAndSettle(channel, camera, *record);

    for (int x = 1; x <= 20; ++x) {
        channel.SendPointPtz(x, 7);
    }
    channel.SetListening(true);
    channel.SendControl(3);
    channel.StartTalk();
    channel.SetAlert(true);
    channel.SendControl(101);

    std::vector<std::string> seen;
    FakeCamera::Received m;
    while (seen.size() < 24 && camera.WaitFor(0, m, kWaitMs)) {
        if (m.Has("X_Axis")) {
            seen.push_back("point " + m.Field("X_Axis"));
        } else if (m.type == msgtype::kCommand) {
            seen.push_back(m.Field("Command") + " " + m.Field("Type"));
        } else if (m.Field("Command_Param") == "101") {
            seen.push_back("alert " + m.Field("AlertVal"));
        } else {
            seen.push_back("control " + m.Field("Command_Param"));
        }
    }
    std::vector<std::string> expected;
    for (int x = 1; x <= 20; ++x) {
        expected.push_back("point " + std::to_string(x));
    }
    expected.insert(expected.end(), {"Start Audio", "control 3", "control 3001", "alert On"});
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(channel.Listening());
    // The test's sound backend has no microphone: the start went out, but
    // talk did not start.
    EXPECT_FALSE(channel.Talking());
    channel.Close();
}

// Requests made while nothing is connected are dropped, as before; the
// quality is still remembered and goes out after the next stream start.
TEST(ChannelRequests, RequestsWithoutAConnectionAreDroppedButTheQualityIsKept) {
    FakeCamera camera;
    CXOMPPlayer channel;
    channel.SendControl(1);
    channel.SendControl(3 * 256 + 103);
    channel.SendPointPtz(5, 5);
    EXPECT_EQ(channel.LastQualityCode(), 3 * 256 + 103);

    auto record = CameraRecord(Direct(camera.Port()));
    ASSERT_EQ(channel.Open(record.get(), nullptr), 1);
    FakeCamera::Received m;
    ASSERT_TRUE(camera.WaitFor(msgtype::kCommand, m, kWaitMs));
    EXPECT_EQ(m.Field("Command"), "Start");
    ASSERT_TRUE(camera.WaitFor(msgtype::kRequest, m, kWaitMs));
    EXPECT_EQ(m.Field("Command_Param"), "103");
    EXPECT_EQ(m.Field("AVQVal"), "Mid");
    ASSERT_TRUE(camera.WaitFor(msgtype::kRequest, m, kWaitMs));
    EXPECT_EQ(m.Field("Command_Param"), "100");
    channel.Close();
    for (const auto& message : camera.Messages()) {
        EXPECT_FALSE(message.Has("X_Axis"));
        EXPECT_NE(message.Field("Command_Param"), "1");
    }
}

// A camera that stops reading fills the socket's buffers; a send then
// waits up to its 1 s time-out. The window's calls must not: they only
// queue, and a full queue refuses the newest request.
TEST(ChannelRequests, RequestsDoNotWaitForACameraThatStopsReading) {
    FakeCamera camera;
    CXOMPPlayer channel;
    auto record = CameraRecord(Direct(camera.Port()));
    OpenAndSettle(channel, camera, *record);
    camera.SetReading(false);

    // About 2 MB of requests: far more than the socket buffers hold.
    long longestUs = 0;
    for (int i = 0; i < 20000; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (i % 2 == 0) {
            channel.SendPointPtz(i, i);
        } else {
            channel.SendControl(1);
        }
        longestUs = std::max<long>(
            longestUs, static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                             std::chrono::steady_clock::now() - start)
                                             .count()));
        if (longestUs >= 300000) {
            break;  // blocked: no need to wait out every send
        }
    }
    EXPECT_LT(longestUs, 300000);  // a blocked send would take 1000000
    EXPECT_GT(channel.RefusedRequests(), 0u);

    auto start = std::chrono::steady_clock::now();
    channel.Close();
    EXPECT_LT(test::ElapsedMs(start), 3000);  // documented bound: about 7.3 s
}

// Close abandons a name resolution that never ends ("ddns://" names are
// resolved when the channel connects) instead of waiting for it.
TEST(ChannelRequests, CloseDoesNotWaitForAHungNameResolution) {
    test::HeldResolver resolver;
    FakeCamera camera;
    CXOMPPlayer channel;
    auto record = CameraRecord("ddns://camera.stuck:" + std::to_string(camera.Port()) + ";" +
                               Direct(camera.Port()));
    auto opening =
        std::async(std::launch::async, [&] { return channel.Open(record.get(), nullptr); });
    ASSERT_TRUE(test::Eventually([] { return test::HeldResolver::Calls() > 0; }, kWaitMs));
    auto start = std::chrono::steady_clock::now();
    channel.Close();
    EXPECT_LT(test::ElapsedMs(start), 1000);
    EXPECT_EQ(opening.get(), 0);
    EXPECT_FALSE(channel.Connected());
    EXPECT_EQ(camera.Accepted(), 0);
}

}  // namespace
}  // namespace orbisight
