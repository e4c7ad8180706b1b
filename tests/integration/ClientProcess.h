#pragma once

// Running the real client (under Xvfb) from a test, and reading its
// screenshots.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
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
// folder `home`, driven by an automation script, with any further
// "NAME=VALUE" settings. The test's own process reads pictures offscreen; the
// client draws on Xvfb.
inline pid_t SpawnClient(const fs::path& home, const fs::path& userHome, const std::string& script,
                         int width, int height, const std::vector<std::string>& moreEnv = {}) {
    fs::path client = fs::path(ORBISIGHT_BIN_DIR) / "orbisight";
    std::vector<std::string> env = {"ORBISIGHT_HOME=" + home.string(), "HOME=" + userHome.string(),
                                    "ORBISIGHT_AUTOMATION=" + script, "ORBISIGHT_AUDIO=null",
                                    "QT_QPA_PLATFORM=xcb"};
    env.insert(env.end(), moreEnv.begin(), moreEnv.end());
    return Spawn(
        {"xvfb-run", "-a", "-s",
         "-screen 0 " + std::to_string(width) + "x" + std::to_string(height) + "x24 -nolisten tcp",
         client.string()},
        env);
}

// One run of the client with the whole script's time limit. A test's waits
// for single steps follow the script's own progress (trace lines, gate
// files) and end only at this overall limit, or when the client has ended:
// a busy machine may make one step slow without the run being wrong.
class ClientRun {
  public:
    // Generous: a sanitizer build on a busy machine is many times slower
    // than a plain one.
    static constexpr int kScriptLimitMs = 300000;

    explicit ClientRun(pid_t pid, int limitMs = kScriptLimitMs)
        : pid_(pid),
          deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs)) {}
    ClientRun(const ClientRun&) = delete;
    ClientRun& operator=(const ClientRun&) = delete;
    ~ClientRun() {
        if (!Ended()) {
            Kill();
        }
    }

    bool Started() const { return pid_ > 0; }
    bool Expired() const { return std::chrono::steady_clock::now() >= deadline_; }
    // True once the client has ended (its status is then kept).
    bool Ended() {
        if (status_ || pid_ <= 0) {
            return true;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        return false;
    }
    // Waits for the end of the client until the overall limit; then kills
    // its process group. The exit status, or -1 when it had to be killed.
    int Finish() {
        while (!Ended()) {
            if (Expired()) {
                Kill();
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return *status_;
    }

  private:
    void Kill() {
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        status_ = -1;
    }

    pid_t pid_;
    std::chrono::steady_clock::time_point deadline_;
    std::optional<int> status_;
};

inline std::vector<std::string> ReadLines(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// Waits until a trace line from index `from` on satisfies the predicate, as
// long as the client runs and its overall limit has not passed; returns the
// line's index or -1.
template <typename Predicate>
int WaitForLine(ClientRun& run, const fs::path& trace, size_t from, Predicate predicate) {
    while (true) {
        // Read once more after the client ended: its last lines are there.
        bool last = run.Ended() || run.Expired();
        std::vector<std::string> lines = ReadLines(trace);
        for (size_t i = from; i < lines.size(); ++i) {
            if (predicate(lines[i])) {
                return static_cast<int>(i);
            }
        }
        if (last) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
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

// A new folder for one end-to-end run, under /tmp, with its "home" data
// folder made; returns the run's folder.
inline fs::path NewEndToEndFolder() {
    char pattern[] = "/tmp/orbisight-e2e-XXXXXX";
    fs::path work = ::mkdtemp(pattern);
    fs::create_directories(work / "home");
    return work;
}

// Removes a run's folder when its test passed; when it failed, keeps it
// (screenshots, traces, the client's data folder) and says where.
inline void RemoveUnlessFailed(const fs::path& work, bool failed) {
    if (failed) {
        std::printf("kept in %s\n", work.c_str());
        return;
    }
    std::error_code ec;
    fs::remove_all(work, ec);
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
