#pragma once

#include <string>
#include <vector>

namespace orbisight::bench {

// live_bench --window: the real client under Xvfb (scripts/demo-app
// --headless) on a wall of simulated cameras, 720p25 main and 360p25 sub
// streams, with "Local big stream" on and the stream-by-pane-size policy
// off and on.
struct WindowBenchOptions {
    std::string sourceDir;                 // the checkout (scripts/demo-app)
    std::string buildDir;                  // its build (bin/orbisight ...)
    std::vector<int> cameras{16, 36, 64};  // 1: one camera in full screen
    std::vector<int> policies{0, 1};       // ChooseStreamByPaneSize values
    int warmupSeconds = 6;
    int seconds = 10;
    int simNice = 10;
    // Runs of each wall; with more than one, a median line follows them
    // (the machine's speed may drift between runs: compare each run's ratio
    // to its own bare reference).
    int rounds = 1;
};

int RunWindowBench(const WindowBenchOptions& options);

}  // namespace orbisight::bench
