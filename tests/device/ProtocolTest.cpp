#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "device/CHalvexProtocolAX.h"
#include "platform/Socket.h"

namespace orbisight {
namespace {

std::string Serialized(CHalvexProtocolAX& message) {
    const uint8_t* bytes = message.Serialize();
    return {reinterpret_cast<const char*>(bytes), static_cast<size_t>(message.TotalLength())};
}

void ParseText(CHalvexProtocolAX& message, const std::string& text) {
    message.Parse(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(HalvexProtocol, RequestExampleIs52BytesExactly) {
    CHalvexProtocolAX message;
    message.SetType(msgtype::kRequest);
    message.AddNumberField("Command_Param", 3300);
    message.AddNumberField("Wait", 1);
    EXPECT_EQ(message.TotalLength(), 52);
    EXPECT_EQ(Serialized(message),
              "01000010000026"
              "0D000004Command_Param3300"
              "04000001Wait1");
}

TEST(HalvexProtocol, MessageWithoutFieldsIsTheBare14ByteHeader) {
    CHalvexProtocolAX keepAlive;
    keepAlive.SetType(msgtype::kKeepAlive);
    EXPECT_EQ(Serialized(keepAlive), "01002003000000");
    CHalvexProtocolAX fresh;
    EXPECT_EQ(Serialized(fresh), "01000008000000");
}

TEST(HalvexProtocol, FirstValueUnderANameWinsInAnyLetterCase) {
    CHalvexProtocolAX message;
    EXPECT_TRUE(message.AddField("StreamID", "1"));
    int length = message.TotalLength();
    EXPECT_FALSE(message.AddField("streamid", "0"));
    EXPECT_EQ(message.TotalLength(), length);
    EXPECT_STREQ(message.FindText("STREAMID"), "1");
    EXPECT_FALSE(message.AddField(nullptr, "x"));
    EXPECT_FALSE(message.AddField("x", nullptr));
    EXPECT_EQ(message.Fields().size(), 1u);
}

TEST(HalvexProtocol, NumbersAreDecimalAndPaddedOnlyWhenAsked) {
    CHalvexProtocolAX message;
    message.AddNumberField("a", -1);
    message.AddNumberField("b", 7, 2);
    message.AddNumberField("c", 100, 2);
    EXPECT_STREQ(message.FindText("a"), "-1");
    EXPECT_STREQ(message.FindText("b"), "07");
    EXPECT_STREQ(message.FindText("c"), "100");
}

TEST(HalvexProtocol, BinaryValuesKeepZeroBytesOnlyWithAnExplicitLength) {
    const char block[6] = {'a', 0, 'b', 0, 0, 'c'};
    CHalvexProtocolAX message;
    message.AddField("DevInfo", block, 7, sizeof block);
    message.AddField("Text", block);
    EXPECT_EQ(message.FindField("devinfo")->valueLength, 6);
    EXPECT_EQ(message.FindField("text")->valueLength, 1);

    CHalvexProtocolAX parsed;
    std::string wire = Serialized(message);
    ParseText(parsed, wire);
    ASSERT_NE(parsed.FindField("DevInfo"), nullptr);
    EXPECT_EQ(std::memcmp(parsed.FindField("DevInfo")->Bytes(), block, sizeof block), 0);
    EXPECT_EQ(parsed.TotalLength(), static_cast<int>(wire.size()));
}

TEST(HalvexProtocol, ParseReadsHeaderFieldsAndLowerCaseHex) {
    CHalvexProtocolAX message;
    ParseText(message,
              "01002002"
              "00000c"
              "03000001Ret1");
    EXPECT_EQ(message.Type(), msgtype::kLoginReply);
    EXPECT_EQ(message.Version(), 256);
    ASSERT_NE(message.FindField("ret"), nullptr);
    EXPECT_STREQ(message.FindText("RET"), "1");
}

TEST(HalvexProtocol, UnparsableHeaderValuesKeepTheirDefaults) {
    CHalvexProtocolAX message;
    ParseText(message,
              "01G0zzzz00000C"
              "03000001Ret1");
    EXPECT_EQ(message.Version(), 256);
    EXPECT_EQ(message.Type(), msgtype::kCommand);
    EXPECT_NE(message.FindField("Ret"), nullptr);
    ParseText(message,
              "0100001100ZZ00"
              "03000001Ret1");
    EXPECT_EQ(message.Type(), msgtype::kReply);
    EXPECT_TRUE(message.Fields().empty());  // body length unreadable: 0
}

TEST(HalvexProtocol, ReceivedDuplicateNamesKeepTheFirst) {
    CHalvexProtocolAX message;
    ParseText(message,
              "01000011000018"
              "03000001Ret1"
              "03000001RET0");
    ASSERT_EQ(message.Fields().size(), 1u);
    EXPECT_STREQ(message.FindText("Ret"), "1");
}

TEST(HalvexProtocol, EmptyWireValueIsAnEmptyText) {
    CHalvexProtocolAX message;
    ParseText(message,
              "01000011"
              "00000b"
              "03000000Ret");
    ASSERT_NE(message.FindField("Ret"), nullptr);
    EXPECT_STREQ(message.FindText("Ret"), "");
}

TEST(HalvexProtocol, MalformedFieldListKeepsTheFieldsBeforeTheFault) {
    CHalvexProtocolAX message;
    // Second field claims 9 value bytes but only 1 follows within the body.
    ParseText(message,
              "01000011000018"
              "03000001Ret1"
              "01000009X1");
    ASSERT_EQ(message.Fields().size(), 1u);
    // A field header that is not hex ends the list.
    ParseText(message,
              "0100001100001A"
              "03000001Ret1"
              "0G000001X1");
    EXPECT_EQ(message.Fields().size(), 1u);
    // Body length 0 yields no fields even when bytes follow.
    ParseText(message,
              "01000011000000"
              "03000001Ret1");
    EXPECT_TRUE(message.Fields().empty());
}

TEST(HalvexProtocol, BodyLimitIsInclusiveAt1572856) {
    auto build = [](int bodyLength) {
        std::string wire = "01000009";
        char length[8];
        std::snprintf(length, sizeof length, "%06X", bodyLength);
        wire += length;
        char field[16];
        std::snprintf(field, sizeof field, "04%06X", bodyLength - 12);
        wire += field;
        wire += "Data";
        wire.append(static_cast<size_t>(bodyLength - 12), 'x');
        return wire;
    };
    CHalvexProtocolAX message;
    ParseText(message, build(1572856));
    ASSERT_NE(message.FindField("Data"), nullptr);
    EXPECT_EQ(message.FindField("Data")->valueLength, 1572856 - 12);
    ParseText(message, build(1572857));
    EXPECT_TRUE(message.Fields().empty());
    EXPECT_EQ(message.Type(), msgtype::kMedia);
}

TEST(HalvexProtocol, HeaderClaimingMoreThanTheBytesHeldIsReadSafely) {
    CHalvexProtocolAX message;
    ParseText(message,
              "01000011FFFFFF"
              "03000001Ret1"
              "04000100Data");
    ASSERT_EQ(message.Fields().size(), 0u);  // above the parse limit
    ParseText(message,
              "01000011001000"
              "03000001Ret1"
              "04000100Data");
    ASSERT_EQ(message.Fields().size(), 1u);
    EXPECT_STREQ(message.FindText("Ret"), "1");
    ParseText(message, "0100");
    EXPECT_TRUE(message.Fields().empty());
}

TEST(HalvexProtocol, SerialisingTwiceGivesTheSameBytes) {
    CHalvexProtocolAX message;
    message.AddField("Command", "Start");
    std::string first = Serialized(message);
    EXPECT_EQ(Serialized(message), first);
    message.AddField("Type", "Video");
    EXPECT_EQ(Serialized(message).size(), static_cast<size_t>(message.TotalLength()));
}

class StreamReadTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_), 0); }
    void TearDown() override {
        CloseSocket(fds_[0]);
        CloseSocket(fds_[1]);
    }
    void Feed(const std::string& bytes) { ::send(fds_[1], bytes.data(), bytes.size(), 0); }
    int fds_[2] = {-1, -1};
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(3110400);
};

TEST_F(StreamReadTest, ReadsWholeMessagesBackToBack) {
    Feed(
        "01000011000019"
        "03000001Ret1"
        "04000001Wait1");
    Feed("01002003000000");
    CHalvexProtocolAX message;
    ASSERT_EQ(ReceiveMessage(fds_[0], 1000, 1000, 327678, buffer_.data(), buffer_.size(), message),
              ReceiveResult::kOk);
    EXPECT_STREQ(message.FindText("Wait"), "1");
    ASSERT_EQ(ReceiveMessage(fds_[0], 1000, 1000, 327678, buffer_.data(), buffer_.size(), message),
              ReceiveResult::kOk);
    EXPECT_EQ(message.Type(), msgtype::kKeepAlive);
}

TEST_F(StreamReadTest, RejectsALengthAboveTheChannelLimitWithoutReadingTheBody) {
    Feed("0100001104FFFF");
    CHalvexProtocolAX message;
    EXPECT_EQ(ReceiveMessage(fds_[0], 1000, 1000, 327678, buffer_.data(), buffer_.size(), message),
              ReceiveResult::kTooLong);
    Feed("0100001104FFFE");
    EXPECT_EQ(ReceiveMessage(fds_[0], 1000, 100, 327678, buffer_.data(), buffer_.size(), message),
              ReceiveResult::kShortRead);  // accepted, but the body never comes
}

TEST_F(StreamReadTest, ALengthThatDoesNotFitTheBufferIsRejected) {
    Feed("01000011000100");
    std::vector<uint8_t> small(64);
    CHalvexProtocolAX message;
    EXPECT_EQ(ReceiveMessage(fds_[0], 1000, 1000, 327678, small.data(), small.size(), message),
              ReceiveResult::kTooLong);
}

TEST_F(StreamReadTest, NonHexLengthIsMalformedAndAClosedPeerIsAShortRead) {
    Feed("010000110000G0");
    CHalvexProtocolAX message;
    EXPECT_EQ(ReceiveMessage(fds_[0], 1000, 1000, 327678, buffer_.data(), buffer_.size(), message),
              ReceiveResult::kMalformed);
    Feed("0100");
    ::shutdown(fds_[1], SHUT_WR);
    EXPECT_EQ(ReceiveMessage(fds_[0], 1000, 1000, 327678, buffer_.data(), buffer_.size(), message),
              ReceiveResult::kShortRead);
}

}  // namespace
}  // namespace orbisight
