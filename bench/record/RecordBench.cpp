// record_bench: what recording costs a wall of cameras.
//
//   scripts/isolated build/bin/record_bench [--cameras N] [--seconds S]
//                                           [--folder DIR] [--width W --height H]
//
// A child process serves N simulated cameras (default 16, 640x360, 25 fps,
// GOP 25, 1 Mbit/s, with sound); this process opens N live channels that
// decode every picture (no conversion) and, in alternating windows of S
// seconds, records all of them or none. Reported per recording window:
// bytes written per second against the bytes the recorders were offered
// (the stream rate), frames offered but not written after each file's
// first key frame (must be 0), the time one Write holds the splitting
// thread (mean and worst), and the process CPU against the neighbouring
// windows without recording (the same-run reference).

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "account/DeviceInfo.h"
#include "bench/common/ChildProcess.h"
#include "media/CHalvexRecorder.h"
#include "media/CXOMPPlayer.h"
#include "media/HeadlessVideoSink.h"
#include "sim/stream/ClipCache.h"
#include "sim/stream/ClipStore.h"
#include "sim/stream/SimStreamCamera.h"
#include "sim/stream/StreamTestServer.h"

namespace {

using namespace orbisight;
using Clock = std::chrono::steady_clock;

int width = 640;
int height = 360;
constexpr int kFps = 25;
constexpr int kBitRate = 1000000;

nlohmann::json BenchCamera(int index) {
    char id[32];
    std::snprintf(id, sizeof id, "RECB%07d", index);
    return {{"id", id},
            {"name", "Bench"},
            {"user", "admin"},
            {"password", "admin"},
            {"stream",
             {{"main",
               {{"width", width},
                {"height", height},
                {"fps", kFps},
                {"gop", 25},
                {"bitrate", kBitRate}}},
              {"clip_seconds", 4},
              {"audio", true}}}};
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Counts what the channel hands over and how long the recorder holds the
// splitting thread, then passes everything on.
class MeasuredRecorder : public FrameRecorder {
  public:
    explicit MeasuredRecorder(std::unique_ptr<CHalvexRecorder> inner) : inner_(std::move(inner)) {}

    bool Start(const char* id, const char* name) override {
        started_.store(false);
        return inner_->Start(id, name);
    }
    void Stop() override { inner_->Stop(); }
    void Write(const FrameHeader& header, const uint8_t* payload) override {
        auto begin = Clock::now();
        inner_->Write(header, payload);
        auto ns = static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - begin).count());
        writeNs_.fetch_add(ns, std::memory_order_relaxed);
        uint64_t worst = worstNs_.load(std::memory_order_relaxed);
        while (ns > worst && !worstNs_.compare_exchange_weak(worst, ns)) {
        }
        calls_.fetch_add(1, std::memory_order_relaxed);
        // Frames before a file's first key frame are not meant to be kept.
        if (!started_.load(std::memory_order_relaxed)) {
            if (header.mediaType != mediatype::kVideo || !header.KeyFrame()) {
                return;
            }
            started_.store(true, std::memory_order_relaxed);
        }
        offeredFrames_.fetch_add(1, std::memory_order_relaxed);
        offeredBytes_.fetch_add(FrameHeader::kSize + header.size, std::memory_order_relaxed);
    }
    void SetFailureHandler(FailureHandler handler) override {
        inner_->SetFailureHandler(std::move(handler));
    }

    struct Reading {
        uint64_t offeredFrames = 0, offeredBytes = 0, writtenFrames = 0, writtenBytes = 0;
        uint64_t calls = 0, writeNs = 0;
    };
    Reading Read() const {
        return {offeredFrames_.load(),  offeredBytes_.load(), inner_->FramesWritten(),
                inner_->BytesWritten(), calls_.load(),        writeNs_.load()};
    }
    uint64_t WorstNs() const { return worstNs_.load(); }
    void ResetWorst() { worstNs_.store(0); }

  private:
    std::unique_ptr<CHalvexRecorder> inner_;
    std::atomic<bool> started_{false};
    std::atomic<uint64_t> offeredFrames_{0};
    std::atomic<uint64_t> offeredBytes_{0};
    std::atomic<uint64_t> calls_{0};
    std::atomic<uint64_t> writeNs_{0};
    std::atomic<uint64_t> worstNs_{0};
};

int Serve(int count) {
    sim::ClipCache::Instance().SetDiskFolder(sim::ClipStore::FolderFromEnvironment());
    std::vector<std::unique_ptr<sim::StreamTestServer>> servers;
    for (int i = 0; i < count; ++i) {
        servers.push_back(std::make_unique<sim::StreamTestServer>(BenchCamera(i)));
        if (!servers.back()->Start()) {
            std::fprintf(stderr, "record_bench: cannot listen\n");
            return 1;
        }
        std::printf("%d\n", servers.back()->Port());
    }
    std::printf("ready\n");
    std::fflush(stdout);
    char line[64];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
    }
    return 0;
}

using bench::Child;

Child SpawnServer(const char* self, int count) {
    return bench::SpawnChild(self, {self, "--width", std::to_string(width), "--height",
                                    std::to_string(height), "--serve", std::to_string(count)});
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    int cameras = 16;
    int seconds = 10;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--serve" && i + 1 < argc) {
            return Serve(std::atoi(argv[i + 1]));
        } else if (arg == "--cameras" && i + 1 < argc) {
            cameras = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::max(2, std::atoi(argv[++i]));
        } else if (arg == "--folder" && i + 1 < argc) {
            folder = argv[++i];
        } else if (arg == "--width" && i + 1 < argc) {
            width = std::max(16, std::atoi(argv[++i]));
        } else if (arg == "--height" && i + 1 < argc) {
            height = std::max(16, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr,
                         "usage: record_bench [--cameras N] [--seconds S] [--folder DIR] "
                         "[--width W --height H]\n");
            return 2;
        }
    }
    bool ownFolder = folder.empty();
    if (ownFolder) {
        std::string pattern = (std::filesystem::temp_directory_path() / "record_bench.XXXXXX");
        folder = ::mkdtemp(pattern.data());
    }
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return 1;
    }
    self[length] = '\0';

    std::printf("%d cameras, %dx%d %d fps %d kbit/s with sound, recording into %s\n", cameras,
                width, height, kFps, kBitRate / 1000, folder.c_str());
    std::fflush(stdout);
    Child child = SpawnServer(self, cameras);
    if (child.pid < 0 || child.out == nullptr) {
        std::fprintf(stderr, "record_bench: cannot start the cameras\n");
        return 1;
    }
    std::vector<int> ports;
    char line[64];
    while (std::fgets(line, sizeof line, child.out) != nullptr && std::strncmp(line, "ready", 5)) {
        ports.push_back(std::atoi(line));
    }

    std::vector<std::unique_ptr<HeadlessVideoSink>> sinks;
    std::vector<std::unique_ptr<CXOMPPlayer>> channels;
    std::vector<MeasuredRecorder*> recorders;
    int failures = 0;  // recordings that stopped by themselves
    for (size_t i = 0; i < ports.size(); ++i) {
        sinks.push_back(
            std::make_unique<HeadlessVideoSink>(HeadlessVideoSink::SizeMode::kNoPictures));
        LiveChannelOptions options;
        options.videoSink = sinks.back().get();
        options.name = "cam" + std::to_string(i);
        channels.push_back(std::make_unique<CXOMPPlayer>(options));
        CHalvexRecorder::Options recorderOptions;
        recorderOptions.recordFolder = folder;
        auto recorder = std::make_unique<MeasuredRecorder>(
            std::make_unique<CHalvexRecorder>(std::move(recorderOptions)));
        recorders.push_back(recorder.get());
        channels.back()->AttachRecorder(std::move(recorder));
        auto record = NewDeviceInfo();
        record->SetUrl("ssp://127.0.0.1:" + std::to_string(ports[i]));
        record->SetUser("admin");
        record->SetPassword("admin");
        record->SetId(BenchCamera(static_cast<int>(i))["id"].get<std::string>());
        record->SetName("Bench");
        record->status = DeviceInfo::kStatusOnline;
        channels.back()->Open(record.get(), nullptr);
        channels.back()->SetListening(true);
    }
    // The cameras encode their clip first (or read it from the disk cache).
    auto ready = Clock::now() + std::chrono::seconds(120);
    while (Clock::now() < ready) {
        bool all = true;
        for (auto& channel : channels) {
            all = all && channel->Stats().decoded > 0;
        }
        if (all) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));

    auto dropped = [&] {
        uint64_t sum = 0;
        for (auto& channel : channels) {
            LiveChannelStats s = channel->Stats();
            sum += s.droppedQueue + s.droppedGate + s.droppedInvalid;
        }
        return sum;
    };
    auto readAll = [&] {
        MeasuredRecorder::Reading sum;
        for (MeasuredRecorder* r : recorders) {
            MeasuredRecorder::Reading one = r->Read();
            sum.offeredFrames += one.offeredFrames;
            sum.offeredBytes += one.offeredBytes;
            sum.writtenFrames += one.writtenFrames;
            sum.writtenBytes += one.writtenBytes;
            sum.calls += one.calls;
            sum.writeNs += one.writeNs;
        }
        return sum;
    };
    // off, on, off, on, off: each recording window against the mean of the
    // windows around it.
    std::vector<double> cpuPercent;
    std::printf("%7s %10s %12s %12s %7s %8s %11s %11s %9s %9s\n", "window", "recording",
                "written/s", "offered/s", "ratio", "lost", "write us", "worst us", "CPU %",
                "drops");
    for (int window = 0; window < 5; ++window) {
        bool on = window % 2 == 1;
        if (on) {
            for (auto& channel : channels) {
                channel->ToggleRecording();
            }
            for (MeasuredRecorder* r : recorders) {
                r->ResetWorst();
            }
        }
        MeasuredRecorder::Reading before = readAll();
        uint64_t droppedBefore = dropped();
        double cpuBefore = CpuSeconds();
        auto begin = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        double wall = std::chrono::duration<double>(Clock::now() - begin).count();
        double cpu = CpuSeconds() - cpuBefore;
        MeasuredRecorder::Reading after = readAll();
        uint64_t worst = 0;
        for (MeasuredRecorder* r : recorders) {
            worst = std::max(worst, r->WorstNs());
        }
        if (on) {
            for (auto& channel : channels) {
                failures += channel->Recording() ? 0 : 1;
                channel->ToggleRecording();
            }
        }
        cpuPercent.push_back(100.0 * cpu / wall);
        double written = static_cast<double>(after.writtenBytes - before.writtenBytes) / wall;
        double offered = static_cast<double>(after.offeredBytes - before.offeredBytes) / wall;
        // Signed: a frame being written at the reading counts as written first.
        auto lost = static_cast<long long>(after.offeredFrames - before.offeredFrames) -
                    static_cast<long long>(after.writtenFrames - before.writtenFrames);
        uint64_t calls = after.calls - before.calls;
        double meanUs =
            calls > 0 ? static_cast<double>(after.writeNs - before.writeNs) / calls / 1000.0 : 0;
        std::printf("%7d %10s %10.0f B %10.0f B %7.3f %8lld %11.2f %11.1f %9.1f %9llu\n", window,
                    on ? "yes" : "no", written, offered, offered > 0 ? written / offered : 0.0,
                    on ? lost : 0LL, on ? meanUs : 0.0,
                    on ? static_cast<double>(worst) / 1000.0 : 0.0, cpuPercent.back(),
                    static_cast<unsigned long long>(dropped() - droppedBefore));
        std::fflush(stdout);
    }
    double off = (cpuPercent[0] + cpuPercent[2] + cpuPercent[4]) / 3;
    double onMean = (cpuPercent[1] + cpuPercent[3]) / 2;
    std::printf(
        "\nCPU without recording %.1f %%, with %.1f %%: recording adds %.1f %% of a core "
        "(%.2fx)\nrecordings stopped by a failure: %d\n",
        off, onMean, onMean - off, off > 0 ? onMean / off : 0.0, failures);

    for (auto& channel : channels) {
        channel->Close();
    }
    channels.clear();
    std::fclose(child.in);
    int status = 0;
    waitpid(child.pid, &status, 0);
    std::fclose(child.out);
    if (ownFolder) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    return 0;
}
