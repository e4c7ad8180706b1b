#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "../platform/HeldResolver.h"
#include "ChannelTestSupport.h"
#include "ScriptedPeer.h"

namespace orbisight {
namespace {

using namespace orbisight::testing;

constexpr const char* kId = "ORBI00000010";

long MsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
}

// Answers the login and then reads every request, keeping what the test
// asks for in the order it arrived.
class RecordingPeer {
  public:
    RecordingPeer()
        : peer_([this](int socket, int) {
              std::vector<uint8_t> buffer(1 << 20);
              bool loggedIn = false;
              while (!done_) {
                  if (!reading_) {
                      SleepMs(5);
                      continue;
                  }
                  CHalvexProtocolAX message;
                  if (ReceiveMessage(socket, 200, 2000, 1 << 19, buffer.data(), buffer.size(),
                                     message) != ReceiveResult::kOk) {
                      continue;
                  }
                  if (!loggedIn && message.Type() == msgtype::kLogin) {
                      loggedIn = true;
                      CHalvexProtocolAX reply;
                      reply.SetType(msgtype::kLoginReply);
                      reply.AddField("Ret", "1");
                      SendMessage(socket, reply);
                      continue;
                  }
                  const char* hour = message.FindText("DataHourDirName");
                  if (hour != nullptr) {
                      std::lock_guard lock(mutex_);
                      hours_.push_back(hour);
                  }
              }
          }) {}
    ~RecordingPeer() { done_ = true; }

    int Port() const { return peer_.Port(); }
    void SetReading(bool on) { reading_ = on; }
    std::vector<std::string> Hours() {
        std::lock_guard lock(mutex_);
        return hours_;
    }

  private:
    std::atomic<bool> done_{false};
    std::atomic<bool> reading_{true};
    std::mutex mutex_;
    std::vector<std::string> hours_;  // protected by mutex_
    ScriptedPeer peer_;               // last: its thread uses the members above
};

class DeviceChannelQueueTest : public ::testing::Test {
  protected:
    int Open(int port) {
        channel_.SetOwner(&notices_);
        channel_.SetTimings(FastTimings());
        channel_.SetMode(CXOMPDeviceOper::kModeSdRecords);
        return channel_.Open(*CameraRecord(port, kId, "pw"));
    }
    NoticeQueue notices_;
    CXOMPDeviceOper channel_;
};

TEST_F(DeviceChannelQueueTest, RequestsGoOutInTheOrderAskedAndOnlyWhileConnected) {
    EXPECT_FALSE(channel_.RequestSdHourDir("before"));  // nothing to send it on
    RecordingPeer peer;
    ASSERT_EQ(Open(peer.Port()), 1);
    std::vector<std::string> expected;
    for (int i = 0; i < 20; ++i) {
        expected.push_back("h" + std::to_string(i));
        EXPECT_TRUE(channel_.RequestSdHourDir(expected.back()));
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (peer.Hours().size() < expected.size() && std::chrono::steady_clock::now() < deadline) {
        SleepMs(10);
    }
    EXPECT_EQ(peer.Hours(), expected);
    channel_.Close();
    EXPECT_FALSE(channel_.RequestSdHourDir("after"));
}

// A camera that stops reading: the socket's buffers fill and a send waits
// for its 1 s time-out. Requests from the window only queue.
TEST_F(DeviceChannelQueueTest, RequestsDoNotWaitForACameraThatStopsReading) {
    RecordingPeer peer;
    ASSERT_EQ(Open(peer.Port()), 1);
    peer.SetReading(false);
    DevInfoBlock block{};
    long longestMs = 0;
    int refused = 0;
    for (int i = 0; i < 4000 && longestMs < 300; ++i) {  // about 4.5 MB
        auto start = std::chrono::steady_clock::now();
        if (!channel_.SetParameters(block)) {
            ++refused;
        }
        longestMs = std::max(longestMs, MsSince(start));
    }
    EXPECT_LT(longestMs, 300);  // a blocked send would take 1000
    EXPECT_GT(refused, 0);      // the full queue refused the newest

    auto start = std::chrono::steady_clock::now();
    channel_.Close();
    EXPECT_LT(MsSince(start), 1400);  // within the thread stop wait
}

// Close from another thread ends an Open that waits for a name that never
// resolves, and that Open leaves the channel closed.
TEST_F(DeviceChannelQueueTest, CloseEndsAnOpenStuckInNameResolution) {
    test::HeldResolver resolver;
    auto record = CameraRecord(5552, kId, "pw");
    record->SetUrl("ssp://camera.stuck:5552");
    channel_.SetTimings(FastTimings());
    auto opening = std::async(std::launch::async, [&] { return channel_.Open(*record); });
    ASSERT_TRUE([] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (test::HeldResolver::Calls() == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            SleepMs(5);
        }
        return true;
    }());
    auto start = std::chrono::steady_clock::now();
    channel_.Close();
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(opening.get(), 0);
    EXPECT_FALSE(channel_.LoggedIn());
    EXPECT_FALSE(channel_.RequestParameters());
}

// Close during a login that gets no answer: it returns at once, the Open
// returns 0 and nothing keeps running or reconnecting behind it.
TEST_F(DeviceChannelQueueTest, CloseDuringALoginLeavesTheChannelClosed) {
    ScriptedPeer peer([](int socket, int) {
        char header[14];
        ReceiveExact(3000, socket, 14, header);
        SleepMs(1500);  // no answer
    });
    channel_.SetTimings(FastTimings());
    auto record = CameraRecord(peer.Port(), kId, "pw");
    auto opening = std::async(std::launch::async, [&] { return channel_.Open(*record); });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (peer.Connections() == 0 && std::chrono::steady_clock::now() < deadline) {
        SleepMs(5);
    }
    SleepMs(100);
    auto start = std::chrono::steady_clock::now();
    channel_.Close();
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(opening.get(), 0);
    SleepMs(500);  // longer than the retry delay
    EXPECT_EQ(peer.Connections(), 1);
}

}  // namespace
}  // namespace orbisight
