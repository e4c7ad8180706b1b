#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/p2p/PeerFrameInfo.h"
#include "media/p2p/PeerWire.h"

namespace orbisight::p2p {
namespace {

bool Parses(const std::vector<uint8_t>& bytes, Datagram* out = nullptr) {
    Datagram d;
    bool ok = ParseDatagram(bytes.data(), bytes.size(), d);
    if (out != nullptr) {
        *out = d;
    }
    return ok;
}

TEST(PeerWire, EveryDatagramRoundTripsAndEveryShortenedOneIsRefused) {
    uint8_t info[kFrameInfoSize] = {78, 0, 1, 0, 0, 25, 0, 0, 10, 0, 0, 0, 1, 2, 3, 4};
    std::vector<uint8_t> frame(2500, 7);
    const uint8_t control[8] = {0, 0, 0, 0, 3, 0, 0, 0};
    std::vector<std::vector<uint8_t>> all = {
        BuildRegister(Kind::kRegister, "CAM-1"),
        BuildConnect(9, "CAM-1"),
        BuildOffer(5, "CAM-1"),
        BuildSessionOnly(Kind::kPing, 5),
        BuildConnected(9, 5),
        BuildRefused(9, RefuseReason::kUnknownId),
        BuildAvLogin(5, 0, "admin", "qv7kd"),
        BuildAvLoginReply(5, 0, kLoginAccepted, 2),
        BuildAvIoctrl(5, 0, 0x0320, control, sizeof control),
        BuildAvStop(5, 0),
        BuildAvFramePiece(5, 0, 1, 2, info, frame.data(), frame.size()),
    };
    for (const auto& bytes : all) {
        EXPECT_TRUE(Parses(bytes)) << bytes.size();
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            std::vector<uint8_t> shorter(bytes.begin(), bytes.begin() + static_cast<long>(cut));
            EXPECT_FALSE(Parses(shorter)) << "kind " << int(bytes[3]) << " cut at " << cut;
        }
        std::vector<uint8_t> longer = bytes;
        longer.push_back(0);
        EXPECT_FALSE(Parses(longer)) << "kind " << int(bytes[3]);
    }
    Datagram d;
    ASSERT_TRUE(Parses(all[8], &d));
    EXPECT_EQ(d.kind, Kind::kData);
    EXPECT_EQ(d.av, AvKind::kIoctrl);
    EXPECT_EQ(d.ioType, 0x0320u);
    ASSERT_EQ(d.payloadSize, 8u);
    EXPECT_EQ(d.payload[4], 3);
    ASSERT_TRUE(Parses(all[10], &d));
    EXPECT_EQ(d.pieces, 3);
    EXPECT_EQ(d.piece, 2);
    EXPECT_EQ(d.payloadSize, 100u);  // the last piece holds the rest
    EXPECT_EQ(std::vector<uint8_t>(d.info, d.info + 16), std::vector<uint8_t>(info, info + 16));

    std::vector<uint8_t> foreign = all[0];
    foreign[2] = kVersion + 1;
    EXPECT_FALSE(Parses(foreign));
}

TEST(PeerWire, LengthLimitsHoldAtTheirEdges) {
    EXPECT_TRUE(Parses(BuildConnect(1, std::string(63, 'a'))));
    std::vector<uint8_t> longId = {kMagic0, kMagic1, kVersion, 3, 0, 0, 0, 1, 64};
    longId.insert(longId.end(), 64, 'a');
    EXPECT_FALSE(Parses(longId));
    std::vector<uint8_t> emptyId = {kMagic0, kMagic1, kVersion, 1, 0};
    EXPECT_FALSE(Parses(emptyId));

    std::vector<uint8_t> payload(1025, 1);
    EXPECT_TRUE(Parses(BuildAvIoctrl(1, 0, 1, payload.data(), 1024)));
    // A control message that says 1025 bytes and brings them.
    std::vector<uint8_t> big = BuildAvIoctrl(1, 0, 1, payload.data(), 1024);
    big[14] = 0x04;
    big[15] = 0x01;
    big.push_back(1);
    EXPECT_FALSE(Parses(big));

    uint8_t info[kFrameInfoSize] = {};
    std::vector<uint8_t> frame(kMaxFrameSize + 1, 0);
    EXPECT_EQ(PiecesFor(kMaxFrameSize), 854);
    EXPECT_EQ(PiecesFor(kMaxFrameSize + 1), 0);
    EXPECT_EQ(PiecesFor(kPieceSize), 1);
    EXPECT_EQ(PiecesFor(kPieceSize + 1), 2);
    EXPECT_TRUE(Parses(BuildAvFramePiece(1, 0, 0, 853, info, frame.data(), kMaxFrameSize)));
    // A frame one byte over the limit, piece count made to match it.
    std::vector<uint8_t> over = BuildAvFramePiece(1, 0, 0, 0, info, frame.data(), kMaxFrameSize);
    // Datagram: header 4, session 4, kind 1, channel 1, frame index 4,
    // piece 2 (offset 14), pieces 2 (16), frame size 4 (18), information 16.
    over[16] = 0x03;
    over[17] = 0x57;  // 855 pieces
    uint32_t size = kMaxFrameSize + 1;
    over[18] = static_cast<uint8_t>(size >> 24);
    over[19] = static_cast<uint8_t>(size >> 16);
    over[20] = static_cast<uint8_t>(size >> 8);
    over[21] = static_cast<uint8_t>(size);
    EXPECT_FALSE(Parses(over));

    // A piece beyond the count, and a count that does not fit the size.
    std::vector<uint8_t> beyond = BuildAvFramePiece(1, 0, 0, 0, info, frame.data(), 2400);
    beyond[14] = 0;
    beyond[15] = 2;
    EXPECT_FALSE(Parses(beyond));
    std::vector<uint8_t> miscounted = BuildAvFramePiece(1, 0, 0, 0, info, frame.data(), 2400);
    miscounted[17] = 3;
    EXPECT_FALSE(Parses(miscounted));
}

TEST(PeerFrameInfo, HeadersAreRebuiltPerCodec) {
    AvFrameInfo info;
    info.codec = kCodecH264;
    info.flags = 1;
    info.reserve0 = 25;
    info.reserve1 = 9;
    info.reserve2 = 1;
    info.frameSize = 123456;
    info.timeStamp = 0x01020304;
    uint8_t bytes[16];
    info.Write(bytes);
    EXPECT_EQ(bytes[0], 78);
    EXPECT_EQ(bytes[8], 0x40);  // little-endian as stored
    EXPECT_EQ(bytes[12], 0x04);
    AvFrameInfo back = AvFrameInfo::Read(bytes);
    EXPECT_EQ(back.frameSize, 123456u);
    EXPECT_EQ(back.reserve1, 9);

    auto video = RebuildFrameHeader(info);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->flags, 1u + 256u);
    EXPECT_EQ(video->mediaType, mediatype::kVideo);
    EXPECT_EQ(video->size, 123456u);
    EXPECT_EQ(video->rate, 25u);
    EXPECT_EQ(video->timeStamp, 0x01020304u);
    uint8_t wire[FrameHeader::kSize];
    WriteFrameHeaderNetwork(*video, wire);
    EXPECT_EQ(wire[2], 1);  // flags 0x00000101, big-endian
    EXPECT_EQ(wire[3], 1);
    EXPECT_EQ(wire[7], 1);
    for (int i = 20; i < 28; ++i) {
        EXPECT_EQ(wire[i], 0) << i;
    }

    info.flags = 2;  // only 1 means a key frame
    info.reserve2 = 0;
    EXPECT_EQ(RebuildFrameHeader(info)->flags, 0u);

    info.codec = kCodecAudio;
    info.flags = 1;
    info.reserve0 = 99;
    auto audio = RebuildFrameHeader(info);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->flags, 0u);
    EXPECT_EQ(audio->mediaType, mediatype::kAudio);
    EXPECT_EQ(audio->rate, 8000u);
    EXPECT_EQ(audio->size, 123456u);

    info.codec = 79;
    EXPECT_FALSE(RebuildFrameHeader(info));
}

}  // namespace
}  // namespace orbisight::p2p
