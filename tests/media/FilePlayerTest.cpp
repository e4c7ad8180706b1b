#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "media/CH264FilePlayer.h"
#include "media/HeadlessVideoSink.h"
#include "media/MediaHooks.h"
#include "media/RecordFileIndex.h"
#include "platform/Clock.h"
#include "sim/stream/ClipCache.h"
#include "tests/media/RecordFileMaker.h"

namespace orbisight {
namespace {

using test::RecordFileMaker;

class TempFile {
  public:
    TempFile() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("orbisight-play-" + std::to_string(::getpid()) + "-" + info->name() + ".264");
    }
    ~TempFile() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    std::string Path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

RecordIndex IndexOf(RecordFileMaker& maker) {
    MemoryRecordSource source(maker.Bytes().data(), maker.Size());
    RecordIndex index;
    BuildRecordIndex(source, index);
    return index;
}

// 1000 video records 40 ms apart (a key frame every 25) with 400 audio
// records among them, as the recorder writes a 40 s stream.
RecordFileMaker MixedRecording() {
    RecordFileMaker maker;
    int audio = 0;
    for (int i = 0; i < 1000; ++i) {
        maker.Video(static_cast<uint32_t>(i * 40), i % 25 == 0);
        if (i % 5 == 2 || i % 5 == 4) {
            maker.Audio(static_cast<uint32_t>(i * 40 + 20));
            ++audio;
        }
    }
    EXPECT_EQ(audio, 400);
    return maker;
}

TEST(RecordIndexTest, IndexesEveryVideoAndAudioRecordFromTheHeaders) {
    RecordFileMaker maker = MixedRecording();
    RecordIndex index = IndexOf(maker);
    EXPECT_EQ(index.entries.size(), 1400u);
    EXPECT_EQ(index.videoRecords, 1000u);
    EXPECT_EQ(index.audioRecords, 400u);
    EXPECT_EQ(index.keyFrames, 40u);
    EXPECT_FALSE(index.Damaged());
    EXPECT_EQ(index.indexedLength, maker.Size());
    // Positions: the first record at 0, the second right after its payload.
    EXPECT_EQ(index.entries[0], 0u);
    EXPECT_EQ(index.entries[1], 28u + 100u);
    EXPECT_EQ(index.entries[3], 3 * 128u);              // video, video, video, audio
    EXPECT_EQ(index.entries[4], 3 * 128u + 28u + 40u);  // after the audio record
}

TEST(RecordIndexTest, DurationIsTheVideoTimeStampSpanInWholeSeconds) {
    RecordFileMaker maker;
    maker.Audio(1000);  // sound does not count
    for (uint32_t t = 5000; t <= 65000; t += 1000) {
        maker.Video(t, t == 5000);
    }
    maker.Video(65999, false);  // 60.999 s: still 60
    maker.Audio(90000);
    EXPECT_EQ(IndexOf(maker).durationSeconds, 60u);

    RecordFileMaker backwards;  // a damaged clock never gives a huge duration
    backwards.Video(9000, true);
    backwards.Video(1000, false);
    EXPECT_EQ(IndexOf(backwards).durationSeconds, 0u);
}

TEST(RecordIndexTest, APayloadRunningPastTheEndIsTheLastRecordAndMarksDamage) {
    RecordFileMaker maker;
    maker.Video(0, true, 100);
    maker.Video(40, false, 100);
    size_t whole = maker.Size();
    // Exact edge: the payload ends at the last byte of the file.
    RecordIndex index = IndexOf(maker);
    EXPECT_EQ(index.entries.size(), 2u);
    EXPECT_FALSE(index.Damaged());
    // One byte short: the cut record is still an entry (playback reaches it
    // and stops at its short read), and the index says the file is cut.
    maker.Bytes().pop_back();
    index = IndexOf(maker);
    EXPECT_EQ(index.entries.size(), 2u);
    EXPECT_EQ(index.videoRecords, 2u);
    EXPECT_EQ(index.damage, RecordDamage::kTruncatedPayload);
    EXPECT_EQ(index.indexedLength, whole - 128);
    // A size field far beyond the file (a corrupt header) stops there too.
    RecordFileMaker wild;
    wild.Video(0, true);
    FrameHeader header;
    header.mediaType = mediatype::kVideo;
    header.size = 0xffffffffu;
    wild.RawHeader(header);
    wild.RawBytes(5000);
    index = IndexOf(wild);
    EXPECT_EQ(index.entries.size(), 2u);
    EXPECT_EQ(index.damage, RecordDamage::kTruncatedPayload);
}

TEST(RecordIndexTest, ACutHeaderIsDamageAndAForeignRecordIsPassedOver) {
    RecordFileMaker maker;
    maker.Video(0, true);
    maker.RawBytes(27);  // one byte short of a header
    RecordIndex index = IndexOf(maker);
    EXPECT_EQ(index.entries.size(), 1u);
    EXPECT_EQ(index.damage, RecordDamage::kTruncatedHeader);

    RecordFileMaker foreign;
    foreign.Video(0, true);
    FrameHeader header;
    header.mediaType = 3;
    header.size = 10;
    foreign.RawHeader(header);
    foreign.RawBytes(10);
    foreign.Video(40, false);
    index = IndexOf(foreign);
    ASSERT_EQ(index.entries.size(), 2u);
    EXPECT_EQ(index.entries[1], 2 * 28 + 100 + 10u);
    EXPECT_FALSE(index.Damaged());

    RecordFileMaker empty;
    index = IndexOf(empty);
    EXPECT_TRUE(index.entries.empty());
    EXPECT_FALSE(index.Damaged());
}

TEST(RecordIndexTest, ACancelledBuildStops) {
    RecordFileMaker maker = MixedRecording();
    MemoryRecordSource source(maker.Bytes().data(), maker.Size());
    std::atomic<bool> cancel{true};
    RecordIndex index;
    BuildRecordIndex(source, index, &cancel);
    EXPECT_TRUE(index.cancelled);
    EXPECT_TRUE(index.entries.empty());
}

TEST(PlaybackPacingTest, PauseAfterAVideoRecord) {
    // The first record (delta 0) waits one frame period less what it took.
    EXPECT_EQ(PlaybackPauseMs(0, 0, 25), 40u);
    EXPECT_EQ(PlaybackPauseMs(0, 10, 25), 30u);
    EXPECT_EQ(PlaybackPauseMs(0, 40, 25), 0u);
    // Steps of up to a second: the step less what the record took, so a
    // recording plays at its own speed.
    EXPECT_EQ(PlaybackPauseMs(40, 4, 25), 36u);
    EXPECT_EQ(PlaybackPauseMs(1000, 0, 25), 1000u);
    EXPECT_EQ(PlaybackPauseMs(40, 39, 25), 1u);
    EXPECT_EQ(PlaybackPauseMs(40, 40, 25), 0u);
    EXPECT_EQ(PlaybackPauseMs(40, 55, 25), 0u);
    // A jump of more than a second (or a step back) rests 500 ms.
    EXPECT_EQ(PlaybackPauseMs(1001, 0, 25), 500u);
    EXPECT_EQ(PlaybackPauseMs(5000, 0, 25), 500u);
    EXPECT_EQ(PlaybackPauseMs(static_cast<uint32_t>(-1), 0, 25), 500u);
}

// A player whose clock stands still and whose sleeps are only recorded, so
// a whole file plays at once and the pacing can be read back.
struct PacedPlayer {
    std::mutex mutex;
    std::vector<int> sleeps;
    CountingAudioSink audio;
    std::unique_ptr<CH264FilePlayer> player;

    explicit PacedPlayer(VideoSink* sink = nullptr) {
        FilePlayerOptions options;
        options.videoSink = sink;
        options.audioSink = &audio;
        options.clock = [] { return uint64_t{1000}; };
        options.sleep = [this](int ms) {
            std::lock_guard lock(mutex);
            sleeps.push_back(ms);
        };
        player = std::make_unique<CH264FilePlayer>(options);
    }
    bool PlayToEnd(const std::string& path) {
        if (player->OpenFile(path) != 1) {
            return false;
        }
        return WaitEnded();
    }
    bool WaitEnded() {
        for (int i = 0; i < 1000 && player->Playing(); ++i) {
            SleepMs(10);
        }
        return player->Ended();
    }
    std::vector<int> Sleeps() {
        std::lock_guard lock(mutex);
        return sleeps;
    }
};

TEST(FilePlayerTest, PacesByTheTimeStamps) {
    TempFile file;
    RecordFileMaker maker;
    maker.Video(0, true);
    maker.Audio(10);  // no pause after sound
    maker.Video(40, false);
    maker.Video(80, false);
    maker.Video(5080, false);           // a 5 s jump: 500 ms, not 5 s
    maker.Video(5080, false, 100, 0);   // same time stamp, rate 0: the last rate (25)
    maker.Video(5080, false, 100, 10);  // rate 10: 100 ms
    ASSERT_TRUE(maker.WriteTo(file.Path()));
    PacedPlayer paced;
    ASSERT_TRUE(paced.PlayToEnd(file.Path()));
    EXPECT_EQ(paced.Sleeps(), (std::vector<int>{40, 40, 40, 500, 40, 100}));
    EXPECT_EQ(paced.audio.Frames(), 1u);
    EXPECT_EQ(paced.player->Progress(), 100);
    EXPECT_FALSE(paced.player->Damaged());
}

TEST(FilePlayerTest, RateZeroWithoutAnEarlierRateAssumes25) {
    TempFile file;
    RecordFileMaker maker;
    maker.Video(0, true, 100, 0);
    ASSERT_TRUE(maker.WriteTo(file.Path()));
    PacedPlayer paced;
    ASSERT_TRUE(paced.PlayToEnd(file.Path()));
    EXPECT_EQ(paced.Sleeps(), (std::vector<int>{40}));
}

TEST(FilePlayerTest, RecordsAbove204800BytesArePassedOver) {
    TempFile file;
    RecordFileMaker maker;
    maker.Video(0, true, CH264FilePlayer::kMaxRecordSize);        // last accepted
    maker.Video(40, false, CH264FilePlayer::kMaxRecordSize + 1);  // first refused
    maker.Video(80, false, 10);
    ASSERT_TRUE(maker.WriteTo(file.Path()));
    PacedPlayer paced;
    ASSERT_TRUE(paced.PlayToEnd(file.Path()));
    FilePlayerStats stats = paced.player->Stats();
    EXPECT_EQ(stats.skippedLarge, 1u);
    EXPECT_EQ(stats.decodedRecords, 2u);
    EXPECT_EQ(paced.player->Progress(), 100);
}

TEST(FilePlayerTest, FastForwardShowsKeyFramesOnlyWithoutSound) {
    TempFile file;
    RecordFileMaker maker = MixedRecording();
    ASSERT_TRUE(maker.WriteTo(file.Path()));
    PacedPlayer paced;
    paced.player->SetSpeed(4);
    ASSERT_TRUE(paced.PlayToEnd(file.Path()));
    FilePlayerStats stats = paced.player->Stats();
    EXPECT_EQ(stats.decodedRecords, 40u);
    EXPECT_EQ(stats.keyFramesDecoded, 40u);
    EXPECT_EQ(paced.audio.Frames(), 0u);
    // One key frame every 100 ms.
    EXPECT_EQ(paced.Sleeps(), std::vector<int>(40, 100));
}

TEST(FilePlayerTest, SpeedIsKeptWithinOneAnd32) {
    CH264FilePlayer player;
    player.SetSpeed(0);
    EXPECT_EQ(player.Speed(), 1);
    player.SetSpeed(32);
    EXPECT_EQ(player.Speed(), 32);
    player.SetSpeed(33);
    EXPECT_EQ(player.Speed(), 32);
    player.StopPlayback();
    EXPECT_EQ(player.Speed(), 1);
    EXPECT_EQ(player.Length(), 1u);
    EXPECT_EQ(player.Progress(), 0);
}

TEST(FilePlayerTest, SeekAtHalfContinuesAtEntry700) {
    TempFile file;
    RecordFileMaker maker = MixedRecording();
    ASSERT_TRUE(maker.WriteTo(file.Path()));
    PacedPlayer paced;
    paced.player->SetPaused(true);
    ASSERT_EQ(paced.player->OpenFile(file.Path()), 1);
    EXPECT_EQ(paced.player->EntryCount(), 1400u);
    paced.player->SeekPercent(50);
    paced.player->SetPaused(false);
    ASSERT_TRUE(paced.WaitEnded());
    FilePlayerStats stats = paced.player->Stats();
    EXPECT_EQ(stats.seeks, 1u);
    // Entries 700..1399 were read, every one once; entry 700 is video
    // record 500, a key frame.
    EXPECT_EQ(stats.videoRecords + paced.audio.Frames(), 700u);
    EXPECT_EQ(stats.decodedRecords, 500u);

    // 51 %: entry 714 is video record 510, not a key frame; the decoder
    // starts at the next key frame, 525.
    PacedPlayer gated;
    gated.player->SetPaused(true);
    ASSERT_EQ(gated.player->OpenFile(file.Path()), 1);
    gated.player->SeekPercent(51);
    gated.player->SetPaused(false);
    ASSERT_TRUE(gated.WaitEnded());
    EXPECT_EQ(gated.player->Stats().videoRecords, 490u);
    EXPECT_EQ(gated.player->Stats().decodedRecords, 475u);

    // 100 % is the last entry; seeking is ignored while nothing plays.
    paced.player->SeekPercent(50);
    EXPECT_EQ(paced.player->Stats().seeks, 1u);
    PacedPlayer last;
    last.player->SetPaused(true);
    ASSERT_EQ(last.player->OpenFile(file.Path()), 1);
    last.player->SeekPercent(100);
    last.player->SetPaused(false);
    ASSERT_TRUE(last.WaitEnded());
    EXPECT_EQ(last.player->Stats().videoRecords + last.audio.Frames(), 1u);
}

TEST(FilePlayerTest, NothingPlaysWithoutRecords) {
    TempFile file;
    CH264FilePlayer player;
    EXPECT_EQ(player.OpenFile(file.Path()), 0);  // missing
    RecordFileMaker empty;
    ASSERT_TRUE(empty.WriteTo(file.Path()));
    EXPECT_EQ(player.OpenFile(file.Path()), 0);  // empty
    RecordFileMaker text;
    text.RawBytes(300, 'x');  // not a recording at all
    ASSERT_TRUE(text.WriteTo(file.Path()));
    EXPECT_EQ(player.OpenFile(file.Path()), 0);
    EXPECT_TRUE(player.Index().Damaged());
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.OpenFile(std::filesystem::temp_directory_path().string()), 0);  // a folder
}

std::shared_ptr<const sim::VideoClip> SmallClip(int width = 160, int height = 120,
                                                int bitRate = 200000) {
    sim::VideoClipParams params;
    params.name = "Play";
    params.width = width;
    params.height = height;
    params.fps = 25;
    params.gop = 5;
    params.bitRate = bitRate;
    params.seconds = 1;
    params.preset = "ultrafast";
    return sim::ClipCache::Instance().Get(params);
}

RecordFileMaker ClipRecording(const sim::VideoClip& clip) {
    RecordFileMaker maker;
    for (size_t i = 0; i < clip.frames.size(); ++i) {
        maker.Video(static_cast<uint32_t>(i * 40), clip.frames[i].key, clip.frames[i].data);
        maker.Audio(static_cast<uint32_t>(i * 40 + 20));
    }
    return maker;
}

TEST(FilePlayerTest, DecodesEveryPictureOfARecordingIntoTheSink) {
    auto clip = SmallClip();
    ASSERT_TRUE(clip && !clip->frames.empty());
    TempFile file;
    RecordFileMaker maker = ClipRecording(*clip);
    ASSERT_TRUE(maker.WriteTo(file.Path()));
    HeadlessVideoSink sink(HeadlessVideoSink::SizeMode::kSourceSize);
    PacedPlayer paced(&sink);
    ASSERT_TRUE(paced.PlayToEnd(file.Path()));
    EXPECT_EQ(paced.player->Stats().pictures, clip->frames.size());
    EXPECT_EQ(sink.Pictures(), clip->frames.size());
    EXPECT_EQ(sink.SourceSize(), (PictureSize{160, 120}));

    HeadlessVideoSink fastSink(HeadlessVideoSink::SizeMode::kSourceSize);
    PacedPlayer fast(&fastSink);
    fast.player->SetSpeed(8);
    ASSERT_TRUE(fast.PlayToEnd(file.Path()));
    EXPECT_EQ(fast.player->Stats().pictures, clip->frames.size() / 5);
}

// A recording made across a switch of the camera's stream (the pane grew
// to full screen): the sub stream's pictures, then from a key frame on the
// main stream's, in one file. Every picture of both plays, each at its own
// size.
TEST(FilePlayerTest, ARecordingAcrossAStreamSwitchPlaysBothSizes) {
    auto sub = SmallClip();
    auto main = SmallClip(320, 240, 300000);
    ASSERT_TRUE(sub && main && !sub->frames.empty() && !main->frames.empty());
    ASSERT_TRUE(main->frames[0].key);
    RecordFileMaker maker;
    uint32_t time = 0;
    for (const auto* clip : {sub.get(), main.get()}) {
        for (const auto& frame : clip->frames) {
            maker.Video(time, frame.key, frame.data);
            time += 40;
        }
    }
    TempFile file;
    ASSERT_TRUE(maker.WriteTo(file.Path()));
    HeadlessVideoSink sink(HeadlessVideoSink::SizeMode::kSourceSize);
    PacedPlayer paced(&sink);
    ASSERT_TRUE(paced.PlayToEnd(file.Path()));
    EXPECT_EQ(paced.player->Stats().pictures, sub->frames.size() + main->frames.size());
    EXPECT_EQ(sink.Pictures(), sub->frames.size() + main->frames.size());
    EXPECT_EQ(sink.SourceSize(), (PictureSize{320, 240}));
    EXPECT_FALSE(paced.player->Index().Damaged());
}

TEST(FilePlayerTest, ADamagedRecordingPlaysUpToTheDamageAndSaysSo) {
    auto clip = SmallClip();
    ASSERT_TRUE(clip && !clip->frames.empty());
    TempFile file;
    // Cut in the middle of the last picture.
    RecordFileMaker cut = ClipRecording(*clip);
    cut.Bytes().resize(cut.Size() - 28 - 40 - clip->frames.back().data.size() / 2);
    ASSERT_TRUE(cut.WriteTo(file.Path()));
    PacedPlayer paced;
    ASSERT_TRUE(paced.PlayToEnd(file.Path()));
    EXPECT_TRUE(paced.player->Damaged());
    EXPECT_EQ(paced.player->Stats().pictures, clip->frames.size() - 1);
    EXPECT_LT(paced.player->Progress(), 100);

    // Garbage in the middle: the pictures before it play.
    RecordFileMaker front;
    for (size_t i = 0; i < 10; ++i) {
        front.Video(static_cast<uint32_t>(i * 40), clip->frames[i].key, clip->frames[i].data);
    }
    front.RawBytes(300, 0xee);
    for (size_t i = 10; i < clip->frames.size(); ++i) {
        front.Video(static_cast<uint32_t>(i * 40), clip->frames[i].key, clip->frames[i].data);
    }
    ASSERT_TRUE(front.WriteTo(file.Path()));
    PacedPlayer garbledPlayer;
    ASSERT_TRUE(garbledPlayer.PlayToEnd(file.Path()));
    EXPECT_TRUE(garbledPlayer.player->Damaged());
    EXPECT_EQ(garbledPlayer.player->Stats().pictures, 10u);
}

TEST(FilePlayerTest, PauseSeekSpeedAndStopFromAnotherThread) {
    TempFile file;
    RecordFileMaker maker;
    for (int i = 0; i < 2500; ++i) {
        maker.Video(static_cast<uint32_t>(i * 40), i % 25 == 0);  // 100 s at 25 per second
        maker.Audio(static_cast<uint32_t>(i * 40 + 5));
    }
    ASSERT_TRUE(maker.WriteTo(file.Path()));
    CountingAudioSink audio;
    FilePlayerOptions options;
    options.audioSink = &audio;
    CH264FilePlayer player(options);  // real clock and sleeps
    ASSERT_EQ(player.OpenFile(file.Path()), 1);
    std::thread owner([&] {
        SleepMs(100);
        player.SetPaused(true);
        SleepMs(60);  // the record under way ends, then nothing moves
        uint64_t held = player.Position();
        SleepMs(100);
        EXPECT_EQ(player.Position(), held);
        player.SeekPercent(50);
        player.SetPaused(false);
        for (int i = 0; i < 200 && player.Progress() < 50; ++i) {
            SleepMs(5);
        }
        EXPECT_GE(player.Progress(), 50);
        player.SetSpeed(16);
        SleepMs(50);
        player.SetPaused(true);
    });
    owner.join();
    EXPECT_TRUE(player.Playing());
    auto start = std::chrono::steady_clock::now();
    player.StopPlayback();  // while paused
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(player.Playing());
    EXPECT_FALSE(player.Ended());
    EXPECT_EQ(player.Progress(), 0);
}

}  // namespace
}  // namespace orbisight
