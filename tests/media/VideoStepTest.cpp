#include <gtest/gtest.h>

#include <vector>

#include "media/LiveVideoStep.h"
#include "media/VideoPacing.h"

namespace orbisight {
namespace {

TEST(VideoPacing, RestsOnlyForGapsBelowThreeFramePeriods) {
    // 40 ms apart at 25 fps, 4 ms decoding: (40 - 4 - 30) / 3 = 2 ms.
    EXPECT_EQ(PacingDelayMs(40, 25, 4), 2);
    // A 200 ms gap at 25 fps (limit 120 ms) is not waited for.
    EXPECT_EQ(PacingDelayMs(200, 25, 4), 0);
    EXPECT_EQ(PacingDelayMs(119, 25, 0), 29);
    EXPECT_EQ(PacingDelayMs(120, 25, 0), 0);
    // Slow decoding leaves nothing to wait.
    EXPECT_EQ(PacingDelayMs(40, 25, 10), 0);
    EXPECT_EQ(PacingDelayMs(40, 25, 9), 0);
    // A time stamp going back is a huge unsigned step: no wait.
    EXPECT_EQ(PacingDelayMs(static_cast<uint32_t>(-40), 25, 0), 0);
    // 5 fps (the replacement for a rate of 0): limit 600 ms.
    EXPECT_EQ(PacingDelayMs(200, 5, 5), 55);
    // Rates above 1000 fps give a limit of 0; a rate of 0 never divides.
    EXPECT_EQ(PacingDelayMs(40, 2000, 0), 0);
    EXPECT_EQ(PacingDelayMs(40, 0, 0), 0);
}

class VideoStepFixture : public ::testing::Test {
  protected:
    void Queue(bool key, uint32_t timeStamp, uint32_t flags = 0, uint32_t connection = 0) {
        FrameHeader h;
        h.flags = (key ? 1u : 0u) | flags;
        h.mediaType = mediatype::kVideo;
        h.size = 1;
        h.rate = 25;
        h.timeStamp = timeStamp;
        uint8_t payload = static_cast<uint8_t>(timeStamp);
        ASSERT_TRUE(queue.Push(MediaFrame::Make(h, &payload, connection)));
    }
    LiveVideoStep::Outcome Run() {
        return step.RunOnce(
            [this](const FrameBuffer& frame, bool alarm) {
                decoded.push_back(frame.header.timeStamp);
                alarms.push_back(alarm);
            },
            [this](int ms) {
                rests.push_back(ms);
                return false;
            },
            stopping);
    }

    CQueueBuf queue;
    LiveVideoStep step{queue, 64};
    std::atomic<bool> stopping{false};
    std::vector<uint32_t> decoded;
    std::vector<bool> alarms;
    std::vector<int> rests;
};

TEST_F(VideoStepFixture, NonKeyFramesNeverReachTheDecoderBeforeTheFirstKeyFrame) {
    Queue(false, 0);
    Queue(false, 40);
    Queue(true, 80);
    Queue(false, 120);
    EXPECT_EQ(Run(), LiveVideoStep::Outcome::kDropped);
    EXPECT_EQ(Run(), LiveVideoStep::Outcome::kDropped);
    EXPECT_FALSE(step.Started());
    EXPECT_EQ(Run(), LiveVideoStep::Outcome::kDecoded);
    EXPECT_TRUE(step.Started());
    EXPECT_EQ(Run(), LiveVideoStep::Outcome::kDecoded);
    EXPECT_EQ(Run(), LiveVideoStep::Outcome::kIdle);
    EXPECT_EQ(decoded, (std::vector<uint32_t>{80, 120}));
    EXPECT_EQ(step.GateDrops(), 2u);
}

TEST_F(VideoStepFixture, KeyFramesOnlyDropsPredictedPictures) {
    step.SetKeyFramesOnly(true);
    Queue(true, 0);
    Queue(false, 40);
    Queue(true, 80);
    while (Run() != LiveVideoStep::Outcome::kIdle) {
    }
    EXPECT_EQ(decoded, (std::vector<uint32_t>{0, 80}));
}

TEST_F(VideoStepFixture, AlarmOnlyForMarkerValueOne) {
    Queue(true, 0, 0x100);
    Queue(false, 40, 0x200);
    Queue(false, 80, 0);
    while (Run() != LiveVideoStep::Outcome::kIdle) {
    }
    EXPECT_EQ(alarms, (std::vector<bool>{true, false, false}));
}

TEST_F(VideoStepFixture, PacesFromTheFirstFramesTimeStamp) {
    Queue(true, 1000);  // first frame: no previous one, no rest
    Queue(false, 1040);
    Queue(false, 1240);  // a gap: not waited for
    while (Run() != LiveVideoStep::Outcome::kIdle) {
    }
    // Decoding here takes about 0 ms: (40 - 0 - 30) / 3 = 3.
    ASSERT_EQ(rests.size(), 1u);
    EXPECT_GE(rests[0], 2);
    EXPECT_LE(rests[0], 3);
}

// A reconnection starts a new stream: its first picture is a key frame, the
// decoder is told before it (the channel flushes it there) and pacing does
// not measure the step from the old connection's clock.
TEST_F(VideoStepFixture, ANewConnectionStartsAFreshStreamAtAKeyFrame) {
    std::vector<size_t> newStreams;  // frames decoded when the handler ran
    step.SetNewStreamHandler([this, &newStreams] { newStreams.push_back(decoded.size()); });
    Queue(true, 1000, 0, 1);
    Queue(false, 1040, 0, 1);
    Queue(false, 1090, 0, 2);  // the new connection's stream begins mid-GOP
    Queue(true, 1100, 0, 2);
    Queue(false, 1140, 0, 2);
    Queue(false, 1000, 0, 2);  // its clock steps back
    while (Run() != LiveVideoStep::Outcome::kIdle) {
    }
    EXPECT_EQ(decoded, (std::vector<uint32_t>{1000, 1040, 1100, 1140, 1000}));
    EXPECT_EQ(newStreams, (std::vector<size_t>{0, 2}));
    EXPECT_EQ(step.GateDrops(), 1u);
    // Rests only between frames of one connection (1040 after 1000, 1140
    // after 1100): the 60 ms from the old connection's last picture to the
    // new one's first is no step of either stream.
    EXPECT_EQ(rests.size(), 2u);
}

// A pane nobody sees: frames are taken and dropped undecoded; seen again,
// decoding resumes at the next key frame, and the pane never falls back to
// "not started" (its last picture stays).
TEST_F(VideoStepFixture, HiddenPaneSkipsEverythingAndResumesAtTheNextKeyFrame) {
    Queue(true, 0);
    Queue(false, 40);
    ASSERT_EQ(Run(), LiveVideoStep::Outcome::kDecoded);
    ASSERT_EQ(Run(), LiveVideoStep::Outcome::kDecoded);
    step.SetDecodeMode(DecodeMode::kNone);
    Queue(false, 80);
    Queue(true, 120);  // a key frame while hidden is skipped too
    Queue(false, 160);
    EXPECT_EQ(Run(), LiveVideoStep::Outcome::kSkipped);
    EXPECT_EQ(Run(), LiveVideoStep::Outcome::kSkipped);
    EXPECT_EQ(Run(), LiveVideoStep::Outcome::kSkipped);
    EXPECT_TRUE(step.Started());
    step.SetDecodeMode(DecodeMode::kAll);
    Queue(false, 200);  // refers to pictures never decoded
    Queue(false, 240);
    Queue(true, 280);
    Queue(false, 320);
    while (Run() != LiveVideoStep::Outcome::kIdle) {
    }
    EXPECT_EQ(decoded, (std::vector<uint32_t>{0, 40, 280, 320}));
    EXPECT_EQ(step.PolicySkips(), 5u);
    EXPECT_EQ(step.GateDrops(), 0u) << "skips are not the gate's drops";
    // The first picture after the pause rests nothing: pacing starts afresh
    // (0 -> 40 and 280 -> 320 are the steps measured).
    EXPECT_EQ(rests.size(), 2u);
}

// A tiny pane decodes key frames only; hidden from the very start, a pane
// still decodes its first key frame, so it has a picture when shown.
TEST_F(VideoStepFixture, TinyPaneKeyFramesOnlyAndAHiddenStartDecodesOnePicture) {
    step.SetDecodeMode(DecodeMode::kNone);
    Queue(false, 0);
    Queue(true, 40);
    Queue(false, 80);
    Queue(true, 120);
    while (Run() != LiveVideoStep::Outcome::kIdle) {
    }
    EXPECT_EQ(decoded, (std::vector<uint32_t>{40}));
    EXPECT_TRUE(step.Started());

    step.SetDecodeMode(DecodeMode::kKeyFramesOnly);
    Queue(false, 160);
    Queue(true, 200);
    Queue(false, 240);
    Queue(true, 280);
    while (Run() != LiveVideoStep::Outcome::kIdle) {
    }
    EXPECT_EQ(decoded, (std::vector<uint32_t>{40, 200, 280}));
    // The user's own key-frames-only flag is untouched by the pane's mode.
    EXPECT_FALSE(step.KeyFramesOnly());

    // Grown past the edge after a skipped picture: the next predicted one
    // would miss its reference, so every picture resumes at a key frame.
    Queue(false, 320);
    step.SetDecodeMode(DecodeMode::kKeyFramesOnly);
    EXPECT_EQ(Run(), LiveVideoStep::Outcome::kSkipped);
    step.SetDecodeMode(DecodeMode::kAll);
    Queue(false, 360);
    Queue(true, 400);
    Queue(false, 440);
    while (Run() != LiveVideoStep::Outcome::kIdle) {
    }
    EXPECT_EQ(decoded, (std::vector<uint32_t>{40, 200, 280, 400, 440}));
}

TEST_F(VideoStepFixture, StopsWithoutDecodingOnceStopping) {
    Queue(true, 0);
    stopping = true;
    EXPECT_EQ(Run(), LiveVideoStep::Outcome::kIdle);
    EXPECT_TRUE(decoded.empty());
}

}  // namespace
}  // namespace orbisight
