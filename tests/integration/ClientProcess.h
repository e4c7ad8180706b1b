#pragma once

// Running the real client (under Xvfb) from a test, and reading its
// screenshots.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/WallLayout.h"
#include "sim/camera/SimCamera.h"
#include "sim/common/SimService.h"
#include "sim/stream/ClipCache.h"

namespace orbisight::e2e {
namespace fs = std::filesystem;

inline bool OnPath(const char* program) {
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
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
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

// Starts the client under its own Xvfb screen of the given size, on the data
// folder `home`, driven by an automation script. The test's own process
// reads pictures offscreen; the client draws on Xvfb.
inline pid_t SpawnClient(const fs::path& home, const fs::path& userHome, const std::string& script,
                         int width, int height) {
    fs::path client = fs::path(ORBISIGHT_BIN_DIR) / "orbisight";
    return Spawn(
        {"xvfb-run", "-a", "-s",
         "-screen 0 " + std::to_string(width) + "x" + std::to_string(height) + "x24 -nolisten tcp",
         client.string()},
        {"ORBISIGHT_HOME=" + home.string(), "HOME=" + userHome.string(),
         "ORBISIGHT_AUTOMATION=" + script, "ORBISIGHT_AUDIO=null", "QT_QPA_PLATFORM=xcb"});
}

// Waits for the process; kills its group after the time-out. Returns the
// exit status, or -1 when it had to be killed.
inline int WaitFor(pid_t pid, int timeoutMs) {
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
inline double ChangedShare(const QImage& a, const QImage& b, const QRect& r) {
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
inline QRect PictureArea(const PaneBounds& pane) {
    return QRect(pane.x + 8, pane.y + 34, pane.width - 16, pane.height - 74);
}

// Encodes (or reads from the disk cache) every simulated camera's clips
// before the client starts, so that the pictures checked are the moving
// clip and not the still stand-in a camera sends while it warms up: a clean
// cache on a slow (sanitizer) build takes long to fill. False when the
// clips are still not ready after `timeoutMs`.
inline bool WarmClips(const sim::SimServices& services, int timeoutMs = 180000) {
    for (const auto& service : services) {
        if (auto* camera = dynamic_cast<sim::SimCamera*>(service.get());
            camera != nullptr && camera->Media() != nullptr) {
            camera->Media()->Prefetch();
        }
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        sim::ClipCache::Counts counts = sim::ClipCache::Instance().Read();
        if (counts.queued == 0 && counts.encoding == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace orbisight::e2e
