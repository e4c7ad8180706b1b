// orbisight-cli talk: sends a WAV file to a camera as talk audio, the way the
// device panel's talk button sends the microphone.

#include <cstdio>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "account/DeviceInfo.h"
#include "cli/CliArgs.h"
#include "cli/CliCameraSession.h"
#include "media/AudioDevice.h"
#include "media/CWaveIn.h"
#include "media/CXOMPPlayer.h"
#include "media/WavFile.h"
#include "platform/Clock.h"

namespace orbisight::cli {
namespace {

// After the file has been spoken: time for the last frames to go out.
constexpr int kTailMs = 600;

int TalkUsage(const std::string& problem) {
    if (!problem.empty()) {
        std::fprintf(stderr, "orbisight-cli: %s\n", problem.c_str());
    }
    std::fprintf(stderr,
                 "usage: orbisight-cli talk --address LIST --user U --password P --id ID\n"
                 "                          --wav FILE [--local] [--timeout-ms MS]\n"
                 "  FILE is 16-bit PCM WAV, mono or stereo, at any rate: it is captured\n"
                 "  as a microphone would be (8000 Hz mono, 16000 Hz for IDs beginning\n"
                 "  with \"c\"), encoded to AAC and sent in real time.\n");
    return kExitUsage;
}

}  // namespace

int RunTalk(const std::vector<std::string>& words) {
    std::string error;
    auto args = CliArgs::Parse(words, {"local"}, error);
    if (!args) {
        return TalkUsage(error);
    }
    std::set<std::string> known = CameraOptionNames();
    known.insert({"wav", "local"});
    auto unknown = args->Unknown(known);
    if (!unknown.empty()) {
        return TalkUsage("unknown option --" + unknown.front());
    }
    if (!args->Positional().empty()) {
        return TalkUsage("unexpected \"" + args->Positional().front() + "\"");
    }
    CameraOptions camera;
    if (!ReadCameraOptions(*args, camera)) {
        return TalkUsage("");
    }
    std::string wavPath = args->Get("wav");
    if (wavPath.empty()) {
        return TalkUsage("--wav FILE is required");
    }
    // Checked before connecting, so a bad file costs no connection.
    WavData wav;
    if (!ReadWavFile(wavPath, wav, error)) {
        std::fprintf(stderr, "orbisight-cli: %s\n", error.c_str());
        return kExitUsage;
    }
    if (wav.Frames() == 0) {
        std::fprintf(stderr, "orbisight-cli: %s holds no sound\n", wavPath.c_str());
        return kExitUsage;
    }
    double spokenSeconds = static_cast<double>(wav.Frames()) / wav.sampleRate;

    std::string address = camera.address;
    if (address.find("://") == std::string::npos) {
        address = "ssp://" + address;  // a bare host:port
    }
    auto record = NewDeviceInfo();
    record->SetUrl(address);
    record->SetUser(camera.user);
    record->SetPassword(camera.password);
    record->SetId(camera.id);
    record->SetName(camera.id);
    record->local = args->Has("local") ? 1 : 0;
    record->status = DeviceInfo::kStatusOnline;

    auto microphone = MakeFileMicrophone(wavPath);
    LiveChannelOptions options;
    options.audioBackend = microphone.get();
    options.name = "talk";
    CXOMPPlayer channel(options);
    if (channel.Open(record.get(), nullptr) != 1) {
        channel.Close();
        std::fprintf(stderr, "orbisight-cli: no connection to the camera at %s\n", address.c_str());
        return kExitNoConnection;
    }
    if (channel.StartTalk() != 1) {
        channel.Close();
        std::fprintf(stderr, "orbisight-cli: the sound of %s cannot be captured\n",
                     wavPath.c_str());
        return kExitUsage;
    }
    uint64_t start = TickCountMs();
    uint64_t until = start + static_cast<uint64_t>(spokenSeconds * 1000) + kTailMs;
    while (TickCountMs() < until && channel.Connected()) {
        SleepMs(50);
    }
    bool connected = channel.Connected();
    channel.StopTalk();
    LiveChannelStats stats = channel.Stats();
    channel.Close();

    nlohmann::json summary = {{"summary", true},
                              {"seconds", spokenSeconds},
                              {"capture_rate", CWaveIn::CaptureRateFor(camera.id)},
                              {"frames_sent", stats.talkFramesSent},
                              {"connected", connected}};
    std::printf("%s\n", summary.dump().c_str());
    if (!connected) {
        std::fprintf(stderr, "orbisight-cli: the camera went away while talking\n");
        return kExitNoConnection;
    }
    return kExitOk;
}

}  // namespace orbisight::cli
