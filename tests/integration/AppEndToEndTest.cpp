// End to end: the real client under Xvfb against four simulated cameras. The
// client connects all of them (driven by ORBISIGHT_AUTOMATION), two
// screenshots a few seconds apart must show a moving picture in each of the
// four panes, different from an idle pane.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ClientProcess.h"
#include "account/SessionLists.h"
#include "app/WallLayout.h"
#include "sim/camera/CameraSimulator.h"

namespace orbisight {
namespace {
namespace fs = std::filesystem;
using namespace orbisight::e2e;

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 800;

TEST(AppEndToEnd, FourCamerasShowMovingPictures) {
    if (!OnPath("xvfb-run") || !OnPath("Xvfb")) {
        GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb): the end-to-end test needs a "
                        "virtual X server";
    }
    fs::path client = fs::path(ORBISIGHT_BIN_DIR) / "orbisight";
    ASSERT_TRUE(fs::exists(client)) << client;

    // Four simulated cameras on ephemeral ports, in this process.
    nlohmann::json config = {{"cameras", nlohmann::json::array()}};
    const char* names[] = {"Front Door", "Garage", "Backyard", "Office"};
    for (int i = 0; i < 4; ++i) {
        config["cameras"].push_back({{"id", "E2E0000000" + std::to_string(i + 1)},
                                     {"name", names[i]},
                                     {"user", "admin"},
                                     {"password", "admin"},
                                     {"port", 0}});
    }
    sim::SimContext context;
    sim::SimServices cameras = sim::StartCameraSimulators(config, context);
    ASSERT_EQ(context.cameraPorts.size(), 4u);
    ASSERT_TRUE(WarmClips(cameras)) << "the simulated cameras' clips were not ready";

    char pattern[] = "/tmp/orbisight-e2e-XXXXXX";
    fs::path work = ::mkdtemp(pattern);
    fs::path home = work / "home";
    fs::create_directories(home);
    {
        SessionLists lists(home / LocalDeviceStore::kFileName);
        for (const auto& [id, port] : context.cameraPorts) {
            int index = id.back() - '1';
            lists.AddLocalDevice(id, "127.0.0.1:" + std::to_string(port), names[index], "admin", 0);
        }
    }
    fs::path first = work / "first.png";
    fs::path second = work / "second.png";
    // Pictures are compared once every pane plays, however slow the build.
    fs::path trace = work / "trace.txt";
    std::string script = "trace=" + trace.string() +
                         ";at=1;connect-all;wait-playing;wait=1;screenshot=" + first.string() +
                         ";wait=2;screenshot=" + second.string() + ";quit";
    // However slow the build, the script's own waits decide; the run as a
    // whole has a generous limit.
    ClientRun run(SpawnClient(home, work / "user", script, kScreenWidth, kScreenHeight));
    ASSERT_TRUE(run.Started());
    int status = run.Finish();
    for (auto& camera : cameras) {
        camera->Stop();
    }
    EXPECT_EQ(status, 0) << "the client ends normally after the script";
    for (const std::string& line : ReadLines(trace)) {
        EXPECT_NE(line.rfind("hold: ", 0), 0u) << "a waiting step gave up: " << line;
    }

    QImage a(QString::fromStdString(first.string()));
    QImage b(QString::fromStdString(second.string()));
    ASSERT_FALSE(a.isNull()) << "no first screenshot";
    ASSERT_FALSE(b.isNull()) << "no second screenshot";
    ASSERT_EQ(a.size(), b.size());

    // Four cameras connected: the wall grew to 3 x 3 for the next free pane.
    WallLayout wall;
    ASSERT_TRUE(wall.SetLayout(3, true, {}));
    auto panes = wall.Placements(a.width(), a.height());
    ASSERT_EQ(panes.size(), 9u);
    QRect idle = PictureArea(panes[8].rect);
    for (int slot = 0; slot < 4; ++slot) {
        QRect area = PictureArea(panes[slot].rect);
        double moving = ChangedShare(a, b, area);
        EXPECT_GT(moving, 0.02) << "pane " << slot << " shows no moving picture";
        QRect sameSize(idle.topLeft(), area.size().boundedTo(idle.size()));
        QRect own(area.topLeft(), sameSize.size());
        QImage ownPart = b.copy(own);
        QImage idlePart = b.copy(sameSize);
        double different = ChangedShare(ownPart, idlePart, QRect(QPoint(0, 0), own.size()));
        EXPECT_GT(different, 0.3) << "pane " << slot << " looks like an idle pane";
    }
    EXPECT_LT(ChangedShare(a, b, idle), 0.01) << "the idle pane stays still";
    std::error_code ec;
    if (!HasFailure()) {
        fs::remove_all(work, ec);
    } else {
        std::printf("screenshots kept in %s\n", work.c_str());
    }
}

// Loop play through its dialog, one picture per screen, over three
// simulated cameras: the single pane shows them in turn, wrapping round,
// with the slide period shortened for the run.
TEST(AppEndToEnd, LoopPlayRotatesTheCamerasThroughTheWall) {
    if (!OnPath("xvfb-run") || !OnPath("Xvfb")) {
        GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb): the end-to-end test needs a "
                        "virtual X server";
    }
    nlohmann::json config = {{"cameras", nlohmann::json::array()}};
    const std::vector<std::string> ids = {"LOOP00000001", "LOOP00000002", "LOOP00000003"};
    for (const std::string& id : ids) {
        config["cameras"].push_back(
            {{"id", id}, {"name", "Loop"}, {"user", "admin"}, {"password", "admin"}, {"port", 0}});
    }
    sim::SimContext context;
    sim::SimServices cameras = sim::StartCameraSimulators(config, context);
    ASSERT_EQ(context.cameraPorts.size(), 3u);
    ASSERT_TRUE(WarmClips(cameras)) << "the simulated cameras' clips were not ready";

    char pattern[] = "/tmp/orbisight-e2e-XXXXXX";
    fs::path work = ::mkdtemp(pattern);
    fs::path home = work / "home";
    fs::create_directories(home);
    {
        SessionLists lists(home / LocalDeviceStore::kFileName);
        for (const auto& [id, port] : context.cameraPorts) {
            lists.AddLocalDevice(id, "127.0.0.1:" + std::to_string(port), "Loop " + id.substr(11),
                                 "admin", 0);
        }
    }
    fs::path trace = work / "trace.txt";
    fs::path done = work / "done";
    std::string script = "trace=" + trace.string() +
                         ";at=1;wait-online=3;loop-play=1;wait-file=" + done.string() + ";quit";
    ClientRun run(SpawnClient(home, work / "user", script, kScreenWidth, kScreenHeight,
                              {"ORBISIGHT_LOOP_SLIDE_MS=4000"}));
    ASSERT_TRUE(run.Started());

    // Four screens: the three cameras and the first again.
    std::vector<std::string> screens;
    size_t from = 0;
    while (screens.size() < 4) {
        int at = WaitForLine(run, trace, from,
                             [](const std::string& line) { return line.rfind("loop: ", 0) == 0; });
        if (at < 0) {
            break;
        }
        screens.push_back(ReadLines(trace)[static_cast<size_t>(at)].substr(6));
        from = static_cast<size_t>(at) + 1;
    }
    std::ofstream(done) << "go";
    int status = run.Finish();
    for (auto& camera : cameras) {
        camera->Stop();
    }
    EXPECT_EQ(status, 0) << "the client ends normally after the script";
    EXPECT_EQ(screens, (std::vector<std::string>{ids[0], ids[1], ids[2], ids[0]}));

    // What the panes showed: slot 0 connected each camera in the loop's
    // order, and no other pane was used.
    std::vector<std::string> connected;
    for (const std::string& line : ReadLines(trace)) {
        EXPECT_NE(line.rfind("hold: ", 0), 0u) << "a waiting step gave up: " << line;
        char id[64] = {0};
        char state[32] = {0};
        int slot = -1;
        if (std::sscanf(line.c_str(), "pane: %d %63s %31s", &slot, id, state) == 3 &&
            std::string(state) == "connected") {
            EXPECT_EQ(slot, 0) << line;
            if (connected.empty() || connected.back() != id) {
                connected.emplace_back(id);
            }
        }
    }
    ASSERT_GE(connected.size(), 3u) << "the cameras did not connect in turn";
    EXPECT_EQ(std::vector<std::string>(connected.begin(), connected.begin() + 3),
              (std::vector<std::string>{ids[0], ids[1], ids[2]}));
    std::error_code ec;
    if (!HasFailure()) {
        fs::remove_all(work, ec);
    } else {
        std::printf("trace kept in %s\n", work.c_str());
    }
}

}  // namespace
}  // namespace orbisight

int main(int argc, char** argv) {
    // QImage reads PNG without a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
