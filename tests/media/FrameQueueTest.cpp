#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "media/CQueueBuf.h"
#include "media/FrameSplitter.h"
#include "media/MediaHooks.h"

namespace orbisight {
namespace {

FrameHeader Header(uint32_t type, uint32_t size, bool key = false, uint32_t rate = 25,
                   uint32_t timeStamp = 0) {
    FrameHeader h;
    h.flags = key ? 1 : 0;
    h.mediaType = type;
    h.size = size;
    h.rate = rate;
    h.timeStamp = timeStamp;
    return h;
}

// Appends a frame as a camera sends it; `fill` marks the payload.
void Append(std::vector<uint8_t>& data, const FrameHeader& h, uint8_t fill) {
    size_t at = data.size();
    data.resize(at + FrameHeader::kSize + h.size, fill);
    WriteFrameHeaderNetwork(h, data.data() + at);
}

class RecordingRecorder : public FrameRecorder {
  public:
    bool Start(const char*, const char*) override { return true; }
    void Stop() override {}
    void Write(const FrameHeader& header, const uint8_t*) override { headers.push_back(header); }
    std::vector<FrameHeader> headers;
};

TEST(FrameHeader, NetworkAndFileByteOrders) {
    FrameHeader h = Header(mediatype::kVideo, 0x01020304, true, 25, 0xA0B0C0D0);
    h.flags = 0x0101;
    std::memcpy(h.reserved1, "\x01\x02\x03\x04", 4);
    uint8_t wire[28];
    WriteFrameHeaderNetwork(h, wire);
    EXPECT_EQ(wire[8], 0x01);
    EXPECT_EQ(wire[11], 0x04);
    EXPECT_EQ(wire[20], 0x01);  // reserved bytes kept as they are
    FrameHeader back = ReadFrameHeaderNetwork(wire);
    EXPECT_EQ(back.size, 0x01020304u);
    EXPECT_EQ(back.timeStamp, 0xA0B0C0D0u);
    EXPECT_TRUE(back.KeyFrame());
    EXPECT_TRUE(back.AlarmMarked());
    uint8_t file[28];
    WriteFrameHeaderFile(h, file);
    EXPECT_EQ(file[8], 0x04);
    EXPECT_EQ(ReadFrameHeaderFile(file).size, 0x01020304u);
    // Only the value 1 marks an alarm.
    h.flags = 0x0201;
    EXPECT_FALSE(h.AlarmMarked());
}

TEST(CQueueBuf, HoldsThirtyFramesInOrder) {
    CQueueBuf queue;
    for (uint32_t i = 0; i < 30; ++i) {
        uint8_t payload = static_cast<uint8_t>(i);
        ASSERT_TRUE(queue.Push(MediaFrame::Make(Header(1, 1, false, 25, i), &payload)));
    }
    uint8_t payload = 99;
    EXPECT_FALSE(queue.Push(MediaFrame::Make(Header(1, 1), &payload)));
    FrameBuffer buffer(16);
    for (uint32_t i = 0; i < 30; ++i) {
        ASSERT_EQ(queue.Pop(buffer), CQueueBuf::PopResult::kFrame);
        EXPECT_EQ(buffer.header.timeStamp, i);
        EXPECT_EQ(buffer.Data()[0], i);
    }
    EXPECT_EQ(queue.Pop(buffer), CQueueBuf::PopResult::kEmpty);
}

TEST(CQueueBuf, FrameLargerThanTheTargetIsDroppedNotCopied) {
    CQueueBuf queue;
    std::vector<uint8_t> big(100, 7);
    queue.Push(MediaFrame::Make(Header(2, 100), big.data()));
    uint8_t small = 1;
    queue.Push(MediaFrame::Make(Header(2, 1), &small));
    FrameBuffer buffer(64);
    EXPECT_EQ(queue.Pop(buffer), CQueueBuf::PopResult::kTooLarge);
    EXPECT_EQ(queue.Pop(buffer), CQueueBuf::PopResult::kFrame);
    EXPECT_EQ(buffer.Size(), 1u);
    EXPECT_EQ(queue.Size(), 0u);
}

TEST(CQueueBuf, RefilledSparesCarryEachFramesOwnBytes) {
    // Popped frames are refilled by later pushes: a frame must come out
    // with its own size and bytes whether its spare was larger, exactly as
    // large, or too small (4096 is the first rounded capacity).
    CQueueBuf queue;
    FrameBuffer buffer(8192);
    const uint32_t sizes[] = {4096, 1, 4096, 4097, 0, 3, 8192, 2};
    for (int round = 0; round < 2; ++round) {
        uint8_t fill = 0;
        for (uint32_t size : sizes) {
            std::vector<uint8_t> payload(size, ++fill);
            ASSERT_TRUE(queue.Push(Header(mediatype::kVideo, size, false, 25, fill), payload.data(),
                                   40u + fill));
        }
        fill = 0;
        for (uint32_t size : sizes) {
            ++fill;
            ASSERT_EQ(queue.Pop(buffer), CQueueBuf::PopResult::kFrame);
            ASSERT_EQ(buffer.Size(), size);
            EXPECT_EQ(buffer.header.timeStamp, fill);
            EXPECT_EQ(buffer.connection, 40u + fill);
            for (uint32_t i = 0; i < size; ++i) {
                ASSERT_EQ(buffer.Data()[i], fill) << "size " << size << " byte " << i;
            }
        }
        // Interleaved: each push refills the frame the pop before emptied.
        for (uint32_t size : sizes) {
            std::vector<uint8_t> payload(size);
            for (uint32_t i = 0; i < size; ++i) {
                payload[i] = static_cast<uint8_t>(i * 7 + size);
            }
            ASSERT_TRUE(queue.Push(Header(mediatype::kVideo, size), payload.data(), 1));
            ASSERT_EQ(queue.Pop(buffer), CQueueBuf::PopResult::kFrame);
            ASSERT_EQ(buffer.Size(), size);
            EXPECT_EQ(std::vector<uint8_t>(buffer.Data(), buffer.Data() + size), payload);
        }
    }
    // A full queue refuses the copy too.
    uint8_t byte = 5;
    for (size_t i = 0; i < CQueueBuf::kCapacity; ++i) {
        ASSERT_TRUE(queue.Push(Header(mediatype::kVideo, 1), &byte, 0));
    }
    EXPECT_FALSE(queue.Push(Header(mediatype::kVideo, 1), &byte, 0));
    EXPECT_EQ(queue.Size(), CQueueBuf::kCapacity);
}

TEST(FrameSplitter, SplitsVideoAndAudioAndFixesRates) {
    FrameSplitter splitter;
    std::vector<uint8_t> data;
    Append(data, Header(mediatype::kVideo, 10, true, 0), 1);
    Append(data, Header(mediatype::kAudio, 5, false, 4000), 2);
    Append(data, Header(7, 3), 3);  // unknown type: not queued
    Append(data, Header(mediatype::kVideo, 8, false, 30), 4);
    RecordingRecorder recorder;
    splitter.Split(data.data(), data.size(), &recorder);

    FrameBuffer buffer(64);
    ASSERT_EQ(splitter.VideoQueue().Pop(buffer), CQueueBuf::PopResult::kFrame);
    EXPECT_EQ(buffer.header.rate, 5u);  // 0 becomes 5
    EXPECT_EQ(buffer.Size(), 10u);
    ASSERT_EQ(splitter.VideoQueue().Pop(buffer), CQueueBuf::PopResult::kFrame);
    EXPECT_EQ(buffer.Data()[0], 4);
    ASSERT_EQ(splitter.AudioQueue().Pop(buffer), CQueueBuf::PopResult::kFrame);
    EXPECT_EQ(buffer.header.rate, 8000u);  // below 8000 becomes 8000
    EXPECT_EQ(splitter.VideoRate(), 30u);
    // The recorder sees every frame, in host order, before queueing.
    ASSERT_EQ(recorder.headers.size(), 4u);
    EXPECT_EQ(recorder.headers[2].mediaType, 7u);
}

TEST(FrameSplitter, HeaderExactly28BytesBeforeTheEndIsNotRead) {
    FrameSplitter splitter;
    std::vector<uint8_t> data;
    Append(data, Header(mediatype::kVideo, 4, true), 1);
    Append(data, Header(mediatype::kVideo, 4, false), 2);
    Append(data, Header(mediatype::kVideo, 0, true), 3);
    RecordingRecorder recorder;
    splitter.Split(data.data(), data.size(), &recorder);
    EXPECT_EQ(splitter.VideoQueue().Size(), 2u);
    EXPECT_EQ(recorder.headers.size(), 2u);
}

TEST(FrameSplitter, FrameRunningPastTheValueEndsTheSplitWithoutReadingPast) {
    FrameSplitter splitter;
    std::vector<uint8_t> data;
    Append(data, Header(mediatype::kVideo, 4, true), 1);
    FrameHeader liar = Header(mediatype::kVideo, 1000, false);
    Append(data, liar, 2);
    data.resize(data.size() - 1000 + 10);  // only 10 of the 1000 bytes are there
    // Copy into an exact-size heap block so a sanitizer catches any overread.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[data.size()]);
    std::memcpy(exact.get(), data.data(), data.size());
    splitter.Split(exact.get(), data.size(), nullptr);
    EXPECT_EQ(splitter.VideoQueue().Size(), 1u);
    EXPECT_EQ(splitter.Read().droppedInvalid, 1u);
    // Frames after the damage wait for a key frame.
    EXPECT_TRUE(splitter.WaitingForKeyFrame());
    // Sizes near the 32-bit limit do not wrap around.
    std::vector<uint8_t> wrap(64, 0);
    WriteFrameHeaderNetwork(Header(mediatype::kVideo, 0xFFFFFFF0u, true), wrap.data());
    splitter.Split(wrap.data(), wrap.size(), nullptr);
    EXPECT_EQ(splitter.Read().droppedInvalid, 2u);
    // Less than one header: nothing.
    splitter.Split(wrap.data(), 27, nullptr);
    splitter.Split(wrap.data(), 0, nullptr);
    EXPECT_EQ(splitter.VideoQueue().Size(), 1u);
}

TEST(FrameSplitter, FramesTooLargeForTheirBufferAreDroppedAndTheSplitGoesOn) {
    FrameSplitter splitter;
    std::vector<uint8_t> data;
    Append(data, Header(mediatype::kAudio, kAudioFrameCapacity + 1), 1);
    Append(data, Header(mediatype::kAudio, 10), 2);
    splitter.Split(data.data(), data.size(), nullptr);
    EXPECT_EQ(splitter.AudioQueue().Size(), 1u);
    EXPECT_EQ(splitter.Read().droppedInvalid, 1u);
}

TEST(FrameSplitter, WaitsForAKeyFrameFirstAndAfterAnOverflow) {
    FrameSplitter splitter;
    std::vector<uint8_t> data;
    Append(data, Header(mediatype::kVideo, 4, false), 0);  // before any key frame
    Append(data, Header(mediatype::kVideo, 4, true), 1);
    for (int i = 0; i < 29; ++i) {
        Append(data, Header(mediatype::kVideo, 4, false), 2);
    }
    splitter.Split(data.data(), data.size(), nullptr);
    EXPECT_EQ(splitter.VideoQueue().Size(), 30u);
    EXPECT_EQ(splitter.Read().droppedGate, 1u);

    // The 31st frame overflows; the next non-key frames are dropped even
    // though there is room again, until a key frame comes.
    std::vector<uint8_t> more;
    Append(more, Header(mediatype::kVideo, 4, false), 3);
    splitter.Split(more.data(), more.size(), nullptr);
    EXPECT_EQ(splitter.Read().droppedQueue, 1u);
    FrameBuffer buffer(16);
    splitter.VideoQueue().Pop(buffer);
    splitter.VideoQueue().Pop(buffer);
    std::vector<uint8_t> after;
    Append(after, Header(mediatype::kVideo, 4, false), 4);
    Append(after, Header(mediatype::kVideo, 4, true), 5);
    Append(after, Header(mediatype::kVideo, 4, false), 6);
    splitter.Split(after.data(), after.size(), nullptr);
    EXPECT_EQ(splitter.Read().droppedGate, 2u);
    EXPECT_EQ(splitter.VideoQueue().Size(), 30u);
    // Audio overflows alone, without a gate.
    std::vector<uint8_t> sound;
    for (int i = 0; i < 31; ++i) {
        Append(sound, Header(mediatype::kAudio, 2), 7);
    }
    splitter.Split(sound.data(), sound.size(), nullptr);
    EXPECT_EQ(splitter.AudioQueue().Size(), 30u);
    EXPECT_EQ(splitter.Read().droppedQueue, 2u);
}

}  // namespace
}  // namespace orbisight
