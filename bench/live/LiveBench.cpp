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
// conversion.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "account/DeviceInfo.h"
#include "bench/common/ChildProcess.h"
#include "media/CHalvexDecoder.h"
#include "media/CXOMPPlayer.h"
#include "media/HeadlessVideoSink.h"
#include "media/MediaFrame.h"
#include "media/PictureRenderer.h"
#include "sim/stream/ClipCache.h"
#include "sim/stream/SimStreamCamera.h"
#include "sim/stream/StreamTestServer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

namespace {

using namespace orbisight;

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
sim::VideoClipParams BenchSpec() {
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

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double ResidentMiB() {
    long pages = 0;
    long resident = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm != nullptr) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

// The reference: the same frames through a bare libavcodec decoder. With
// streams > 1, that many decoders take the frames in turn on the one thread,
// as the video threads of a wall share a core's caches.
double ReferenceCpuPerFrame(const sim::VideoClip& clip, int rounds, int streams = 1) {
    const AVCodec* h264 = avcodec_find_decoder(AV_CODEC_ID_H264);
    std::vector<AVCodecContext*> contexts;
    for (int i = 0; i < streams; ++i) {
        AVCodecContext* context = avcodec_alloc_context3(h264);
        context->thread_count = 1;
        avcodec_open2(context, h264, nullptr);
        contexts.push_back(context);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<std::vector<uint8_t>> padded;
    for (const auto& f : clip.frames) {
        std::vector<uint8_t> data(f.data);
        data.resize(f.data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        padded.push_back(std::move(data));
    }
    long frames = 0;
    double begin = ThreadCpuSeconds();
    for (int round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < padded.size(); ++i) {
            for (AVCodecContext* context : contexts) {
                packet->data = padded[i].data();
                packet->size = static_cast<int>(clip.frames[i].data.size());
                if (avcodec_send_packet(context, packet) == 0) {
                    while (avcodec_receive_frame(context, frame) == 0) {
                        ++frames;
                        av_frame_unref(frame);
                    }
                }
            }
        }
    }
    double cpu = ThreadCpuSeconds() - begin;
    packet->data = nullptr;
    packet->size = 0;
    av_frame_free(&frame);
    av_packet_free(&packet);
    for (AVCodecContext* context : contexts) {
        avcodec_free_context(&context);
    }
    return frames > 0 ? cpu / static_cast<double>(frames) : 0;
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
    HeadlessVideoSink sink(pane);
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

// --serve N: the cameras, in their own process so their CPU is not ours.
int Serve(int count) {
    // Encoded (or read from the simulator's disk cache) before anyone connects.
    sim::ClipCache::Instance().SetDiskFolder(sim::ClipStore::FolderFromEnvironment());
    sim::ClipCache::Instance().Get(BenchSpec());
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
    bool sustained = false;
};

// The machine may be shared: the reference is measured right before and
// right after each wall's window, under the same load, and averaged.
Row RunWall(const char* self, int count, int warmupSeconds, int seconds, const sim::VideoClip& clip,
            int decoderThreads) {
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

    double residentBefore = ResidentMiB();
    std::vector<std::unique_ptr<HeadlessVideoSink>> sinks;
    std::vector<std::unique_ptr<CXOMPPlayer>> channels;
    for (int i = 0; i < static_cast<int>(ports.size()); ++i) {
        sinks.push_back(
            std::make_unique<HeadlessVideoSink>(PictureSize{row.paneWidth, row.paneHeight}));
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
    uint64_t sentBefore = AskSent(child);
    double cpuBefore = CpuSeconds(RUSAGE_SELF);
    auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    LiveChannelStats after = totals();
    uint64_t sentAfter = AskSent(child);
    double cpu = CpuSeconds(RUSAGE_SELF) - cpuBefore;
    double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    double resident = ResidentMiB();
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
    int only = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--serve" && i + 1 < argc) {
            return Serve(std::atoi(argv[i + 1]));
        } else if (arg == "--max" && i + 1 < argc) {
            maxCameras = std::atoi(argv[++i]);
        } else if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--warmup" && i + 1 < argc) {
            warmup = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--only" && i + 1 < argc) {
            only = std::atoi(argv[++i]);
        } else if (arg == "--decoder-threads" && i + 1 < argc) {
            decoderThreads = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr,
                         "usage: live_bench [--max N | --only N] [--seconds S] [--warmup S] "
                         "[--decoder-threads T]\n");
            return 2;
        }
    }
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return 1;
    }
    self[length] = '\0';

    std::printf("encoding the reference clip (720p25, GOP 25, 2 Mbit/s)...\n");
    std::fflush(stdout);
    orbisight::sim::ClipCache::Instance().SetDiskFolder(
        orbisight::sim::ClipStore::FolderFromEnvironment());
    auto clip = orbisight::sim::ClipCache::Instance().Get(BenchSpec());
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
    std::printf("%8s %10s %10s %10s %8s %11s %9s %8s %9s %12s %10s\n", "cameras", "pane",
                "decoded/s", "sent/s", "dropped", "CPU ms/pic", "bare ms", "ratio", "vs start",
                "MiB/channel", "sim CPU s");
    int best = 0;
    for (int count : {1, 4, 9, 16, 25, 36}) {
        if (count > maxCameras) {
            break;
        }
        if (only != 0 && count != only) {
            continue;
        }
        Row row = RunWall(self, count, warmup, seconds, *clip, decoderThreads);
        char pane[32];
        std::snprintf(pane, sizeof pane, "%dx%d", row.paneWidth, row.paneHeight);
        std::printf(
            "%8d %10s %10.1f %10.1f %8llu %11.3f %9.3f %7.2fx %8.2fx %12.1f %10.1f%s\n", count,
            pane, row.decodedPerSecond, row.sentPerSecond,
            static_cast<unsigned long long>(row.dropped), row.cpuPerPictureMs, row.referenceMs,
            row.ratio, reference > 0 ? row.cpuPerPictureMs / (reference * 1000.0) : 0.0,
            row.mibPerChannel, row.serverCpuPercent, row.sustained ? "" : "  (not sustained)");
        std::fflush(stdout);
        if (row.sustained) {
            best = count;
        }
    }
    std::printf("\nlargest wall sustained without drops: %d cameras\n", best);
    return 0;
}
