#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <vector>

#include <nlohmann/json.hpp>

#include "ChannelTestSupport.h"
#include "media/CXOMPPlayer.h"
#include "media/FrameStamp.h"
#include "media/HeadlessVideoSink.h"
#include "media/MediaHooks.h"
#include "platform/Clock.h"
#include "sim/stream/StreamTestServer.h"

namespace orbisight {
namespace {

using test::CameraRecord;
using test::Direct;
using test::Eventually;

FrameHeader VideoHeader() {
    FrameHeader header;
    header.flags = 0x101;
    header.mediaType = mediatype::kVideo;
    header.size = 1234;
    header.rate = 25;
    header.timeStamp = 0x89abcdef;
    return header;
}

// The stamp rides in the last four header bytes and leaves every field a
// client reads as it was, in both byte orders.
TEST(SendStamp, SurvivesBothHeaderFormsAndLeavesTheOtherFieldsAlone) {
    FrameHeader plain = VideoHeader();
    FrameHeader stamped = plain;
    WriteSendStamp(stamped, 0xfedcba98);

    uint8_t plainWire[FrameHeader::kSize];
    uint8_t stampedWire[FrameHeader::kSize];
    WriteFrameHeaderNetwork(plain, plainWire);
    WriteFrameHeaderNetwork(stamped, stampedWire);
    EXPECT_EQ(std::memcmp(plainWire, stampedWire, 24), 0);
    const uint8_t expected[4] = {0xfe, 0xdc, 0xba, 0x98};  // big-endian on the wire
    EXPECT_EQ(std::memcmp(stampedWire + 24, expected, 4), 0);

    FrameHeader read = ReadFrameHeaderNetwork(stampedWire);
    EXPECT_EQ(ReadSendStamp(read), 0xfedcba98u);
    EXPECT_EQ(read.timeStamp, 0x89abcdefu);
    EXPECT_EQ(read.flags, 0x101u);
    EXPECT_EQ(read.size, 1234u);
    EXPECT_TRUE(read.KeyFrame());
    EXPECT_TRUE(read.AlarmMarked());

    // A recording keeps the bytes as received.
    uint8_t file[FrameHeader::kSize];
    WriteFrameHeaderFile(read, file);
    EXPECT_EQ(ReadSendStamp(ReadFrameHeaderFile(file)), 0xfedcba98u);

    EXPECT_EQ(ReadSendStamp(plain), 0u);  // an unstamped camera's header
}

TEST(SendStamp, TheClockSkipsZeroWhereItWraps) {
    EXPECT_EQ(SendStampAt(0x1'0000'0000ull), 1u);  // would be 0: "not stamped"
    EXPECT_EQ(SendStampAt(0x1'0000'0001ull), 1u);
    EXPECT_EQ(SendStampAt(0x0'ffff'ffffull), 0xffffffffu);
    EXPECT_EQ(SendStampAt(0x2'0000'0005ull), 5u);
    EXPECT_NE(SendStampNow(), 0u);
}

TEST(SendStamp, AgeAcrossTheWrapAndAtItsLimits) {
    EXPECT_EQ(StampAgeMs(0xfffffff0u, 0x10u), 32u);  // sent before the wrap, painted after
    EXPECT_EQ(StampAgeMs(0xffffffffu, 1), 2u);       // stamped at the last millisecond
    EXPECT_EQ(StampAgeMs(500, 500), 0u);
    EXPECT_EQ(StampAgeMs(500, 500 + kMaxStampAgeMs), kMaxStampAgeMs);  // last accepted
    EXPECT_FALSE(StampAgeMs(500, 500 + kMaxStampAgeMs + 1));           // first refused
    EXPECT_FALSE(StampAgeMs(501, 500));  // from the future: another clock
    EXPECT_FALSE(StampAgeMs(1, 0xffffffffu));
    EXPECT_FALSE(StampAgeMs(0, 40));  // not stamped
    EXPECT_FALSE(StampAgeMs(0, 0));
}

TEST(LatencyRecorder, PercentilesByNearestRank) {
    LatencyRecorder recorder;
    EXPECT_EQ(recorder.Count(), 0u);
    EXPECT_EQ(recorder.Percentile(50), 0u);
    EXPECT_EQ(recorder.Percentile(99), 0u);

    recorder.Add(17);
    EXPECT_EQ(recorder.Percentile(1), 17u);
    EXPECT_EQ(recorder.Percentile(99), 17u);

    recorder.Reset();
    for (uint32_t ms = 100; ms >= 1; --ms) {  // order does not matter
        recorder.Add(ms);
    }
    EXPECT_EQ(recorder.Count(), 100u);
    EXPECT_EQ(recorder.Percentile(50), 50u);
    EXPECT_EQ(recorder.Percentile(99), 99u);
    EXPECT_EQ(recorder.Percentile(99.5), 100u);
    EXPECT_EQ(recorder.Percentile(100), 100u);
    EXPECT_EQ(recorder.Percentile(0), 1u);
    EXPECT_EQ(recorder.Max(), 100u);

    // 1 slow picture in 100 is the 99th percentile's business only above it.
    recorder.Reset();
    for (int i = 0; i < 99; ++i) {
        recorder.Add(10);
    }
    recorder.Add(900);
    EXPECT_EQ(recorder.Percentile(99), 10u);
    EXPECT_EQ(recorder.Percentile(99.01), 900u);
}

TEST(LatencyRecorder, LongLatenciesLandInTheLastBucketAndBadStampsAreLeftOut) {
    LatencyRecorder recorder;
    recorder.Add(LatencyRecorder::kBuckets - 2);
    recorder.Add(LatencyRecorder::kBuckets - 1);
    recorder.Add(50000);
    EXPECT_EQ(recorder.Max(), LatencyRecorder::kBuckets - 1);
    EXPECT_EQ(recorder.Percentile(1), LatencyRecorder::kBuckets - 2);
    EXPECT_EQ(recorder.Percentile(100), LatencyRecorder::kBuckets - 1);

    recorder.Reset();
    EXPECT_TRUE(recorder.AddStamp(0xffffffe0u, 0x20u));  // 64 ms across the wrap
    EXPECT_FALSE(recorder.AddStamp(0, 1000));
    EXPECT_FALSE(recorder.AddStamp(2000, 1000));
    EXPECT_EQ(recorder.Count(), 1u);
    EXPECT_EQ(recorder.Percentile(50), 64u);
}

// The simulated camera stamps every video frame it sends; the stamp crosses
// the socket, the queue and the decoder and reaches the sink with the picture
// it belongs to, on the clock this process reads.
TEST(SendStamp, TheSimulatorsStampReachesThePicturesOverlay) {
    nlohmann::json camera = test::SmallCamera();
    camera["stream"]["audio"] = false;
    sim::StreamTestServer server(camera);
    ASSERT_TRUE(server.Start());
    uint32_t openedAt = SendStampNow();
    HeadlessVideoSink sink;
    LiveChannelOptions options;
    options.videoSink = &sink;
    CXOMPPlayer channel(options);
    NoticeQueue owner;
    auto record = CameraRecord(Direct(server.Port()));
    ASSERT_EQ(channel.Open(record.get(), &owner), 1);
    auto log = std::make_unique<test::HeaderLog>(true);
    test::HeaderLog* headers = log.get();
    channel.AttachRecorder(std::move(log));
    ASSERT_EQ(channel.ToggleRecording(), 1);
    ASSERT_TRUE(Eventually([&] { return channel.Stats().decoded >= 10; }, 8000));

    std::vector<uint32_t> pixels;
    PictureSize size;
    VideoOverlay overlay;
    ASSERT_TRUE(sink.CopyLatest(pixels, size, &overlay));
    uint32_t now = SendStampNow();
    ASSERT_NE(overlay.sendStamp, 0u);
    // Sent after the camera started and not after now, on this clock.
    EXPECT_TRUE(StampAgeMs(overlay.sendStamp, now));
    EXPECT_TRUE(StampAgeMs(openedAt, overlay.sendStamp));

    std::vector<FrameHeader> seen = headers->Headers();
    ASSERT_GE(seen.size(), 3u);
    for (size_t i = 1; i < seen.size(); ++i) {
        uint32_t stamp = ReadSendStamp(seen[i]);
        ASSERT_NE(stamp, 0u) << "frame " << i;
        // In sending order: never earlier than the frame before.
        EXPECT_TRUE(StampAgeMs(ReadSendStamp(seen[i - 1]), stamp)) << "frame " << i;
    }
    channel.Close();
}

}  // namespace
}  // namespace orbisight
