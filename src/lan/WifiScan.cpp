#include "lan/WifiScan.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace orbisight {
namespace {

// Runs argv[0] (looked up in PATH) with stdin from /dev/null and stderr
// discarded, collecting stdout; kills it after timeoutMs.
bool RunCommand(const std::vector<std::string>& argv, std::string& out, int timeoutMs) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return false;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    char buffer[4096];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd pfd{pipeFds[0], POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        // A scan lists a few dozen names: more than this is not nmcli.
        if (out.size() + static_cast<size_t>(n) > (1u << 20)) {
            timedOut = true;
            break;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
    close(pipeFds[0]);
    if (timedOut) {
        kill(pid, SIGKILL);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return !timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

WifiScan::WifiScan()
    : runner_([](const std::vector<std::string>& argv, std::string& out) {
          return RunCommand(argv, out, kTimeoutMs);
      }) {}

std::vector<std::string> WifiScan::Scan() const {
    std::string out;
    if (!runner_ || !runner_({"nmcli", "-t", "-f", "SSID", "dev", "wifi", "list"}, out)) {
        return {};
    }
    return ParseTerse(out);
}

std::vector<std::string> WifiScan::ParseTerse(std::string_view output) {
    std::vector<std::string> names;
    std::string name;
    for (size_t i = 0; i <= output.size(); ++i) {
        if (i == output.size() || output[i] == '\n') {
            if (!name.empty() && name.back() == '\r') {
                name.pop_back();
            }
            if (!name.empty()) {
                names.push_back(name);
            }
            name.clear();
        } else if (output[i] == '\\' && i + 1 < output.size() && output[i + 1] != '\n') {
            name += output[++i];
        } else {
            name += output[i];
        }
    }
    return names;
}

}  // namespace orbisight
