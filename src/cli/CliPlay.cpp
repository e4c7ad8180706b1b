// orbisight-cli play: plays a ".264" recording as the playback window does,
// in real time, decoding every picture it would show, and reports the
// progress twice a second and a summary.

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/CliArgs.h"
#include "media/CH264FilePlayer.h"
#include "media/CWaveOut.h"
#include "media/MediaHooks.h"
#include "platform/Clock.h"

namespace orbisight::cli {
namespace {

// The file is missing, empty or not a recording.
constexpr int kExitNotPlayable = 6;
// The recording played up to damage (cut short or out of step).
constexpr int kExitDamaged = 7;

volatile std::sig_atomic_t interrupted = 0;

void OnSignal(int) {
    interrupted = 1;
}

int PlayUsage(const std::string& problem) {
    if (!problem.empty()) {
        std::fprintf(stderr, "orbisight-cli: %s\n", problem.c_str());
    }
    std::fprintf(
        stderr,
        "usage: orbisight-cli play FILE.264 [--speed N] [--seek P]\n"
        "  --speed 1 plays at the recording's pace; 2, 4, 8, 16 or 32 fast-forward\n"
        "  through its key frames; --seek starts at P percent of the records (0-99).\n"
        "  Sound plays through ORBISIGHT_AUDIO (\"wav:DIR\" writes DIR/play-out-N.wav).\n");
    return kExitUsage;
}

int NotPlayable(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "orbisight-cli: %s: %s\n", path.c_str(), why.c_str());
    return kExitNotPlayable;
}

void Print(const nlohmann::json& line) {
    std::printf("%s\n", line.dump().c_str());
    std::fflush(stdout);
}

}  // namespace

int RunPlay(const std::vector<std::string>& words) {
    std::string error;
    auto args = CliArgs::Parse(words, {}, error);
    if (!args) {
        return PlayUsage(error);
    }
    auto unknown = args->Unknown({"speed", "seek"});
    if (!unknown.empty()) {
        return PlayUsage("unknown option --" + unknown.front());
    }
    if (args->Positional().size() != 1) {
        return PlayUsage(args->Positional().empty() ? "a recording file is required"
                                                    : "only one recording at a time");
    }
    const std::string path = args->Positional().front();
    auto speed = args->GetNumber("speed", 1);
    if (!speed || (*speed != 1 && *speed != 2 && *speed != 4 && *speed != 8 && *speed != 16 &&
                   *speed != 32)) {
        return PlayUsage("--speed takes 1, 2, 4, 8, 16 or 32");
    }
    auto seek = args->GetNumber("seek", 0);
    if (!seek || *seek < 0 || *seek > 99) {
        return PlayUsage("--seek takes a percentage from 0 to 99");
    }

    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return NotPlayable(path, std::strerror(errno));
    }
    if (!S_ISREG(st.st_mode)) {
        return NotPlayable(path, "not a file");
    }
    if (st.st_size == 0) {
        return NotPlayable(path, "the file is empty");
    }

    // Sound goes to the output of ORBISIGHT_AUDIO ("wav:DIR" writes
    // DIR/play-out-N.wav, "null" drops it).
    CWaveOut audio(nullptr, "play");
    FilePlayerOptions options;
    options.audioSink = &audio;
    options.threadName = "cli/play";
    CH264FilePlayer player(options);
    player.SetSpeed(static_cast<int>(*speed));
    player.SetPaused(true);  // the seek is taken up before the first record
    if (player.OpenFile(path) != 1) {
        if (player.Index().Damaged()) {
            return NotPlayable(path, "not a recording (no whole video or audio record)");
        }
        return NotPlayable(path, "not a recording (no video or audio record)");
    }
    if (*seek > 0) {
        player.SeekPercent(static_cast<int>(*seek));
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    const RecordIndex& index = player.Index();
    const uint64_t start = TickCountMs();
    player.SetPaused(false);
    uint64_t nextReport = start + 500;
    while (player.Playing() && !interrupted) {
        SleepMs(10);
        if (TickCountMs() >= nextReport) {
            nextReport += 500;
            FilePlayerStats stats = player.Stats();
            Print({{"t", static_cast<double>(TickCountMs() - start) / 1000.0},
                   {"position", player.Progress()},
                   {"pictures", stats.pictures},
                   {"audio_records", stats.audioRecords}});
        }
    }
    bool ended = player.Ended();
    bool damaged = player.Damaged();
    FilePlayerStats stats = player.Stats();
    int progress = player.Progress();
    player.StopPlayback();

    nlohmann::json summary = {
        {"summary", true},
        {"file", path},
        {"entries", index.entries.size()},
        {"video_records", index.videoRecords},
        {"audio_records", index.audioRecords},
        {"duration_s", index.durationSeconds},
        {"speed", *speed},
        {"seek", *seek},
        {"position", progress},
        {"pictures", stats.pictures},
        {"decoded_records", stats.decodedRecords},
        {"key_frames", stats.keyFramesDecoded},
        {"audio_played", stats.audioRecords},
        {"skipped_large", stats.skippedLarge},
        {"ended", ended},
        {"damaged", damaged},
        {"seconds", static_cast<double>(TickCountMs() - start) / 1000.0},
    };
    if (damaged) {
        summary["damage"] = index.Damaged() ? RecordDamageText(index.damage)
                                            : "the recording is cut short or holds damaged data";
    }
    Print(summary);
    if (damaged) {
        std::fprintf(stderr, "orbisight-cli: %s: damaged, played up to the damage\n", path.c_str());
        return kExitDamaged;
    }
    return kExitOk;
}

}  // namespace orbisight::cli
