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
#include <thread>

#include "account/SessionLists.h"
#include "app/WallLayout.h"
#include "sim/camera/CameraSimulator.h"

namespace orbisight {
namespace {
namespace fs = std::filesystem;

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 800;

bool OnPath(const char* program) {
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        std::string dir =
            path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && ::access((fs::path(dir) / program).c_str(), X_OK) == 0) {
            return true;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return false;
}

// Starts a program in its own process group with extra environment.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        for (const std::string& e : env) {
            ::putenv(const_cast<char*>(e.c_str()));
        }
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

// Waits for the process; kills its group after the time-out. Returns the
// exit status, or -1 when it had to be killed.
int WaitFor(pid_t pid, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// Share of pixels in the rectangle whose colour differs by more than 24 in
// some channel between the two images.
double ChangedShare(const QImage& a, const QImage& b, const QRect& r) {
    int changed = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            QRgb p = a.pixel(x, y);
            QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 24 || std::abs(qGreen(p) - qGreen(q)) > 24 ||
                std::abs(qBlue(p) - qBlue(q)) > 24) {
                ++changed;
            }
        }
    }
    return static_cast<double>(changed) / (r.width() * r.height());
}

// The picture area of a pane, less the title and the status icons.
QRect PictureArea(const PaneBounds& pane) {
    return QRect(pane.x + 8, pane.y + 34, pane.width - 16, pane.height - 74);
}

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
    std::string script = "at=1;connect-all;screenshot=" + first.string() +
                         "@16;screenshot=" + second.string() + "@18;quit";
    pid_t pid = Spawn({"xvfb-run", "-a", "-s",
                       "-screen 0 " + std::to_string(kScreenWidth) + "x" +
                           std::to_string(kScreenHeight) + "x24 -nolisten tcp",
                       client.string()},
                      {"ORBISIGHT_HOME=" + home.string(), "HOME=" + (work / "user").string(),
                       "ORBISIGHT_AUTOMATION=" + script, "ORBISIGHT_AUDIO=null"});
    ASSERT_GT(pid, 0);
    int status = WaitFor(pid, 90000);
    for (auto& camera : cameras) {
        camera->Stop();
    }
    EXPECT_EQ(status, 0) << "the client ends normally after the script";

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

}  // namespace
}  // namespace orbisight

int main(int argc, char** argv) {
    // QImage reads PNG without a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
