#include <gtest/gtest.h>

#include <cstdio>
#include <future>
#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

#include "ChannelTestSupport.h"
#include "media/CXOMPPlayer.h"
#include "media/HeadlessVideoSink.h"
#include "sim/stream/StreamTestServer.h"

namespace orbisight {
namespace {

using sim::StreamTestServer;
using test::CameraRecord;
using test::Direct;
using test::Eventually;

constexpr int kCameras = 10;
// Generous: the suite also runs under the thread sanitizer on two cores.
constexpr int kRecoverMs = 25000;

nlohmann::json LoadCamera(int index, int loginDelayMs) {
    char id[16];
    std::snprintf(id, sizeof id, "LOAD%08d", index);
    return {{"id", id},
            {"name", "Load"},
            {"user", "admin"},
            {"password", "admin"},
            {"login_delay_ms", loginDelayMs},
            {"stream",
             {{"main", {{"width", 160}, {"height", 90}, {"gop", 5}, {"bitrate", 100000}}},
              {"clip_seconds", 1},
              {"preset", "ultrafast"},
              {"audio", false}}}};
}

// One pane of a wall: a camera, its channel, the pane's notices and sink.
struct Pane {
    std::unique_ptr<StreamTestServer> camera;
    int port = 0;
    std::unique_ptr<DeviceInfo> record;
    NoticeQueue notices;
    HeadlessVideoSink sink{PictureSize{80, 45}};
    std::unique_ptr<CXOMPPlayer> channel;

    void NewChannel(int index) {
        LiveChannelOptions options;
        options.videoSink = &sink;
        options.name = "load" + std::to_string(index);
        channel = std::make_unique<CXOMPPlayer>(options);
    }
};

class ChannelLoad : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < kCameras; ++i) {
            auto pane = std::make_unique<Pane>();
            // Half the cameras are busy and answer the login late.
            pane->camera = std::make_unique<StreamTestServer>(LoadCamera(i, i % 2 ? 700 : 0));
            ASSERT_TRUE(pane->camera->Start());
            pane->port = pane->camera->Port();
            pane->record =
                CameraRecord(Direct(pane->port), true, LoadCamera(i, 0)["id"].get<std::string>());
            pane->NewChannel(i);
            panes.push_back(std::move(pane));
        }
    }

    // Opens every pane at once, each on its own opening thread.
    void OpenAll() {
        std::vector<std::future<int>> opening;
        for (auto& pane : panes) {
            opening.push_back(std::async(std::launch::async, [&pane] {
                return pane->channel->Open(pane->record.get(), &pane->notices);
            }));
        }
        for (auto& result : opening) {
            EXPECT_EQ(result.get(), 1);
        }
    }

    // Every pane draws new pictures and says it is connected.
    void ExpectAllShowing(const std::vector<uint64_t>& before, const char* when) {
        for (size_t i = 0; i < panes.size(); ++i) {
            Pane& pane = *panes[i];
            EXPECT_TRUE(Eventually(
                [&] { return pane.sink.Pictures() >= before[i] + 10 && pane.channel->Connected(); },
                kRecoverMs))
                << when << ": pane " << i << " is stuck (" << pane.sink.Pictures() << " pictures)";
            EXPECT_TRUE(pane.channel->Playing());
        }
    }

    std::vector<uint64_t> PicturesNow() {
        std::vector<uint64_t> counts;
        for (auto& pane : panes) {
            counts.push_back(pane->sink.Pictures());
        }
        return counts;
    }

    void CloseAllPromptly() {
        std::vector<std::future<long>> closing;
        for (auto& pane : panes) {
            closing.push_back(std::async(std::launch::async, [&pane] {
                auto start = std::chrono::steady_clock::now();
                pane->channel->Close();
                return test::ElapsedMs(start);
            }));
        }
        for (auto& took : closing) {
            EXPECT_LT(took.get(), 3000);  // documented bound: about 7.3 s
        }
    }

    std::vector<std::unique_ptr<Pane>> panes;
};

// A wall of channels against cameras that drop their clients, go away and
// come back, and answer late: every pane comes back with pictures and a
// state notice after every disruption, whatever the reconnections race with.
TEST_F(ChannelLoad, EveryPaneComesBackAfterEveryDisruption) {
    OpenAll();
    ExpectAllShowing(std::vector<uint64_t>(panes.size(), 0), "after opening");
    for (int round = 0; round < 3; ++round) {
        std::vector<uint64_t> before = PicturesNow();
        std::vector<bool> disrupted(panes.size(), false);
        for (auto& pane : panes) {
            pane->notices.Drain();
        }
        // Drops first, then cameras that are away for a moment.
        for (size_t i = 0; i < panes.size(); ++i) {
            if ((i + static_cast<size_t>(round)) % 3 == 0) {
                panes[i]->camera->DropConnections();
                disrupted[i] = true;
            }
        }
        for (size_t i = 0; i < panes.size(); ++i) {
            if ((i + static_cast<size_t>(round)) % 3 == 1) {
                panes[i]->camera->Stop();
                disrupted[i] = true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (size_t i = 0; i < panes.size(); ++i) {
            if ((i + static_cast<size_t>(round)) % 3 == 1) {
                ASSERT_TRUE(panes[i]->camera->Start(panes[i]->port));
            }
        }
        ExpectAllShowing(before, "after a disruption");
        for (size_t i = 0; i < panes.size(); ++i) {
            if (disrupted[i]) {
                EXPECT_TRUE(test::WaitState(panes[i]->notices, 1, kRecoverMs))
                    << "pane " << i << " never said it is connected again";
            }
        }
    }
    CloseAllPromptly();
}

// Panes are given other cameras while the old channels are still
// connecting or reconnecting (a second "Connect all"): closing is prompt,
// and the new channels come up.
TEST_F(ChannelLoad, ChannelsReplacedWhileConnectingComeUp) {
    // Every camera away: the channels are in their reconnection loop.
    for (auto& pane : panes) {
        pane->camera->Stop();
    }
    std::vector<std::future<int>> opening;
    for (auto& pane : panes) {
        opening.push_back(std::async(std::launch::async, [&pane] {
            return pane->channel->Open(pane->record.get(), &pane->notices);
        }));
    }
    for (auto& result : opening) {
        EXPECT_EQ(result.get(), 0);
    }
    for (auto& pane : panes) {
        EXPECT_TRUE(test::WaitState(pane->notices, 0, kRecoverMs));
        ASSERT_TRUE(pane->camera->Start(pane->port));
    }
    // Replace each channel while its reconnection may be under way.
    CloseAllPromptly();
    for (size_t i = 0; i < panes.size(); ++i) {
        panes[i]->NewChannel(static_cast<int>(i));
    }
    OpenAll();
    ExpectAllShowing(PicturesNow(), "after replacing the channels");
    CloseAllPromptly();
}

}  // namespace
}  // namespace orbisight
