#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "AudioTestSupport.h"
#include "media/AdtsHeader.h"
#include "media/AudioBlockRing.h"
#include "media/AudioDevice.h"
#include "media/CWaveIn.h"
#include "media/CWaveOut.h"
#include "media/CXOMPPlayer.h"
#include "media/MediaFrame.h"

namespace orbisight {
namespace {

using test::TempDir;

FrameHeader AudioHeader(uint32_t rate, size_t size) {
    FrameHeader header;
    header.mediaType = mediatype::kAudio;
    header.rate = rate;
    header.size = static_cast<uint32_t>(size);
    return header;
}

std::unique_ptr<AudioBackend> Backend(const std::string& description,
                                      const std::string& input = {}) {
    std::string error;
    auto backend = MakeAudioBackend(description, error, input);
    EXPECT_TRUE(backend) << error;
    return backend;
}

// Plays the frames through a CWaveOut on the WAV backend and reads back
// what it played.
WavData PlayThroughWav(const std::vector<std::vector<uint8_t>>& frames, uint32_t rate) {
    TempDir dir;
    auto backend = Backend("wav:" + dir.Path());
    {
        CWaveOut out(backend.get(), "cam");
        for (const auto& frame : frames) {
            out.PlayFrame(AudioHeader(rate, frame.size()), frame.data(), frame.size());
        }
    }
    WavData wav;
    std::string error;
    EXPECT_TRUE(ReadWavFile(dir.File("cam-out-0.wav"), wav, error)) << error;
    return wav;
}

TEST(Sound, AmplificationTriplesAndClampsAtTheEdges) {
    std::vector<int16_t> s = {0,      1000,  -1000,  10922, 10923, -10922,
                              -10923, 12000, -20000, 32767, -32768};
    CWaveOut::Amplify(s.data(), s.size());
    std::vector<int16_t> expected = {0,      3000,  -3000,  32766, 32767, -32766,
                                     -32768, 32767, -32768, 32767, -32768};
    EXPECT_EQ(s, expected);
}

TEST(Sound, OutputRateIsSixteenThousandUpToEightThousandElseTwice) {
    EXPECT_EQ(CWaveOut::OutputRateFor(8000), 16000);
    EXPECT_EQ(CWaveOut::OutputRateFor(7999), 16000);
    EXPECT_EQ(CWaveOut::OutputRateFor(0), 16000);
    EXPECT_EQ(CWaveOut::OutputRateFor(8001), 16002);
    EXPECT_EQ(CWaveOut::OutputRateFor(16000), 32000);
    // A nonsense rate in a damaged header does not overflow.
    EXPECT_GT(CWaveOut::OutputRateFor(0xFFFFFFFFu), 0);
}

// The played rate and length are those of the sound the camera sent: one
// second of an 8000 Hz mono tone plays for one second at 16000 Hz stereo,
// and the tone keeps its pitch.
TEST(Sound, ATonePlaysAtItsOwnPitchAndLength) {
    for (int rate : {8000, 16000}) {
        auto frames = test::EncodeAdts(test::Tone(1000, rate, 1.0), rate);
        ASSERT_GT(frames.size(), 5u);
        WavData wav = PlayThroughWav(frames, static_cast<uint32_t>(rate));
        EXPECT_EQ(wav.sampleRate, CWaveOut::OutputRateFor(static_cast<uint32_t>(rate))) << rate;
        EXPECT_EQ(wav.channels, 2);
        // Every frame but the first is heard: 1024 samples of the stream each.
        double seconds = static_cast<double>(wav.Frames()) / wav.sampleRate;
        double expected = (frames.size() - 1) * 1024.0 / rate;
        EXPECT_NEAR(seconds, expected, 0.01) << rate;
        std::vector<double> left = test::Channel(wav.samples, 2, 0);
        double tone = test::PowerAt(left, 1000, wav.sampleRate);
        EXPECT_GT(tone, 100 * test::PowerAt(left, 500, wav.sampleRate)) << rate;
        EXPECT_GT(tone, 100 * test::PowerAt(left, 2000, wav.sampleRate)) << rate;
    }
}

TEST(Sound, TheFirstFrameIsSilentTheSecondIsHeard) {
    auto frames = test::EncodeAdts(test::Tone(1000, 8000, 1.0), 8000);
    TempDir dir;
    auto backend = Backend("wav:" + dir.Path());
    CWaveOut out(backend.get(), "cam");
    out.PlayFrame(AudioHeader(8000, frames[0].size()), frames[0].data(), frames[0].size());
    EXPECT_TRUE(out.IsOpen());
    EXPECT_EQ(out.BlocksPlayed(), 0u);
    WavData wav;
    std::string error;
    ASSERT_TRUE(ReadWavFile(dir.File("cam-out-0.wav"), wav, error)) << error;
    EXPECT_EQ(wav.Frames(), 0u);  // opened, nothing played
    out.PlayFrame(AudioHeader(8000, frames[1].size()), frames[1].data(), frames[1].size());
    EXPECT_EQ(out.BlocksPlayed(), 1u);
    ASSERT_TRUE(ReadWavFile(dir.File("cam-out-0.wav"), wav, error)) << error;
    EXPECT_EQ(wav.Frames(), 2048u);  // 1024 samples at 8000 Hz -> 2048 at 16000
}

// Damaged and over-long frames: the decode loop ends, stays inside its
// area and never plays part of a damaged frame.
TEST(Sound, DecodingNeverPlaysADamagedFrameOrWritesPastItsArea) {
    auto frames = test::EncodeAdts(test::Tone(1000, 8000, 2.0), 8000);
    ASSERT_GT(frames.size(), 10u);
    CWaveOut out(Backend("null").get(), "cam");
    EXPECT_EQ(out.Decode(frames[0].data(), frames[0].size()), 0u);  // sets the decoder up
    EXPECT_EQ(out.Decode(frames[1].data(), frames[1].size()), 8192u);

    std::vector<uint8_t> garbage(300, 0x5A);
    EXPECT_EQ(out.Decode(garbage.data(), garbage.size()), 0u);
    // A good frame followed by garbage: the whole frame is dropped.
    std::vector<uint8_t> mixed = frames[2];
    mixed.insert(mixed.end(), garbage.begin(), garbage.end());
    EXPECT_EQ(out.Decode(mixed.data(), mixed.size()), 0u);
    // A header alone, promising more than there is.
    EXPECT_EQ(out.Decode(frames[3].data(), kAdtsHeaderSize), 0u);

    // Three frames in one: the first fits the 10240-byte area, the rest
    // is dropped.
    std::vector<uint8_t> three;
    for (int i = 4; i < 7; ++i) {
        three.insert(three.end(), frames[i].begin(), frames[i].end());
    }
    size_t produced = out.Decode(three.data(), three.size());
    EXPECT_LE(produced, CWaveOut::kDecodedBytes);
    EXPECT_GE(produced, 8192u);
    // And the decoder still works afterwards.
    EXPECT_EQ(out.Decode(frames[8].data(), frames[8].size()), 8192u);
}

class NoDeviceBackend : public AudioBackend {
  public:
    explicit NoDeviceBackend(bool device) : device_(device) {}
    std::unique_ptr<AudioOutput> OpenOutput(const PcmFormat&, const std::string&) override {
        ++outputsTried;
        return nullptr;
    }
    std::unique_ptr<AudioInput> OpenInput(const PcmFormat&, const std::string&) override {
        return nullptr;
    }
    bool HasOutputDevice() override { return device_; }
    int outputsTried = 0;

  private:
    bool device_;
};

TEST(Sound, NoOutputDeviceIsReportedOnceAndNotTriedAgain) {
    // No device at all: one beep. A device that refuses the format: none.
    for (bool device : {false, true}) {
        std::atomic<int> beeps{0};
        CWaveOut::SetNoDeviceHandler([&] { beeps.fetch_add(1); });
        auto frames = test::EncodeAdts(test::Tone(1000, 8000, 0.5), 8000);
        NoDeviceBackend backend(device);
        CWaveOut out(&backend, "cam");
        for (const auto& frame : frames) {
            out.PlayFrame(AudioHeader(8000, frame.size()), frame.data(), frame.size());
        }
        CWaveOut::SetNoDeviceHandler(nullptr);
        EXPECT_EQ(beeps.load(), device ? 0 : 1);
        EXPECT_EQ(backend.outputsTried, 1);
        EXPECT_FALSE(out.IsOpen());
        EXPECT_EQ(out.BlocksPlayed(), 0u);
    }
}

// PortAudio is set up lazily, once, from whichever thread opens first; a
// machine without a sound device (a server) gets no output and no
// microphone, without a crash or a hang.
TEST(Sound, SoundCardBackendOpensFromManyThreadsOrReportsNoDevice) {
    auto backend = MakePortAudioBackend();
    std::vector<std::thread> threads;
    std::atomic<int> opened{0};
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            auto output = backend->OpenOutput({16000, 2}, "card");
            if (output) {
                std::vector<int16_t> silence(320);
                output->Write(silence.data(), 160);
                opened.fetch_add(1);
            }
            auto input = backend->OpenInput({8000, 1}, "card");
            if (input) {
                std::vector<int16_t> buffer(1024);
                EXPECT_GE(input->Read(buffer.data(), buffer.size(), 50), AudioInput::kEnded);
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    // Either way: no crash, no hang, every stream closed (sanitizer runs).
}

// The sound card's output holds 16 blocks: the 17th waits briefly for room
// and is dropped; what the card takes is played in order, then silence.
TEST(Sound, CardOutputHoldsSixteenBlocksAndPlaysThemInOrder) {
    AudioBlockRing ring(2);
    std::vector<int16_t> block(8);
    for (int i = 0; i < 16; ++i) {
        std::fill(block.begin(), block.end(), static_cast<int16_t>(i + 1));
        EXPECT_TRUE(ring.Push(block.data(), 4)) << i;
    }
    EXPECT_FALSE(ring.Push(block.data(), 4));
    EXPECT_EQ(ring.QueuedBlocks(), 16u);
    std::vector<int16_t> played(12);  // 6 frames: one block and a half
    ring.Pull(played.data(), 6);
    EXPECT_EQ(played, (std::vector<int16_t>{1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2}));
    EXPECT_TRUE(ring.Push(block.data(), 4));  // room again
    std::vector<int16_t> rest(16 * 8);
    ring.Pull(rest.data(), rest.size() / 2);
    EXPECT_EQ(rest[0], 2);
    EXPECT_EQ(rest[4], 3);
    EXPECT_EQ(rest[15 * 8 - 4 - 1], 16);
    EXPECT_EQ(rest[15 * 8 - 4], 16);  // the block pushed last
    EXPECT_EQ(rest.back(), 0);        // then silence
    EXPECT_EQ(ring.QueuedBlocks(), 0u);
}

TEST(Sound, UnknownBackendIsRefused) {
    std::string error;
    EXPECT_FALSE(MakeAudioBackend("alsa", error));
    EXPECT_NE(error.find("alsa"), std::string::npos);
    EXPECT_FALSE(MakeAudioBackend("wav:", error));
}

TEST(Sound, WavFilesAreValidWhileWrittenAndRefuseOtherFormats) {
    TempDir dir;
    std::string path = dir.File("a.wav");
    WavWriter writer;
    ASSERT_TRUE(writer.Open(path, 8000, 1));
    auto tone = test::Tone(440, 8000, 0.25);
    ASSERT_TRUE(writer.Write(tone.data(), tone.size()));
    WavData wav;
    std::string error;
    ASSERT_TRUE(ReadWavFile(path, wav, error)) << error;  // still open
    EXPECT_EQ(wav.samples, tone);
    writer.Close();
    ASSERT_TRUE(ReadWavFile(path, wav, error)) << error;
    EXPECT_EQ(wav.sampleRate, 8000);
    EXPECT_EQ(std::filesystem::file_size(path), 44 + tone.size() * 2);

    // 8-bit PCM and a file that is not a WAV are refused with a reason.
    auto bytes = test::ReadBytes(path);
    bytes[34] = 8;
    std::ofstream(dir.File("b.wav"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    EXPECT_FALSE(ReadWavFile(dir.File("b.wav"), wav, error));
    EXPECT_NE(error.find("16-bit"), std::string::npos);
    EXPECT_FALSE(ReadWavFile(dir.File("missing.wav"), wav, error));
    std::ofstream(dir.File("c.wav")) << "hello";
    EXPECT_FALSE(ReadWavFile(dir.File("c.wav"), wav, error));
}

TEST(Talk, CaptureRateFollowsALowerCaseCAndIsFixedAtTheFirstStart) {
    EXPECT_EQ(CWaveIn::CaptureRateFor("C0001"), 8000);
    EXPECT_EQ(CWaveIn::CaptureRateFor("c0001"), 16000);
    EXPECT_EQ(CWaveIn::CaptureRateFor("ORBI0001"), 8000);
    EXPECT_EQ(CWaveIn::CaptureRateFor(""), 8000);

    TempDir dir;
    std::string mic = dir.File("mic.wav");
    {
        WavWriter writer;
        auto tone = test::Tone(440, 8000, 0.5);
        ASSERT_TRUE(writer.Open(mic, 8000, 1));
        writer.Write(tone.data(), tone.size());
    }
    auto backend = Backend("wav:" + dir.Path(), mic);
    CWaveIn in(backend.get(), "cam");
    EXPECT_EQ(in.CaptureRate(), 0);
    ASSERT_TRUE(in.Start("c0001"));
    EXPECT_TRUE(in.Capturing());
    EXPECT_EQ(in.CaptureRate(), 16000);
    in.Stop();
    EXPECT_FALSE(in.Capturing());
    ASSERT_TRUE(in.Start("C0001"));
    EXPECT_EQ(in.CaptureRate(), 16000);
    in.Stop();
}

// Frames are encoded and tagged at the capture rate, hold whole ADTS
// frames only, and never more than the 2048-byte area.
TEST(Talk, EncodedFramesCarryTheCaptureRateAndStayInTheirArea) {
    for (int rate : {8000, 16000}) {
        NoDeviceBackend backend(false);
        CWaveIn in(&backend, "cam");
        EXPECT_FALSE(in.Start(rate == 16000 ? "c1" : "C1"));  // no microphone
        EXPECT_EQ(in.CaptureRate(), rate);
        auto tone = test::Tone(1000, rate, 1.0);
        in.EncodeBuffer(tone.data(), 1024);  // primes the encoder
        in.EncodeBuffer(tone.data() + 1024, 1024);
        in.EncodeBuffer(tone.data(), tone.size());  // far more than one buffer
        FrameBuffer buffer(65536);
        std::vector<uint8_t> stream;
        int frames = 0;
        while (in.Queue().Pop(buffer) == CQueueBuf::PopResult::kFrame) {
            ++frames;
            EXPECT_EQ(buffer.header.mediaType, mediatype::kAudio);
            EXPECT_EQ(buffer.header.rate, static_cast<uint32_t>(rate));
            EXPECT_LE(buffer.Size(), CWaveIn::kEncodedBytes);
            EXPECT_EQ((buffer.Data()[2] >> 2) & 0xF, AdtsRateIndex(rate));
            stream.insert(stream.end(), buffer.Data(), buffer.Data() + buffer.Size());
        }
        EXPECT_GE(frames, 2);
        test::DecodedSound decoded = test::DecodeAdtsStream(stream);
        EXPECT_EQ(decoded.rate, rate);
        // Whole frames only: the stream parses to its end.
        size_t at = 0;
        while (at + 7 <= stream.size()) {
            at += ((stream[at + 3] & 3u) << 11) | (stream[at + 4] << 3) | (stream[at + 5] >> 5);
        }
        EXPECT_EQ(at, stream.size());
    }
}

// Without a microphone talk does not start: the talking flag stays clear,
// so the camera's sound is not silenced for nothing.
TEST(Talk, NoMicrophoneLeavesTheTalkingFlagClear) {
    auto backend = Backend("null");
    LiveChannelOptions options;
    options.audioBackend = backend.get();
    CXOMPPlayer channel(options);
    EXPECT_EQ(channel.StartTalk(), 0);
    EXPECT_FALSE(channel.Talking());
}

}  // namespace
}  // namespace orbisight
