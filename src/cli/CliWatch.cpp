// orbisight-cli watch: one live channel with a headless video sink, reporting
// once a second what arrives and what is decoded.

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "account/DeviceInfo.h"
#include "cli/CliArgs.h"
#include "media/CHalvexRecorder.h"
#include "media/CXOMPPlayer.h"
#include "media/HeadlessVideoSink.h"
#include "media/SnapshotWriter.h"
#include "platform/Clock.h"

namespace orbisight::cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;

// A recording or snapshot could not be written.
constexpr int kExitCannotWrite = 6;
// How long a snapshot asked for may wait for its picture after the run.
constexpr uint64_t kSnapshotGraceMs = 5000;

void OnSignal(int) {
    interrupted = 1;
}

int WatchUsage(const std::string& problem) {
    if (!problem.empty()) {
        std::fprintf(stderr, "orbisight-cli: %s\n", problem.c_str());
    }
    std::fprintf(
        stderr,
        "usage: orbisight-cli watch --address LIST --user U --password P --id ID\n"
        "                           [--local] [--seconds N] [--sub-stream]\n"
        "                           [--pane WxH | --no-pictures] [--listen] [--name NAME]\n"
        "                           [--record DIR] [--snapshot FILE]\n"
        "                           [--rendezvous HOST[:PORT]]\n"
        "  LIST is a camera address list such as \"ssp://127.0.0.1:6001\" or\n"
        "  \"ssp://127.0.0.1:6003;tutkid://P2PORBI00000003\";\n"
        "  --rendezvous names the peer-to-peer service for \"tutkid://\" entries\n"
        "  (default 127.0.0.1:5570);\n"
        "  --sub-stream asks a local camera for its small stream (implies --local);\n"
        "  pictures are converted at the decoded size unless --pane gives a pane\n"
        "  size or --no-pictures only decodes; --listen asks for the sound too\n"
        "  and plays it through ORBISIGHT_AUDIO (\"wav:DIR\" writes DIR/watch-out-N.wav,\n"
        "  \"null\" drops it, unset plays it on the sound card).\n"
        "  --record DIR records the stream into DIR/NAME(ID)/DATE/*.264;\n"
        "  --snapshot FILE saves the next picture as FILE (.jpg, .jpeg, .png or .bmp).\n");
    return kExitUsage;
}

bool ParseSize(const std::string& text, PictureSize& size) {
    int width = 0;
    int height = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &extra) != 2 || width <= 0 ||
        height <= 0 || width > 8192 || height > 8192) {
        return false;
    }
    size = {width, height};
    return true;
}

struct Totals {
    LiveChannelStats stats;
    PictureSize size;
    bool connected = false;
    bool mediaOverPeer = false;
};

// Which transport carried the video frames so far.
const char* Transport(const LiveChannelStats& stats) {
    uint64_t peer = stats.peerVideoFrames;
    uint64_t direct = stats.videoFrames - std::min(peer, stats.videoFrames);
    if (peer > 0 && direct > 0) {
        return "both";
    }
    return peer > 0 ? "p2p" : direct > 0 ? "direct" : "none";
}

nlohmann::json Report(const Totals& now, double fps) {
    return {{"connected", now.connected},
            {"video_frames", now.stats.videoFrames},
            {"audio_frames", now.stats.audioFrames},
            {"decoded", now.stats.decoded},
            {"dropped_queue", now.stats.droppedQueue},
            {"dropped_gate", now.stats.droppedGate},
            {"dropped_invalid", now.stats.droppedInvalid},
            {"width", now.size.width},
            {"height", now.size.height},
            {"fps", fps},
            {"reconnects", now.stats.reconnects},
            {"p2p_video_frames", now.stats.peerVideoFrames},
            {"direct_video_frames", now.stats.videoFrames - now.stats.peerVideoFrames},
            {"media_over_p2p", now.mediaOverPeer},
            {"transport", Transport(now.stats)}};
}

Totals Read(const CXOMPPlayer& channel) {
    Totals totals;
    totals.stats = channel.Stats();
    totals.connected = channel.Connected();
    totals.mediaOverPeer = channel.MediaOverPeer();
    // The decoder reports a placeholder size until its first picture.
    if (totals.stats.decoded > 0) {
        totals.size = channel.PictureSizeForPoints();
    }
    return totals;
}

// The reason of the latest recording or snapshot failure the channel told.
std::string FailureText(NoticeQueue& notices) {
    Notice notice;
    std::string text = "unknown reason";
    while (notices.WaitFor(notice::kMediaFileFailed, notice, 0)) {
        text = notice.text;
    }
    return text;
}

bool PendingFailure(NoticeQueue& notices) {
    Notice notice;
    if (!notices.WaitFor(notice::kMediaFileFailed, notice, 0)) {
        return false;
    }
    notices.Post(notice);  // kept for FailureText
    return true;
}

void Print(const nlohmann::json& line) {
    std::printf("%s\n", line.dump().c_str());
    std::fflush(stdout);
}

}  // namespace

int RunWatch(const std::vector<std::string>& words) {
    std::string error;
    const std::set<std::string> flags = {"local", "sub-stream", "no-pictures", "listen"};
    auto args = CliArgs::Parse(words, flags, error);
    if (!args) {
        return WatchUsage(error);
    }
    auto unknown = args->Unknown({"address", "user", "password", "id", "local", "seconds",
                                  "sub-stream", "pane", "no-pictures", "listen", "name", "record",
                                  "snapshot", "rendezvous"});
    if (!unknown.empty()) {
        return WatchUsage("unknown option --" + unknown.front());
    }
    if (!args->Positional().empty()) {
        return WatchUsage("unexpected \"" + args->Positional().front() + "\"");
    }
    std::string address = args->Get("address");
    if (address.empty()) {
        return WatchUsage("--address is required");
    }
    if (address.find("://") == std::string::npos) {
        address = "ssp://" + address;  // a bare host:port
    }
    auto seconds = args->GetNumber("seconds", 10);
    if (!seconds || *seconds < 1 || *seconds > 86400 * 365) {
        return WatchUsage("--seconds needs a whole number of seconds");
    }
    std::string recordFolder = args->Get("record");
    if (args->Has("record") && recordFolder.empty()) {
        return WatchUsage("--record needs a folder");
    }
    std::string snapshotPath = args->Get("snapshot");
    if (args->Has("snapshot") && (snapshotPath.empty() || !KnownImageExtension(snapshotPath) ||
                                  std::filesystem::path(snapshotPath).filename() ==
                                      std::filesystem::path(snapshotPath).extension())) {
        return WatchUsage("--snapshot needs a file name ending in .jpg, .jpeg, .png or .bmp");
    }
    PeerSettings peer;
    if (args->Has("rendezvous")) {
        std::string text = args->Get("rendezvous");
        size_t colon = text.rfind(':');
        peer.rendezvousHost = text.substr(0, colon);
        if (colon != std::string::npos) {
            std::string digits = text.substr(colon + 1);
            int port = 0;
            char extra = 0;
            if (std::sscanf(digits.c_str(), "%d%c", &port, &extra) != 1 || port < 1 ||
                port > 65535) {
                return WatchUsage("--rendezvous needs HOST or HOST:PORT (port 1 to 65535)");
            }
            peer.rendezvousPort = port;
        }
        if (peer.rendezvousHost.empty() || peer.rendezvousHost.size() > 127) {
            return WatchUsage("--rendezvous needs HOST or HOST:PORT (port 1 to 65535)");
        }
    }
    bool subStream = args->Has("sub-stream");
    bool local = args->Has("local") || subStream;

    std::unique_ptr<HeadlessVideoSink> sink;
    if (args->Has("pane")) {
        PictureSize pane;
        if (!ParseSize(args->Get("pane"), pane)) {
            return WatchUsage("--pane needs WIDTHxHEIGHT");
        }
        sink = std::make_unique<HeadlessVideoSink>(pane);
    } else if (args->Has("no-pictures")) {
        sink = std::make_unique<HeadlessVideoSink>(HeadlessVideoSink::SizeMode::kNoPictures);
    } else {
        sink = std::make_unique<HeadlessVideoSink>(HeadlessVideoSink::SizeMode::kSourceSize);
    }

    auto record = NewDeviceInfo();
    record->SetUrl(address);
    record->SetUser(args->Get("user"));
    record->SetPassword(args->Get("password"));
    record->SetId(args->Get("id"));
    record->SetName(args->Get("name", args->Get("id")));
    record->local = local ? 1 : 0;
    // Watched cameras count as on-line, so a lost connection is retried.
    record->status = DeviceInfo::kStatusOnline;

    LiveChannelOptions options;
    options.localBigStream = !subStream;
    options.videoSink = sink.get();
    options.name = "watch";
    options.peer = peer;

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    CXOMPPlayer channel(options);
    NoticeQueue notices;
    CHalvexRecorder* recorder = nullptr;
    if (!recordFolder.empty()) {
        CHalvexRecorder::Options recorderOptions;
        recorderOptions.recordFolder = recordFolder;
        auto owned = std::make_unique<CHalvexRecorder>(std::move(recorderOptions));
        recorder = owned.get();
        channel.AttachRecorder(std::move(owned));
    }
    uint64_t start = TickCountMs();
    bool everConnected = channel.Open(record.get(), &notices) == 1;
    std::string writeError;
    if (recorder != nullptr && channel.ToggleRecording() != 1) {
        writeError = "cannot record: " + FailureText(notices);
    }
    if (writeError.empty() && !snapshotPath.empty()) {
        channel.TakeSnapshotTo(snapshotPath);
    }
    if (args->Has("listen")) {
        // Remembered: every later picture-stream start asks for the sound too.
        channel.SetListening(true);
    }
    Totals previous;
    long elapsed = 0;
    while (elapsed < *seconds && !interrupted && writeError.empty()) {
        uint64_t due = start + static_cast<uint64_t>(elapsed + 1) * 1000;
        while (TickCountMs() < due && !interrupted) {
            SleepMs(static_cast<int>(std::min<uint64_t>(100, due - TickCountMs())));
        }
        if (interrupted) {
            break;
        }
        ++elapsed;
        Totals now = Read(channel);
        everConnected = everConnected || now.connected;
        nlohmann::json line =
            Report(now, static_cast<double>(now.stats.decoded - previous.stats.decoded));
        line["t"] = elapsed;
        if (recorder != nullptr) {
            line["recording"] = channel.Recording();
            line["record_file"] = recorder->CurrentFile();
        }
        if (!channel.Recording() && recorder != nullptr) {
            writeError = "recording stopped: " + FailureText(notices);
        }
        Print(line);
        previous = now;
    }
    if (writeError.empty() && recorder != nullptr && !channel.Recording()) {
        writeError = "recording stopped: " + FailureText(notices);
    }
    // A snapshot asked for waits a little for its picture.
    uint64_t graceEnd = TickCountMs() + kSnapshotGraceMs;
    while (writeError.empty() && !snapshotPath.empty() && channel.SnapshotsSaved() == 0 &&
           !interrupted && TickCountMs() < graceEnd) {
        if (PendingFailure(notices)) {
            writeError = "snapshot not saved: " + FailureText(notices);
            break;
        }
        SleepMs(20);
    }
    double runSeconds = static_cast<double>(TickCountMs() - start) / 1000.0;
    Totals last = Read(channel);
    everConnected = everConnected || last.connected;
    if (recorder != nullptr && channel.Recording()) {
        channel.ToggleRecording();
    }
    channel.Close();

    nlohmann::json summary =
        Report(last, runSeconds > 0 ? static_cast<double>(last.stats.decoded) / runSeconds : 0.0);
    summary["summary"] = true;
    summary["seconds"] = runSeconds;
    summary["ever_connected"] = everConnected;
    if (recorder != nullptr) {
        summary["record_files"] = recorder->Files();
        summary["record_bytes"] = recorder->BytesWritten();
    }
    if (!snapshotPath.empty()) {
        summary["snapshot"] = channel.SnapshotsSaved() > 0 ? nlohmann::json(channel.LastSnapshot())
                                                           : nlohmann::json(nullptr);
    }
    Print(summary);
    if (!writeError.empty()) {
        std::fprintf(stderr, "orbisight-cli: %s\n", writeError.c_str());
        return kExitCannotWrite;
    }
    if (!everConnected) {
        std::fprintf(stderr, "orbisight-cli: no connection to the camera at %s\n", address.c_str());
        return kExitNoConnection;
    }
    if (!snapshotPath.empty() && channel.SnapshotsSaved() == 0) {
        std::fprintf(stderr, "orbisight-cli: no picture arrived for the snapshot\n");
        return kExitCannotWrite;
    }
    return kExitOk;
}

}  // namespace orbisight::cli
