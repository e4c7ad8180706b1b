// Sound and talk against a simulated camera: what the camera sends is
// played, what the microphone captures reaches the camera.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "AudioTestSupport.h"
#include "ChannelTestSupport.h"
#include "media/CXOMPPlayer.h"
#include "sim/stream/AacClip.h"
#include "sim/stream/SimStreamCamera.h"
#include "sim/stream/StreamTestServer.h"

namespace orbisight {
namespace {

using test::Eventually;
using test::TempDir;

constexpr int kWaitMs = 8000;

nlohmann::json Camera(const std::string& id, const std::string& talkDir = {}) {
    nlohmann::json camera = {
        {"id", id},
        {"name", "Porch"},
        {"user", "admin"},
        {"password", "admin"},
        {"stream",
         {{"main", {{"width", 160}, {"height", 90}, {"gop", 5}, {"bitrate", 100000}}},
          {"sub", {{"width", 160}, {"height", 90}, {"gop", 5}, {"bitrate", 100000}}},
          {"clip_seconds", 1},
          {"preset", "ultrafast"}}}};
    if (!talkDir.empty()) {
        camera["stream"]["talk_dir"] = talkDir;
    }
    return camera;
}

struct Session {
    explicit Session(const nlohmann::json& config) : server(config) {}

    bool Open(AudioBackend* backend, const std::string& id) {
        if (!server.Start()) {
            return false;
        }
        LiveChannelOptions options;
        options.audioBackend = backend;
        options.name = "porch";
        channel = std::make_unique<CXOMPPlayer>(options);
        record = test::CameraRecord(test::Direct(server.Port()), false, id);
        return channel->Open(record.get(), &owner) == 1;
    }

    sim::StreamTestServer server;
    NoticeQueue owner;
    std::unique_ptr<DeviceInfo> record;
    std::unique_ptr<CXOMPPlayer> channel;
};

// With no sink given, the channel plays through its own sound output: the
// camera's tone comes out at its pitch, at the doubled rate, in stereo.
TEST(SoundStreaming, ListeningPlaysTheCamerasTone) {
    TempDir dir;
    std::string error;
    auto backend = MakeAudioBackend("wav:" + dir.Path(), error);
    Session session(Camera("ORBI00000007"));
    ASSERT_TRUE(session.Open(backend.get(), "ORBI00000007"));
    session.channel->SetListening(true);
    std::string played = dir.File("porch-out-0.wav");
    WavData wav;
    ASSERT_TRUE(Eventually([&] { return ReadWavFile(played, wav, error) && wav.Frames() >= 16000; },
                           kWaitMs));
    session.channel->Close();
    EXPECT_EQ(wav.sampleRate, 16000);
    EXPECT_EQ(wav.channels, 2);
    std::vector<double> left = test::Channel(wav.samples, 2, 0);
    double tone = test::PowerAt(left, sim::kToneHz, 16000);
    for (double other : {250.0, 500.0, 2000.0, 3000.0}) {
        EXPECT_GT(tone, 100 * test::PowerAt(left, other, 16000)) << other;
    }
}

// A chirp: a signal whose every stretch is different, so a match of the
// received sound against it at the right lag means it arrived whole and at
// the right speed.
std::vector<int16_t> Chirp(int rate, double seconds) {
    std::vector<int16_t> out(static_cast<size_t>(rate * seconds));
    for (size_t i = 0; i < out.size(); ++i) {
        double t = static_cast<double>(i) / rate;
        double phase = 2 * M_PI * (200 * t + 500 * t * t);  // 200 Hz rising 1000 Hz/s
        out[i] = static_cast<int16_t>(9000 * std::sin(phase));
    }
    return out;
}

void ExpectTalkArrives(const std::string& id, int captureRate) {
    TempDir dir;
    auto backend = test::MicrophoneBackend(dir, Chirp(8000, 1.6), 8000);
    Session session(Camera(id, dir.Path()));
    ASSERT_TRUE(session.Open(backend.get(), id));
    ASSERT_EQ(session.channel->StartTalk(), 1);
    // The microphone file lasts 1.6 s; capture ends with it.
    std::string captured = dir.File("porch-in-0.wav");
    WavData wav;
    std::string error;
    ASSERT_TRUE(Eventually(
        [&] {
            return ReadWavFile(captured, wav, error) &&
                   wav.Frames() >= static_cast<size_t>(captureRate * 1.6) - 1;
        },
        kWaitMs));
    int expectedFrames = static_cast<int>(wav.Frames() / 1024);
    ASSERT_TRUE(Eventually(
        [&] {
            return session.server.Camera()->talkFrames.load() >=
                   static_cast<uint64_t>(expectedFrames - 2);
        },
        kWaitMs));
    session.channel->StopTalk();
    session.channel->Close();
    EXPECT_EQ(session.server.Camera()->violations.load(), 0u);

    EXPECT_EQ(wav.sampleRate, captureRate);
    test::DecodedSound heard =
        test::DecodeAdtsStream(test::ReadBytes(session.server.Camera()->TalkPath()));
    EXPECT_EQ(heard.rate, captureRate) << id;
    // As long as what was captured (give or take the encoder's frames).
    double capturedSeconds = static_cast<double>(wav.Frames()) / captureRate;
    double heardSeconds = static_cast<double>(heard.samples.size()) / captureRate;
    EXPECT_NEAR(heardSeconds, capturedSeconds, 0.3) << id;
    std::vector<double> spoken = test::Channel(wav.samples, 1, 0);
    std::vector<double> middle(spoken.begin() + captureRate / 4, spoken.end());
    double match = test::BestCorrelation(middle, heard.samples, captureRate, captureRate / 2);
    EXPECT_GT(match, 0.8) << id;
}

TEST(SoundStreaming, TalkReachesTheCameraAsTheCapturedSound) {
    ExpectTalkArrives("C0000000001A", 8000);
}

// A camera whose ID begins with "c" gets talk captured, encoded and tagged
// at 16000 Hz, so it plays at the speed spoken.
TEST(SoundStreaming, TalkToALowerCaseCCameraIsEncodedAtItsCaptureRate) {
    ExpectTalkArrives("c0000000001A", 16000);
}

// Runs orbisight-cli with the arguments; returns its exit code, its output in out.
int RunCli(const std::string& arguments, std::string& out, const std::string& environment = {}) {
    std::filesystem::path cli = std::filesystem::path(ORBISIGHT_BIN_DIR) / "orbisight-cli";
    std::string command = environment + " " + cli.string() + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    out.clear();
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, n);
    }
    int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SoundStreaming, CliTalkSendsAWavFileAndRefusesBadOnes) {
    if (!std::filesystem::exists(std::filesystem::path(ORBISIGHT_BIN_DIR) / "orbisight-cli")) {
        GTEST_SKIP() << "orbisight-cli is not built";
    }
    TempDir dir;
    sim::StreamTestServer server(Camera("ORBI00000009", dir.Path()));
    ASSERT_TRUE(server.Start());
    std::string camera = "--address 127.0.0.1:" + std::to_string(server.Port()) +
                         " --password admin --id ORBI00000009";
    std::string out;
    EXPECT_EQ(RunCli("talk " + camera + " --wav " + dir.File("missing.wav"), out), 2) << out;
    std::ofstream(dir.File("text.wav")) << "not a sound";
    EXPECT_EQ(RunCli("talk " + camera + " --wav " + dir.File("text.wav"), out), 2) << out;
    EXPECT_EQ(server.Camera()->talkFrames.load(), 0u);

    // Stereo at 44100 Hz: mixed down and resampled to the capture rate.
    auto tone = test::Tone(1000, 44100, 0.8);
    std::vector<int16_t> stereo;
    for (int16_t v : tone) {
        stereo.insert(stereo.end(), {v, v});
    }
    {
        WavWriter writer;
        ASSERT_TRUE(writer.Open(dir.File("voice.wav"), 44100, 2));
        writer.Write(stereo.data(), tone.size());
    }
    ASSERT_EQ(RunCli("talk " + camera + " --wav " + dir.File("voice.wav"), out), 0) << out;
    auto summary = nlohmann::json::parse(out.substr(out.rfind('{')));
    EXPECT_GE(summary["frames_sent"].get<int>(), 4);
    EXPECT_EQ(summary["capture_rate"].get<int>(), 8000);
    test::DecodedSound heard = test::DecodeAdtsStream(test::ReadBytes(server.Camera()->TalkPath()));
    EXPECT_EQ(heard.rate, 8000);
    ASSERT_GT(heard.samples.size(), 4000u);
    EXPECT_GT(test::PowerAt(heard.samples, 1000, 8000),
              100 * test::PowerAt(heard.samples, 500, 8000));
}

TEST(SoundStreaming, CliWatchListenWritesTheCamerasTone) {
    if (!std::filesystem::exists(std::filesystem::path(ORBISIGHT_BIN_DIR) / "orbisight-cli")) {
        GTEST_SKIP() << "orbisight-cli is not built";
    }
    TempDir dir;
    sim::StreamTestServer server(Camera("ORBI00000010"));
    ASSERT_TRUE(server.Start());
    std::string out;
    ASSERT_EQ(RunCli("watch --address 127.0.0.1:" + std::to_string(server.Port()) +
                         " --user admin --password admin --id ORBI00000010 --seconds 2"
                         " --no-pictures"
                         " --listen",
                     out, "ORBISIGHT_AUDIO=wav:" + dir.Path()),
              0)
        << out;
    WavData wav;
    std::string error;
    ASSERT_TRUE(ReadWavFile(dir.File("watch-out-0.wav"), wav, error)) << error << out;
    EXPECT_EQ(wav.sampleRate, 16000);
    ASSERT_GT(wav.Frames(), 8000u);
    std::vector<double> left = test::Channel(wav.samples, 2, 0);
    EXPECT_GT(test::PowerAt(left, 1000, 16000), 100 * test::PowerAt(left, 500, 16000));
}

}  // namespace
}  // namespace orbisight
