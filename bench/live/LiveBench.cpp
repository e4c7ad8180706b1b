// live_bench: how many 720p25 cameras one client shows on a wall without
// dropping pictures, and what each picture costs next to a bare decoder.
//
//   scripts/isolated build/bin/live_bench [--max N] [--seconds S] [--warmup S]
//
// For N = 1, 4, 9, 16, 25, 36 (up to --max) a child process serves N
// simulated cameras (720p, 25 fps, GOP 25, 2 Mbit/s, one pre-encoded clip)
// and this process opens N live channels whose headless sinks convert to
// the pane size of an n x n wall on a 1920 x 1080 screen. The reference,
// measured in the same run right before and after each wall's window,
// decodes the same frames in a bare single-thread libavcodec loop without
// conversion. p50/p99: each picture's latency from its send stamp to the end
// of its conversion.
//
//   build/bin/live_bench --convert
//
// The conversion alone, per pane size of those walls (see RunConvertBench).
//
//   scripts/isolated build/bin/live_bench --window [--cameras 16,36,64]
//       [--policy on|off|both] [--seconds S] [--warmup S] [--sim-nice N] [--rounds R]
//
// The same for the real client: orbisight under Xvfb with the pictures
// painted (see bench/live/WindowBench.h and docs/media.md).

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "account/DeviceInfo.h"
#include "bench/common/ChildProcess.h"
#include "bench/live/BareDecode.h"
#include "bench/live/WindowBench.h"
#include "media/CHalvexDecoder.h"
#include "media/CXOMPPlayer.h"
#include "media/FfmpegHandles.h"
#include "media/FrameStamp.h"
#include "media/HeadlessVideoSink.h"
#include "media/MediaFrame.h"
#include "media/PictureRenderer.h"
#include "media/PictureSlots.h"
#include "platform/ProcessUsage.h"
#include "sim/stream/ClipCache.h"
#include "sim/stream/SimStreamCamera.h"
#include "sim/stream/StreamTestServer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

namespace {

using namespace orbisight;
using bench::ReferenceCpuPerFrame;
using bench::ThreadCpuSeconds;

constexpr int kFps = 25;

nlohmann::json BenchCamera(int index) {
    char id[32];
    std::snprintf(id, sizeof id, "BENCH%07d", index);
    return {
        {"id", id},
        {"name", "Bench"},
        {"user", "admin"},
        {"password", "admin"},
        {"stream",
         {{"main",
           {{"width", 1280}, {"height", 720}, {"fps", kFps}, {"gop", 25}, {"bitrate", 2000000}}},
          {"clip_seconds", 4},
          {"audio", false}}}};
}

// The clip the cameras above stream (the same params gives the same bytes):
// the simulator's default preset.
sim::VideoClipParams EngineClipParams() {
    sim::VideoClipParams params;
    params.name = "Bench";
    params.width = 1280;
    params.height = 720;
    params.fps = kFps;
    params.gop = 25;
    params.bitRate = 2000000;
    params.seconds = 4;
    return params;
}

// The decoder and converter of a channel without its threads and network:
// what a picture costs on the video thread alone.
double DecodeAndConvertCpuPerFrame(const sim::VideoClip& clip, PictureSize pane, int rounds) {
    std::vector<std::unique_ptr<FrameBuffer>> frames;
    for (const auto& f : clip.frames) {
        auto buffer = std::make_unique<FrameBuffer>(f.data.size());
        std::copy(f.data.begin(), f.data.end(), buffer->Data());
        buffer->header.size = static_cast<uint32_t>(f.data.size());
        frames.push_back(std::move(buffer));
    }
    HeadlessVideoSink sink(pane, HeadlessVideoSink::SizeMode::kPane);
    CHalvexDecoder decoder;
    PictureRenderer renderer;
    decoder.SetPictureCallback([&](const AVFrame& picture) { renderer.Render(picture, sink, {}); });
    double begin = ThreadCpuSeconds();
    for (int round = 0; round < rounds; ++round) {
        for (auto& frame : frames) {
            decoder.Decode(frame->Data(), frame->Size());
        }
    }
    double cpu = ThreadCpuSeconds() - begin;
    return decoder.Pictures() > 0 ? cpu / static_cast<double>(decoder.Pictures()) : 0;
}

// --convert: what the video thread's conversion costs per picture for the
// pane sizes of the window benchmark's walls, next to a memcpy of the
// converted picture and the bare decode of its source.
struct ConvertCase {
    const char* what;
    bool sub;
    PictureSize pane;
};

int RunConvertBench() {
    sim::ClipCache::Instance().SetDiskFolder(sim::ClipStore::FolderFromEnvironment());
    sim::VideoClipParams mainParams = EngineClipParams();
    sim::VideoClipParams subParams = EngineClipParams();
    subParams.width = 640;
    subParams.height = 360;
    subParams.bitRate = 512000;
    auto clips = std::array{sim::ClipCache::Instance().Get(mainParams),
                            sim::ClipCache::Instance().Get(subParams)};
    std::array<std::vector<ffmpeg::FramePtr>, 2> pictures;
    std::array<double, 2> bare{};
    for (int c = 0; c < 2; ++c) {
        if (clips[c]->frames.empty()) {
            std::fprintf(stderr, "live_bench: no H.264 encoder\n");
            return 1;
        }
        bare[c] = ReferenceCpuPerFrame(*clips[c], 2);
        CHalvexDecoder decoder;
        decoder.SetPictureCallback([&](const AVFrame& picture) {
            if (pictures[c].size() < 25) {
                ffmpeg::FramePtr copy = ffmpeg::MakeFrame();
                av_frame_ref(copy.get(), &picture);
                pictures[c].push_back(std::move(copy));
            }
        });
        for (const auto& f : clips[c]->frames) {
            std::vector<uint8_t> data(f.data);
            data.resize(f.data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
            decoder.Decode(data.data(), f.data.size());
        }
    }
    std::printf("conversion per picture on one thread (bare decode: 720p %.3f ms, 360p %.3f ms)\n",
                bare[0] * 1000, bare[1] * 1000);
    std::printf("%-34s %10s %10s %10s %10s\n", "case", "pane", "convert ms", "memcpy ms",
                "vs decode");
    const ConvertCase cases[] = {
        {"1 x 1, 720p at its own size", false, {1280, 720}},
        {"2 x 2 wall, 720p", false, {950, 530}},
        {"4 x 4 wall, 360p sub", true, {360, 236}},
        {"6 x 6 wall, 360p sub", true, {311, 171}},
        {"8 x 8 wall, 360p sub", true, {232, 126}},
    };
    for (const ConvertCase& test : cases) {
        PictureSlots slots;
        PictureRenderer renderer;
        const auto& source = pictures[test.sub ? 1 : 0];
        std::vector<uint32_t> copyTarget(static_cast<size_t>(test.pane.width) * test.pane.height);
        int rounds = test.sub ? 40 : 8;
        double begin = ThreadCpuSeconds();
        for (int round = 0; round < rounds; ++round) {
            for (const auto& picture : source) {
                PictureSlot slot = slots.Acquire(test.pane);
                renderer.Convert(*picture, slot);
                slots.Publish({});
            }
        }
        double convert = (ThreadCpuSeconds() - begin) / (rounds * source.size());
        const PictureSlots::Picture& last = slots.Latest();
        begin = ThreadCpuSeconds();
        for (int round = 0; round < rounds * 25; ++round) {
            for (int y = 0; y < last.height; ++y) {
                std::memcpy(copyTarget.data() + static_cast<size_t>(y) * last.width,
                            reinterpret_cast<const uint8_t*>(last.pixels) +
                                static_cast<ptrdiff_t>(y) * last.strideBytes,
                            static_cast<size_t>(last.width) * 4);
            }
        }
        double copy = (ThreadCpuSeconds() - begin) / (rounds * 25);
        char pane[32];
        std::snprintf(pane, sizeof pane, "%dx%d", test.pane.width, test.pane.height);
        std::printf("%-34s %10s %10.3f %10.3f %9.2fx\n", test.what, pane, convert * 1000,
                    copy * 1000, convert / bare[test.sub ? 1 : 0]);
    }
    return 0;
}

// --serve N: the cameras, in their own process so their CPU is not ours.
int Serve(int count) {
    // Encoded (or read from the simulator's disk cache) before anyone connects.
    sim::ClipCache::Instance().SetDiskFolder(sim::ClipStore::FolderFromEnvironment());
    sim::ClipCache::Instance().Get(EngineClipParams());
    std::vector<std::unique_ptr<sim::StreamTestServer>> servers;
    for (int i = 0; i < count; ++i) {
        servers.push_back(std::make_unique<sim::StreamTestServer>(BenchCamera(i)));
        if (!servers.back()->Start()) {
            std::fprintf(stderr, "live_bench: cannot listen\n");
            return 1;
        }
        std::printf("%d\n", servers.back()->Port());
    }
    std::printf("ready\n");
    std::fflush(stdout);
    char line[64];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        if (std::strncmp(line, "sent", 4) == 0) {
            uint64_t sent = 0;
            for (auto& server : servers) {
                sent += server->Camera()->videoFramesSent.load();
            }
            std::printf("%llu\n", static_cast<unsigned long long>(sent));
            std::fflush(stdout);
        }
    }
    return 0;
}

using bench::Child;

// A headless pane that notes each picture's latency from its send stamp to
// the end of its conversion (the engine's share of the way to the screen).
class LatencySink : public HeadlessVideoSink {
  public:
    LatencySink(PictureSize size, LatencyRecorder& recorder, SizeMode mode)
        : HeadlessVideoSink(size, mode), recorder_(recorder) {}
    void EndPicture(const VideoOverlay& overlay) override {
        HeadlessVideoSink::EndPicture(overlay);
        recorder_.AddStamp(overlay.sendStamp, SendStampNow());
    }

  private:
    LatencyRecorder& recorder_;
};

Child SpawnServer(const char* self, int count) {
    return bench::SpawnChild(self, {self, "--serve", std::to_string(count)});
}

uint64_t AskSent(Child& child) {
    std::fprintf(child.in, "sent\n");
    std::fflush(child.in);
    unsigned long long sent = 0;
    if (std::fscanf(child.out, "%llu", &sent) != 1) {
        return 0;
    }
    return sent;
}

struct Row {
    int cameras = 0;
    int paneWidth = 0;
    int paneHeight = 0;
    double decodedPerSecond = 0;
    double sentPerSecond = 0;
    uint64_t dropped = 0;
    double cpuPerPictureMs = 0;
    double ratio = 0;
    double mibPerChannel = 0;
    double serverCpuPercent = 0;
    double referenceMs = 0;
    uint32_t latencyP50 = 0;
    uint32_t latencyP99 = 0;
    bool sustained = false;
};

// The machine may be shared: the reference is measured right before and
// right after each wall's window, under the same load, and averaged.
Row RunWall(const char* self, int count, int warmupSeconds, int seconds, const sim::VideoClip& clip,
            int decoderThreads, HeadlessVideoSink::SizeMode sizeMode) {
    Row row;
    row.cameras = count;
    int n = static_cast<int>(std::ceil(std::sqrt(count)));
    // The pane's picture area: the wall cell less its frame.
    row.paneWidth = 1920 / n - 5;
    row.paneHeight = 1080 / n - 5;

    Child child = SpawnServer(self, count);
    if (child.pid < 0 || child.out == nullptr) {
        std::fprintf(stderr, "live_bench: cannot start the cameras\n");
        return row;
    }
    std::vector<int> ports;
    char line[64];
    while (std::fgets(line, sizeof line, child.out) != nullptr && std::strncmp(line, "ready", 5)) {
        ports.push_back(std::atoi(line));
    }

    double residentBefore = static_cast<double>(ResidentBytes()) / (1024.0 * 1024.0);
    LatencyRecorder latency;
    std::vector<std::unique_ptr<HeadlessVideoSink>> sinks;
    std::vector<std::unique_ptr<CXOMPPlayer>> channels;
    for (int i = 0; i < static_cast<int>(ports.size()); ++i) {
        sinks.push_back(std::make_unique<LatencySink>(PictureSize{row.paneWidth, row.paneHeight},
                                                      latency, sizeMode));
        LiveChannelOptions options;
        options.videoSink = sinks.back().get();
        options.name = "cam" + std::to_string(i);
        options.decoderThreads = decoderThreads;
        channels.push_back(std::make_unique<CXOMPPlayer>(options));
        auto record = NewDeviceInfo();
        record->SetUrl("ssp://127.0.0.1:" + std::to_string(ports[static_cast<size_t>(i)]));
        record->SetUser("admin");
        record->SetPassword("admin");
        record->SetId(BenchCamera(i)["id"].get<std::string>());
        record->SetName("Bench");
        record->status = DeviceInfo::kStatusOnline;
        channels.back()->Open(record.get(), nullptr);
    }
    std::this_thread::sleep_for(std::chrono::seconds(warmupSeconds));

    auto totals = [&] {
        LiveChannelStats sum;
        for (auto& channel : channels) {
            LiveChannelStats s = channel->Stats();
            sum.decoded += s.decoded;
            sum.videoFrames += s.videoFrames;
            sum.droppedQueue += s.droppedQueue;
            sum.droppedGate += s.droppedGate;
            sum.droppedInvalid += s.droppedInvalid;
        }
        return sum;
    };
    double referenceBefore = ReferenceCpuPerFrame(clip, 1);
    LiveChannelStats before = totals();
    latency.Reset();
    uint64_t sentBefore = AskSent(child);
    double cpuBefore = ProcessCpuMicroseconds() / 1e6;
    auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    LiveChannelStats after = totals();
    uint64_t sentAfter = AskSent(child);
    double cpu = ProcessCpuMicroseconds() / 1e6 - cpuBefore;
    double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    double resident = static_cast<double>(ResidentBytes()) / (1024.0 * 1024.0);
    row.latencyP50 = latency.Percentile(50);
    row.latencyP99 = latency.Percentile(99);
    double referenceCpu = (referenceBefore + ReferenceCpuPerFrame(clip, 1)) / 2;
    row.referenceMs = referenceCpu * 1000.0;

    for (auto& channel : channels) {
        channel->Close();
    }
    channels.clear();

    std::fclose(child.in);  // end of its stdin: the server ends
    rusage childUsage{};
    int status = 0;
    wait4(child.pid, &status, 0, &childUsage);
    std::fclose(child.out);
    double childCpu =
        static_cast<double>(childUsage.ru_utime.tv_sec + childUsage.ru_stime.tv_sec) +
        static_cast<double>(childUsage.ru_utime.tv_usec + childUsage.ru_stime.tv_usec) / 1e6;

    uint64_t decoded = after.decoded - before.decoded;
    row.decodedPerSecond = static_cast<double>(decoded) / wall;
    row.sentPerSecond = static_cast<double>(sentAfter - sentBefore) / wall;
    row.dropped = (after.droppedQueue - before.droppedQueue) +
                  (after.droppedGate - before.droppedGate) +
                  (after.droppedInvalid - before.droppedInvalid);
    row.cpuPerPictureMs = decoded > 0 ? cpu / static_cast<double>(decoded) * 1000.0 : 0;
    row.ratio = referenceCpu > 0 ? row.cpuPerPictureMs / (referenceCpu * 1000.0) : 0;
    row.mibPerChannel = (resident - residentBefore) / count;
    // Over the whole life of the child (with the clip encoding when it was
    // not in the disk cache yet).
    row.serverCpuPercent = childCpu;
    row.sustained = row.dropped == 0 && row.decodedPerSecond >= 0.97 * count * kFps;
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    av_log_set_level(AV_LOG_FATAL);
    int maxCameras = 36;
    int seconds = 10;
    int warmup = 3;
    int decoderThreads = 1;
    // Panes get pictures at their size up to the stream's; --upscale
    // converts at the pane's size even above it (a full-size copy the
    // painter then copies again), for comparison.
    auto sizeMode = HeadlessVideoSink::SizeMode::kPane;
    int only = 0;
    bool window = false;
    bench::WindowBenchOptions windowOptions;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--serve" && i + 1 < argc) {
            return Serve(std::atoi(argv[i + 1]));
        } else if (arg == "--upscale") {
            sizeMode = HeadlessVideoSink::SizeMode::kFixed;
        } else if (arg == "--window") {
            window = true;
        } else if (arg == "--convert") {
            return RunConvertBench();
        } else if (arg == "--cameras" && i + 1 < argc) {
            windowOptions.cameras.clear();
            for (const char* p = argv[++i]; *p != '\0';) {
                char* end = nullptr;
                long value = std::strtol(p, &end, 10);
                if (end == p || value < 1 || value > 128) {
                    std::fprintf(stderr, "live_bench: --cameras takes N[,N...] (1..128)\n");
                    return 2;
                }
                windowOptions.cameras.push_back(static_cast<int>(value));
                p = *end == ',' ? end + 1 : end;
            }
        } else if (arg == "--policy" && i + 1 < argc) {
            std::string policy = argv[++i];
            windowOptions.policies = policy == "on"    ? std::vector<int>{1}
                                     : policy == "off" ? std::vector<int>{0}
                                                       : std::vector<int>{0, 1};
        } else if (arg == "--rounds" && i + 1 < argc) {
            windowOptions.rounds = std::clamp(std::atoi(argv[++i]), 1, 20);
        } else if (arg == "--sim-nice" && i + 1 < argc) {
            windowOptions.simNice = std::clamp(std::atoi(argv[++i]), 0, 19);
        } else if (arg == "--source" && i + 1 < argc) {
            windowOptions.sourceDir = argv[++i];
        } else if (arg == "--max" && i + 1 < argc) {
            maxCameras = std::atoi(argv[++i]);
        } else if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::max(1, std::atoi(argv[++i]));
            windowOptions.seconds = seconds;
        } else if (arg == "--warmup" && i + 1 < argc) {
            warmup = std::max(1, std::atoi(argv[++i]));
            windowOptions.warmupSeconds = warmup;
        } else if (arg == "--only" && i + 1 < argc) {
            only = std::atoi(argv[++i]);
        } else if (arg == "--decoder-threads" && i + 1 < argc) {
            decoderThreads = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr,
                         "usage: live_bench [--max N | --only N] [--seconds S] [--warmup S] "
                         "[--decoder-threads T] [--upscale]\n"
                         "       live_bench --window [--cameras N[,N...]] [--policy on|off|both] "
                         "[--seconds S] [--warmup S] [--sim-nice N] [--rounds R] [--source DIR]\n"
                         "       live_bench --convert\n");
            return 2;
        }
    }
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return 1;
    }
    self[length] = '\0';
    if (window) {
        // The client of this build: bin/live_bench -> bin/orbisight.
        std::string bin = std::filesystem::path(self).parent_path().string();
        windowOptions.buildDir = std::filesystem::path(bin).parent_path().string();
        if (windowOptions.sourceDir.empty()) {
            windowOptions.sourceDir = ORBISIGHT_CHECKOUT;
        }
        return bench::RunWindowBench(windowOptions);
    }

    std::printf("encoding the reference clip (720p25, GOP 25, 2 Mbit/s)...\n");
    std::fflush(stdout);
    orbisight::sim::ClipCache::Instance().SetDiskFolder(
        orbisight::sim::ClipStore::FolderFromEnvironment());
    auto clip = orbisight::sim::ClipCache::Instance().Get(EngineClipParams());
    if (clip->frames.empty()) {
        std::fprintf(stderr, "live_bench: no H.264 encoder\n");
        return 1;
    }
    double reference = ReferenceCpuPerFrame(*clip, 3);
    std::printf(
        "reference: bare libavcodec decode, 1 thread, no conversion: %.3f ms CPU per picture\n",
        reference * 1000.0);
    double interleaved = ReferenceCpuPerFrame(*clip, 1, 16);
    std::printf("16 bare decoders taking the frames in turn on one thread: %.3f ms (%.2fx)\n",
                interleaved * 1000.0, reference > 0 ? interleaved / reference : 0.0);
    double wallPicture = DecodeAndConvertCpuPerFrame(*clip, {475, 265}, 3);
    std::printf(
        "decoder + conversion into a 4 x 4 pane (475x265), no threads or network: %.3f ms "
        "(%.2fx)\n\n",
        wallPicture * 1000.0, reference > 0 ? wallPicture / reference : 0.0);
    std::printf("%8s %10s %10s %10s %8s %11s %9s %8s %9s %12s %10s %8s %8s\n", "cameras", "pane",
                "decoded/s", "sent/s", "dropped", "CPU ms/pic", "bare ms", "ratio", "vs start",
                "MiB/channel", "sim CPU s", "p50 ms", "p99 ms");
    int best = 0;
    for (int count : {1, 4, 9, 16, 25, 36}) {
        if (count > maxCameras) {
            break;
        }
        if (only != 0 && count != only) {
            continue;
        }
        Row row = RunWall(self, count, warmup, seconds, *clip, decoderThreads, sizeMode);
        char pane[32];
        std::snprintf(pane, sizeof pane, "%dx%d", row.paneWidth, row.paneHeight);
        std::printf(
            "%8d %10s %10.1f %10.1f %8llu %11.3f %9.3f %7.2fx %8.2fx %12.1f %10.1f %8u %8u%s\n",
            count, pane, row.decodedPerSecond, row.sentPerSecond,
            static_cast<unsigned long long>(row.dropped), row.cpuPerPictureMs, row.referenceMs,
            row.ratio, reference > 0 ? row.cpuPerPictureMs / (reference * 1000.0) : 0.0,
            row.mibPerChannel, row.serverCpuPercent, row.latencyP50, row.latencyP99,
            row.sustained ? "" : "  (not sustained)");
        std::fflush(stdout);
        if (row.sustained) {
            best = count;
        }
    }
    std::printf("\nlargest wall sustained without drops: %d cameras\n", best);
    return 0;
}
