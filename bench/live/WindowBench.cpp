#include "bench/live/WindowBench.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench/live/BareDecode.h"
#include "sim/stream/ClipCache.h"
#include "sim/stream/ClipStore.h"

extern char** environ;

namespace orbisight::bench {
namespace {

constexpr int kFps = 25;

sim::VideoClipParams WindowClipParams(bool sub) {
    sim::VideoClipParams params;  // the camera's default preset and 4 s loop
    params.name = "Bench";
    params.width = sub ? 640 : 1280;
    params.height = sub ? 360 : 720;
    params.fps = kFps;
    params.gop = 25;
    params.bitRate = sub ? 512000 : 2000000;
    params.seconds = 4;
    return params;
}

// N cameras with one name (so one clip per stream serves them all), no sound.
nlohmann::json CameraConfig(int count) {
    nlohmann::json cameras = nlohmann::json::array();
    for (int i = 0; i < count; ++i) {
        char id[32];
        std::snprintf(id, sizeof id, "BENCH%07d", i);
        sim::VideoClipParams main = WindowClipParams(false);
        sim::VideoClipParams sub = WindowClipParams(true);
        auto profile = [](const sim::VideoClipParams& p) {
            return nlohmann::json{{"width", p.width},
                                  {"height", p.height},
                                  {"fps", p.fps},
                                  {"gop", p.gop},
                                  {"bitrate", p.bitRate}};
        };
        cameras.push_back({{"id", id},
                           {"name", "Bench"},
                           {"user", "admin"},
                           {"password", "admin"},
                           {"port", 0},
                           {"stream",
                            {{"main", profile(main)},
                             {"sub", profile(sub)},
                             {"clip_seconds", 4},
                             {"audio", false}}}});
    }
    return {{"cameras", cameras}};
}

struct PaneSample {
    unsigned long long frames = 0;
    unsigned long long decoded = 0;
    unsigned long long dropped = 0;
    unsigned long long painted = 0;
    int sourceWidth = 0;
    int sourceHeight = 0;
    int areaWidth = 0;
    int areaHeight = 0;
};

// One "wall-stats" file of the client (see src/app/WallStats.h).
struct Sample {
    bool ok = false;
    unsigned long long monotonicMs = 0;
    long long cpuMs = 0;
    long long rssKib = 0;
    int panes = 0;
    long long windowPixels = 0;  // the top-level window's
    std::map<int, PaneSample> pane;
    unsigned long long latencyCount = 0;
    unsigned latencyP50 = 0;
    unsigned latencyP99 = 0;
    unsigned latencyMax = 0;
};

Sample ReadSample(const std::string& file) {
    Sample sample;
    std::ifstream in(file);
    std::string line;
    bool head = false;
    bool latency = false;
    while (std::getline(in, line)) {
        int windowWidth = 0;
        int windowHeight = 0;
        if (std::sscanf(line.c_str(),
                        "monotonic_ms=%llu cpu_ms=%lld rss_kib=%lld panes=%d window=%dx%d",
                        &sample.monotonicMs, &sample.cpuMs, &sample.rssKib, &sample.panes,
                        &windowWidth, &windowHeight) == 6) {
            sample.windowPixels = static_cast<long long>(windowWidth) * windowHeight;
            head = true;
            continue;
        }
        int slot = 0;
        PaneSample p;
        if (std::sscanf(line.c_str(),
                        "pane %d frames=%llu decoded=%llu dropped=%llu painted=%llu source=%dx%d "
                        "area=%dx%d",
                        &slot, &p.frames, &p.decoded, &p.dropped, &p.painted, &p.sourceWidth,
                        &p.sourceHeight, &p.areaWidth, &p.areaHeight) == 9) {
            sample.pane[slot] = p;
            continue;
        }
        if (std::sscanf(line.c_str(), "latency count=%llu p50=%u p99=%u max=%u",
                        &sample.latencyCount, &sample.latencyP50, &sample.latencyP99,
                        &sample.latencyMax) == 4) {
            latency = true;
        }
    }
    sample.ok = head && latency;
    return sample;
}

// Runs a program with its output into log; its exit status, -1 when it
// could not start.
int RunProgram(const std::vector<std::string>& args, const std::string& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& arg : copy) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

double SimulatorCpuSeconds(const std::string& log) {
    std::ifstream in(log);
    std::string line;
    double seconds = -1;
    while (std::getline(in, line)) {
        std::sscanf(line.c_str(), "demo: simulator CPU %lf s", &seconds);
    }
    return seconds;
}

struct Row {
    bool ok = false;
    int cameras = 0;
    int policy = 0;
    double window = 0;
    double decodedPerSecond = 0;
    double paintedPerSecond = 0;
    double receivedPerSecond = 0;
    unsigned long long dropped = 0;
    double clientCores = 0;
    double bareCores = 0;  // bare decode of the pictures the client decoded
    double ratio = 0;      // client CPU / that bare decode
    double cpuPerShownMs = 0;
    int mainPanes = 0;  // panes decoding the 720p stream at the end
    std::string area;   // the first pane's picture area
    double mibPerChannel = 0;
    unsigned latencyP50 = 0;
    unsigned latencyP99 = 0;
    unsigned long long latencyCount = 0;
    double simCores = 0;
    double bareMainMs = 0;
    double bareSubMs = 0;
    // The same against bare decoding at the stream's own rate (see
    // PacedCpuPerFrame): what decoding a live stream costs by itself.
    double pacedRatio = 0;
    double pacedMainMs = 0;
    double pacedSubMs = 0;
};

Row RunOne(const WindowBenchOptions& options, int cameras, int policy, const sim::VideoClip& main,
           const sim::VideoClip& sub) {
    Row row;
    row.cameras = cameras;
    row.policy = policy;
    char pattern[] = "/tmp/live-bench-window.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return row;
    }
    std::string work = pattern;
    std::string config = work + "/cameras.json";
    std::string log = work + "/demo.log";
    std::ofstream(config) << CameraConfig(cameras).dump();

    int layout = static_cast<int>(std::ceil(std::sqrt(cameras)));
    std::ostringstream script;
    // Z: the client without channels; A and B: the measured window.
    script << "at=2;wall-stats=" << work
           << "/z;at=3;connect-all;wait-playing;select=0;layout=" << layout << ";";
    if (cameras == 1) {
        script << "fullscreen;";
    }
    script << "wait=" << options.warmupSeconds << ";wall-stats=" << work
           << "/a;wait=" << options.seconds << ";wall-stats=" << work << "/b;quit";

    double bareBefore[2] = {ReferenceCpuPerFrame(main, 1), ReferenceCpuPerFrame(sub, 1)};
    auto wallStart = std::chrono::steady_clock::now();
    std::vector<std::string> command = {"/bin/bash",
                                        options.sourceDir + "/scripts/demo-app",
                                        "--headless",
                                        "--build",
                                        options.buildDir,
                                        "--cameras",
                                        std::to_string(cameras),
                                        "--camera-config",
                                        config,
                                        "--sim-nice",
                                        std::to_string(options.simNice),
                                        "--main-stream",
                                        "--script",
                                        script.str()};
    if (policy == 0) {
        command.push_back("--no-pane-streams");  // the setting off
    }
    int status = RunProgram(command, log);
    double runSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    double bareMain = (bareBefore[0] + ReferenceCpuPerFrame(main, 1)) / 2;
    double bareSub = (bareBefore[1] + ReferenceCpuPerFrame(sub, 1)) / 2;
    row.bareMainMs = bareMain * 1000;
    row.bareSubMs = bareSub * 1000;
    // Two seconds of each stream, after the run (the client has quit).
    constexpr int kPacedFrames = 50;
    double pacedMain = PacedCpuPerFrame(main, main.params.fps, kPacedFrames);
    double pacedSub = PacedCpuPerFrame(sub, sub.params.fps, kPacedFrames);
    row.pacedMainMs = pacedMain * 1000;
    row.pacedSubMs = pacedSub * 1000;

    Sample z = ReadSample(work + "/z");
    Sample a = ReadSample(work + "/a");
    Sample b = ReadSample(work + "/b");
    if (status != 0 || !z.ok || !a.ok || !b.ok || b.monotonicMs <= a.monotonicMs) {
        std::fprintf(stderr, "live_bench: the client run failed (status %d); its log: %s\n", status,
                     log.c_str());
        return row;
    }
    row.window = static_cast<double>(b.monotonicMs - a.monotonicMs) / 1000.0;
    unsigned long long decoded = 0;
    unsigned long long painted = 0;
    unsigned long long frames = 0;
    double bareCpu = 0;
    double pacedCpu = 0;
    for (const auto& [slot, after] : b.pane) {
        PaneSample before;
        if (auto it = a.pane.find(slot); it != a.pane.end()) {
            before = it->second;
        }
        unsigned long long d = after.decoded - before.decoded;
        decoded += d;
        painted += after.painted - before.painted;
        frames += after.frames - before.frames;
        row.dropped += after.dropped - before.dropped;
        // Priced at the bare decode of the stream the pane decodes, by its
        // pixel count (720p main or 360p sub).
        double pixels = static_cast<double>(after.sourceWidth) * after.sourceHeight;
        auto price = [pixels](double mainCost, double subCost) {
            return pixels >= 1280.0 * 720
                       ? mainCost
                       : subCost + (mainCost - subCost) * std::max(0.0, pixels - 640.0 * 360) /
                                       (1280.0 * 720 - 640.0 * 360);
        };
        bareCpu += static_cast<double>(d) * price(bareMain, bareSub);
        pacedCpu += static_cast<double>(d) * price(pacedMain, pacedSub);
        row.mainPanes += after.sourceHeight >= 720 ? 1 : 0;
        if (row.area.empty()) {
            row.area = std::to_string(after.areaWidth) + "x" + std::to_string(after.areaHeight);
        }
    }
    double cpu = static_cast<double>(b.cpuMs - a.cpuMs) / 1000.0;
    row.decodedPerSecond = static_cast<double>(decoded) / row.window;
    row.paintedPerSecond = static_cast<double>(painted) / row.window;
    row.receivedPerSecond = static_cast<double>(frames) / row.window;
    row.clientCores = cpu / row.window;
    row.bareCores = bareCpu / row.window;
    row.ratio = bareCpu > 0 ? cpu / bareCpu : 0;
    row.pacedRatio = pacedCpu > 0 ? cpu / pacedCpu : 0;
    row.cpuPerShownMs = painted > 0 ? cpu / static_cast<double>(painted) * 1000 : 0;
    // The window's own buffer (4 bytes a pixel) grows when it goes full
    // screen after Z; that is no channel's memory.
    double windowGrowthKib = static_cast<double>(b.windowPixels - z.windowPixels) * 4 / 1024.0;
    row.mibPerChannel =
        (static_cast<double>(b.rssKib - z.rssKib) - windowGrowthKib) / 1024.0 / cameras;
    row.latencyP50 = b.latencyP50;
    row.latencyP99 = b.latencyP99;
    row.latencyCount = b.latencyCount;
    double simCpu = SimulatorCpuSeconds(log);
    row.simCores = simCpu >= 0 && runSeconds > 0 ? simCpu / runSeconds : -1;
    row.ok = true;
    std::filesystem::remove_all(work);
    return row;
}

// Each column's median over the runs (drops: the most of any run).
Row MedianRow(const std::vector<Row>& rows) {
    auto median = [&rows](auto field) {
        std::vector<double> values;
        for (const Row& row : rows) {
            values.push_back(static_cast<double>(field(row)));
        }
        std::sort(values.begin(), values.end());
        size_t n = values.size();
        return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    };
    Row m = rows.front();
    m.receivedPerSecond = median([](const Row& r) { return r.receivedPerSecond; });
    m.decodedPerSecond = median([](const Row& r) { return r.decodedPerSecond; });
    m.paintedPerSecond = median([](const Row& r) { return r.paintedPerSecond; });
    for (const Row& row : rows) {
        m.dropped = std::max(m.dropped, row.dropped);
    }
    m.clientCores = median([](const Row& r) { return r.clientCores; });
    m.bareCores = median([](const Row& r) { return r.bareCores; });
    m.ratio = median([](const Row& r) { return r.ratio; });
    m.cpuPerShownMs = median([](const Row& r) { return r.cpuPerShownMs; });
    m.mibPerChannel = median([](const Row& r) { return r.mibPerChannel; });
    m.latencyP50 = static_cast<unsigned>(median([](const Row& r) { return r.latencyP50; }));
    m.latencyP99 = static_cast<unsigned>(median([](const Row& r) { return r.latencyP99; }));
    m.simCores = median([](const Row& r) { return r.simCores; });
    m.bareMainMs = median([](const Row& r) { return r.bareMainMs; });
    m.bareSubMs = median([](const Row& r) { return r.bareSubMs; });
    m.pacedRatio = median([](const Row& r) { return r.pacedRatio; });
    m.pacedMainMs = median([](const Row& r) { return r.pacedMainMs; });
    m.pacedSubMs = median([](const Row& r) { return r.pacedSubMs; });
    return m;
}

}  // namespace

int RunWindowBench(const WindowBenchOptions& options) {
    std::printf("encoding the reference clips (720p25 2 Mbit/s, 360p25 512 kbit/s)...\n");
    std::fflush(stdout);
    sim::ClipCache::Instance().SetDiskFolder(sim::ClipStore::FolderFromEnvironment());
    auto main = sim::ClipCache::Instance().Get(WindowClipParams(false));
    auto sub = sim::ClipCache::Instance().Get(WindowClipParams(true));
    if (main->frames.empty() || sub->frames.empty()) {
        std::fprintf(stderr, "live_bench: no H.264 encoder\n");
        return 1;
    }
    std::printf(
        "the client (orbisight under Xvfb, 1920x1080) with \"Local big stream\" on; simulator at "
        "nice %d; %d s warm-up, %d s measured\n"
        "bare: libavcodec decode, 1 thread, no conversion, of the pictures the client decoded "
        "(measured before and after each run)\n"
        "paced: the same decoder fed at 25 pictures a second, sleeping between them as a live "
        "channel does (2 s of each stream after each run)\n\n",
        options.simNice, options.warmupSeconds, options.seconds);
    std::printf("%7s %6s %10s %9s %9s %9s %7s %7s %7s %7s %9s %6s %8s %6s %6s %6s %9s %7s %9s\n",
                "cameras", "policy", "pane", "recv/s", "decoded/s", "painted/s", "drops", "client",
                "bare", "ratio", "ms/shown", "720p", "MiB/chan", "p50", "p99", "sim", "bare ms",
                "paced", "paced ms");
    std::printf("%7s %6s %10s %9s %9s %9s %7s %7s %7s %7s %9s %6s %8s %6s %6s %6s %9s %7s %9s\n",
                "", "", "", "", "", "", "", "cores", "cores", "", "", "panes", "", "ms", "ms",
                "cores", "720/360", "ratio", "720/360");
    int failures = 0;
    auto print = [](const Row& row, const char* label) {
        std::printf(
            "%7d %6s %10s %9.1f %9.1f %9.1f %7llu %7.3f %7.3f %6.2fx %9.3f %6d %8.1f %6u %6u "
            "%6.3f %4.2f/%4.2f %6.2fx %4.2f/%4.2f%s\n",
            row.cameras, row.policy ? "on" : "off", row.area.c_str(), row.receivedPerSecond,
            row.decodedPerSecond, row.paintedPerSecond, row.dropped, row.clientCores, row.bareCores,
            row.ratio, row.cpuPerShownMs, row.mainPanes, row.mibPerChannel, row.latencyP50,
            row.latencyP99, row.simCores, row.bareMainMs, row.bareSubMs, row.pacedRatio,
            row.pacedMainMs, row.pacedSubMs, label);
        std::fflush(stdout);
    };
    for (int cameras : options.cameras) {
        for (int policy : options.policies) {
            std::vector<Row> rows;
            for (int round = 0; round < std::max(1, options.rounds); ++round) {
                Row row = RunOne(options, cameras, policy, *main, *sub);
                if (!row.ok) {
                    ++failures;
                    std::printf("%7d %6s   (failed)\n", cameras, policy ? "on" : "off");
                    continue;
                }
                print(row, "");
                rows.push_back(row);
            }
            if (rows.size() > 1) {
                print(MedianRow(rows), "  median");
            }
        }
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace orbisight::bench
