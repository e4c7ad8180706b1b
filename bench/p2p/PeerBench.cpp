// p2p_bench: what live video over peer-to-peer costs next to the direct
// connection, for one 720p25 camera (2 Mbit/s, GOP 25) in the same run.
//
//   scripts/isolated build/bin/p2p_bench [--seconds S] [--warmup S] [--rounds N]
//
// A child process serves the camera on its direct port and, through the
// simulated rendezvous service, as a peer-to-peer camera. This process opens
// one live channel at a time, alternating direct and peer-to-peer for N
// rounds, and measures for each window: pictures decoded per second, the
// client's CPU per picture (the whole process: receive, reassembly, split,
// decode), the server side's CPU (camera and relay), and the latency from
// the camera's time stamp of a frame (its send time, on the monotonic clock
// both processes share) to the moment the channel splits it.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "account/DeviceInfo.h"
#include "bench/common/ChildProcess.h"
#include "media/CXOMPPlayer.h"
#include "media/HeadlessVideoSink.h"
#include "media/MediaHooks.h"
#include "media/p2p/PeerClient.h"
#include "sim/p2p/SimPeerCamera.h"
#include "sim/p2p/SimRendezvous.h"
#include "sim/stream/ClipCache.h"
#include "sim/stream/ClipStore.h"
#include "sim/stream/SimStreamCamera.h"
#include "sim/stream/StreamTestServer.h"

namespace {

using namespace orbisight;

constexpr const char* kPeerId = "BENCHP2P0000001";

nlohmann::json BenchCamera() {
    return {{"id", "BENCH0000001"},
            {"name", "Bench"},
            {"user", "admin"},
            {"password", "admin"},
            {"stream",
             {{"main",
               {{"width", 1280}, {"height", 720}, {"fps", 25}, {"gop", 25}, {"bitrate", 2000000}}},
              {"clip_seconds", 4},
              {"audio", false}}}};
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of another process of ours (utime + stime of /proc/PID/stat).
double ProcessCpuSeconds(pid_t pid) {
    std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) {
        return 0;
    }
    char buffer[1024] = {};
    size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = 0;
    const char* p = std::strrchr(buffer, ')');
    unsigned long utime = 0;
    unsigned long stime = 0;
    if (p == nullptr || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                                    &utime, &stime) != 2) {
        return 0;
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

uint32_t NowMs() {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

// Takes the latency of every video frame as it is split.
class LatencyProbe : public FrameRecorder {
  public:
    bool Start(const char*, const char*) override { return true; }
    void Stop() override {}
    void Write(const FrameHeader& header, const uint8_t*) override {
        if (header.mediaType != mediatype::kVideo) {
            return;
        }
        int32_t ms = static_cast<int32_t>(NowMs() - header.timeStamp);
        std::lock_guard lock(mutex_);
        if (measuring_) {
            samples_.push_back(ms);
        }
    }
    void Measure(bool on) {
        std::lock_guard lock(mutex_);
        measuring_ = on;
    }
    std::vector<int32_t> Take() {
        std::lock_guard lock(mutex_);
        std::vector<int32_t> out;
        out.swap(samples_);
        return out;
    }

  private:
    std::mutex mutex_;
    bool measuring_ = false;
    std::vector<int32_t> samples_;
};

int Serve() {
    sim::ClipCache::Instance().SetDiskFolder(sim::ClipStore::FolderFromEnvironment());
    sim::StreamTestServer server(BenchCamera());
    if (!server.Start()) {
        std::fprintf(stderr, "p2p_bench: cannot listen\n");
        return 1;
    }
    server.Camera()->Prefetch();
    sim::SimRendezvous rendezvous("127.0.0.1", 0);
    rendezvous.Start();
    sockaddr_in address{};
    sim::ParsePeerEndpoint("127.0.0.1:" + std::to_string(rendezvous.Port()), address);
    sim::SimPeerCamera peer(*server.Camera(), kPeerId, address);
    peer.Start();
    while (!peer.Registered()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::printf("%d %d\n", server.Port(), rendezvous.Port());
    std::fflush(stdout);
    char line[64];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
    }
    return 0;
}

struct Window {
    bool peer = false;
    double fps = 0;
    double cpuMs = 0;
    double serverCpuPercent = 0;
    double meanMs = 0;
    int p50 = 0;
    int p95 = 0;
    uint64_t peerFrames = 0;
    uint64_t frames = 0;
};

Window Run(bool peer, int cameraPort, int rendezvousPort, pid_t server, int warmup, int seconds) {
    Window w;
    w.peer = peer;
    HeadlessVideoSink sink(HeadlessVideoSink::SizeMode::kNoPictures);
    LiveChannelOptions options;
    options.videoSink = &sink;
    options.peer.rendezvousPort = rendezvousPort;
    options.name = peer ? "p2p" : "direct";
    CXOMPPlayer channel(options);
    auto probe = std::make_unique<LatencyProbe>();
    LatencyProbe* latency = probe.get();
    channel.AttachRecorder(std::move(probe));
    auto record = NewDeviceInfo();
    record->SetId("BENCH0000001");
    record->SetName("Bench");
    record->SetUser("admin");
    record->SetPassword("admin");
    record->status = DeviceInfo::kStatusOnline;
    record->SetUrl(peer ? std::string("tutkid://") + kPeerId
                        : "ssp://127.0.0.1:" + std::to_string(cameraPort));
    NoticeQueue owner;
    channel.Open(record.get(), &owner);
    channel.ToggleRecording();
    std::this_thread::sleep_for(std::chrono::seconds(warmup));
    uint64_t decoded0 = channel.Stats().decoded;
    LiveChannelStats s0 = channel.Stats();
    double cpu0 = CpuSeconds();
    double server0 = ProcessCpuSeconds(server);
    auto t0 = std::chrono::steady_clock::now();
    latency->Measure(true);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    latency->Measure(false);
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double cpu = CpuSeconds() - cpu0;
    double serverCpu = ProcessCpuSeconds(server) - server0;
    LiveChannelStats s1 = channel.Stats();
    uint64_t decoded = s1.decoded - decoded0;
    channel.Close();
    std::vector<int32_t> samples = latency->Take();
    std::sort(samples.begin(), samples.end());
    w.fps = static_cast<double>(decoded) / elapsed;
    w.cpuMs = decoded > 0 ? cpu * 1000.0 / static_cast<double>(decoded) : 0;
    w.serverCpuPercent = serverCpu * 100.0 / elapsed;
    w.frames = s1.videoFrames - s0.videoFrames;
    w.peerFrames = s1.peerVideoFrames - s0.peerVideoFrames;
    if (!samples.empty()) {
        double sum = 0;
        for (int32_t v : samples) {
            sum += v;
        }
        w.meanMs = sum / static_cast<double>(samples.size());
        w.p50 = samples[samples.size() / 2];
        w.p95 = samples[samples.size() * 95 / 100];
    }
    return w;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 10;
    int warmup = 3;
    int rounds = 2;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--serve") {
            return Serve();
        }
        if (i + 1 < argc && arg == "--seconds") {
            seconds = std::max(1, std::atoi(argv[++i]));
        } else if (i + 1 < argc && arg == "--warmup") {
            warmup = std::max(1, std::atoi(argv[++i]));
        } else if (i + 1 < argc && arg == "--rounds") {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: p2p_bench [--seconds S] [--warmup S] [--rounds N]\n");
            return 2;
        }
    }
    bench::Child child = bench::SpawnChild("/proc/self/exe", {argv[0], "--serve"});
    int cameraPort = 0;
    int rendezvousPort = 0;
    if (child.pid < 0 || std::fscanf(child.out, "%d %d", &cameraPort, &rendezvousPort) != 2) {
        std::fprintf(stderr, "p2p_bench: the camera process did not start\n");
        return 1;
    }
    std::printf("%-8s %8s %12s %10s %9s %7s %7s %12s\n", "path", "pics/s", "cpu ms/pic", "server %",
                "lat mean", "p50", "p95", "frames(p2p)");
    std::vector<Window> all;
    for (int r = 0; r < rounds; ++r) {
        for (bool peer : {false, true}) {
            Window w = Run(peer, cameraPort, rendezvousPort, child.pid, warmup, seconds);
            std::printf("%-8s %8.1f %12.2f %10.1f %9.1f %7d %7d %6llu(%llu)\n",
                        peer ? "p2p" : "direct", w.fps, w.cpuMs, w.serverCpuPercent, w.meanMs,
                        w.p50, w.p95, static_cast<unsigned long long>(w.frames),
                        static_cast<unsigned long long>(w.peerFrames));
            std::fflush(stdout);
            all.push_back(w);
        }
    }
    double cpu[2] = {};
    double lat[2] = {};
    for (const Window& w : all) {
        cpu[w.peer] += w.cpuMs / rounds;
        lat[w.peer] += w.meanMs / rounds;
    }
    std::printf("p2p against direct: CPU per picture %+.2f ms (%.0f%%), latency %+.1f ms\n",
                cpu[1] - cpu[0], cpu[0] > 0 ? cpu[1] * 100.0 / cpu[0] : 0.0, lat[1] - lat[0]);
    p2p::PeerClient::Instance().Shutdown();
    std::fclose(child.in);
    waitpid(child.pid, nullptr, 0);
    return 0;
}
