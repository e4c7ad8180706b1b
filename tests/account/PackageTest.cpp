#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "account/AccountFraming.h"
#include "account/CXOMPPackageBuilder.h"
#include "account/CXOMPPackageParser.h"
#include "platform/Socket.h"

namespace orbisight {
namespace {

std::string Encoded(CXOMPPackageBuilder& builder) {
    return std::string(builder.getBuffer(), static_cast<size_t>(builder.getDataLen()));
}

// The header of an encoded message: the bytes after the 4-digit prefix.
std::string HeaderOf(const std::string& message) {
    int length = 0;
    EXPECT_TRUE(ParseLengthPrefix(message.data(), length));
    return message.substr(4, static_cast<size_t>(length));
}

TEST(AccountPackage, RequestRoundTripKeepsOrderRepeatsAndAnyBytes) {
    CXOMPPackageBuilder builder;
    ASSERT_TRUE(builder.setHeader("get dev-info", 1));
    std::string binary("a:b\r\n\0\xff", 7);
    const char* utf8 =
        "K\xC3\xBC"
        "che";
    EXPECT_TRUE(builder.addSection("device-id", "ID1"));
    EXPECT_TRUE(builder.addSection("device-id", "ID2"));
    EXPECT_TRUE(builder.addSection("name", utf8));
    EXPECT_TRUE(builder.addSection("blob", binary));
    EXPECT_TRUE(builder.addSection("empty", ""));
    EXPECT_TRUE(builder.addSection("cseq", "3 [dev-info]"));
    std::string message = Encoded(builder);

    CXOMPPackageParser parser;
    ASSERT_TRUE(parser.parse(HeaderOf(message)));
    EXPECT_FALSE(parser.isReply());
    EXPECT_EQ(parser.getStatusCode(), 0);
    EXPECT_EQ(parser.command(), "get");
    EXPECT_EQ(parser.resourceName(), "dev-info");
    EXPECT_EQ(parser.section("device-id"), "ID1");  // the first of a repeated name
    EXPECT_EQ(parser.section("blob"), binary);
    EXPECT_EQ(parser.section("name"), utf8);
    bool found = false;
    EXPECT_EQ(parser.section("empty", &found), "");
    EXPECT_TRUE(found);
    parser.section("missing", &found);
    EXPECT_FALSE(found);
    EXPECT_EQ(parser.getIntegerSectionWithDefault("cseq", -1), 3);
    EXPECT_EQ(parser.getIntegerSectionWithDefault("missing", 77), 77);
    EXPECT_EQ(CXOMPPackageParser::getContentLength(HeaderOf(message).data(),
                                                   static_cast<int>(HeaderOf(message).size())),
              0);

    std::vector<std::string> names;
    const char* name;
    const char* value;
    int nameLength;
    int valueLength;
    while (parser.getNextSection(name, nameLength, value, valueLength)) {
        names.emplace_back(name, static_cast<size_t>(nameLength));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"device-id", "device-id", "name", "blob", "empty",
                                               "cseq"}));
}

TEST(AccountPackage, ReplyCarriesStatusLineAndBodyLength) {
    CXOMPPackageBuilder builder;
    ASSERT_TRUE(builder.setStatus(200, "OK all fine"));
    builder.addSection("total", "250");
    std::string body = "<dev-info count=\"0\"/>";
    ASSERT_TRUE(builder.setBody(body));
    std::string message = Encoded(builder);
    std::string header = HeaderOf(message);
    EXPECT_EQ(message.substr(4 + header.size()), body);

    CXOMPPackageParser parser;
    ASSERT_TRUE(parser.parse(header));
    EXPECT_TRUE(parser.isReply());
    EXPECT_EQ(parser.getStatusCode(), 200);
    EXPECT_EQ(parser.statusDescription(), "OK all fine");
    EXPECT_EQ(CXOMPPackageParser::getContentLength(header.data(), static_cast<int>(header.size())),
              static_cast<int>(body.size()));

    builder.setStatus(401, "");
    parser.parse(HeaderOf(Encoded(builder)));
    EXPECT_EQ(parser.getStatusCode(), 401);
    EXPECT_EQ(parser.statusDescription(), "");
}

TEST(AccountPackage, BuilderRefusesWhatCannotBeEncoded) {
    CXOMPPackageBuilder builder;
    EXPECT_FALSE(builder.addSection("cseq", "1"));  // no header yet
    EXPECT_FALSE(builder.hasMessage());
    EXPECT_EQ(builder.getDataLen(), 0);

    EXPECT_FALSE(builder.setHeader("get\r\nevil", 1));
    ASSERT_TRUE(builder.setHeader("get all-dev", 1));
    EXPECT_FALSE(builder.addSection("bad:name", "x"));
    EXPECT_FALSE(builder.hasMessage());  // a refused section spoils the message
    EXPECT_EQ(builder.getDataLen(), 0);

    builder.reset();
    ASSERT_TRUE(builder.setHeader("get dev-info", 1));
    std::string big(40000, 'x');
    EXPECT_TRUE(builder.addSection("a", big));
    EXPECT_FALSE(builder.addSection("b", big));  // the header would pass 65535 bytes
    EXPECT_EQ(builder.getDataLen(), 0);
}

TEST(AccountPackage, ParserRejectsDamagedHeadersWithoutReadingPastThem) {
    const char* damaged[] = {
        "get all-dev",                     // no line end
        "get all-dev\r\ncseq:5:2000\r\n",  // value longer than the header
        "get all-dev\r\ncseq:4:2000",      // value not closed by a line end
        "get all-dev\r\ncseq:x:2000\r\n",  // length not a number
        "get all-dev\r\ncseq:-1:\r\n",     // negative length
        "get all-dev\r\n:4:2000\r\n",      // empty name
        "get all-dev\r\ncseq:99999999999:2\r\n",
        "XOMP/1.0 2x0 OK\r\n",  // status code not a number
    };
    for (const char* text : damaged) {
        CXOMPPackageParser parser;
        std::string header(text);
        EXPECT_FALSE(parser.parse(header)) << text;
        EXPECT_EQ(
            CXOMPPackageParser::getContentLength(header.data(), static_cast<int>(header.size())), 0)
            << text;
    }
    CXOMPPackageParser parser;
    EXPECT_FALSE(parser.parse(nullptr, 5));
    EXPECT_FALSE(parser.parse("x", 0));
}

TEST(AccountPackage, LengthPrefixMustBeFourHexDigitsAboveZero) {
    int length = -1;
    EXPECT_TRUE(ParseLengthPrefix("001a", length));
    EXPECT_EQ(length, 26);
    EXPECT_TRUE(ParseLengthPrefix("FFFF", length));
    EXPECT_EQ(length, 65535);
    EXPECT_FALSE(ParseLengthPrefix("0000", length));
    EXPECT_FALSE(ParseLengthPrefix("zzzz", length));
    EXPECT_FALSE(ParseLengthPrefix(" 12a", length));
    EXPECT_FALSE(ParseLengthPrefix("0x1a", length));
    EXPECT_FALSE(ParseLengthPrefix("-001", length));
}

// Reading from one end of a socket pair what the test writes to the other.
class FramingTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_), 0); }
    void TearDown() override {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    void Write(const std::string& bytes) {
        ASSERT_EQ(::write(fds_[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    AccountReadResult Read(AccountMessage& message) {
        AccountReadTimeouts timeouts;
        timeouts.prefixMs = timeouts.headerMs = timeouts.bodyMs = 300;
        return ReadAccountMessage(fds_[0], timeouts, message);
    }
    int fds_[2] = {-1, -1};
};

TEST_F(FramingTest, WholeMessagesAreReadOneAfterAnother) {
    CXOMPPackageBuilder first;
    first.setStatus(200, "OK");
    first.addSection("cseq", "3 [dev-info]");
    first.setBody("<dev-info/>");
    CXOMPPackageBuilder second;
    second.setHeader("notify alarm", 1);
    second.addSection("device-id", "A");
    Write(Encoded(first) + Encoded(second));

    AccountMessage message;
    ASSERT_EQ(Read(message), AccountReadResult::kMessage);
    EXPECT_EQ(message.body, "<dev-info/>");
    ASSERT_EQ(Read(message), AccountReadResult::kMessage);
    EXPECT_TRUE(message.body.empty());
    CXOMPPackageParser parser;
    parser.parse(message.header);
    EXPECT_EQ(parser.command(), "notify");
}

TEST_F(FramingTest, BadPrefixesShortBodiesAndClosedConnectionsAreBroken) {
    AccountMessage message;
    Write("0000");
    EXPECT_EQ(Read(message), AccountReadResult::kBroken);
    Write("zz1g");
    EXPECT_EQ(Read(message), AccountReadResult::kBroken);

    CXOMPPackageBuilder reply;
    reply.setStatus(200, "OK");
    reply.setBody("0123456789");
    std::string bytes = Encoded(reply);
    Write(bytes.substr(0, bytes.size() - 3));  // the body stops short
    EXPECT_EQ(Read(message), AccountReadResult::kBroken);

    // An announced body beyond the limit is not read at all.
    std::string header = "XOMP/1.0 200 OK\r\ncontent-length:9:999999999\r\n";
    char prefix[5];
    std::snprintf(prefix, sizeof prefix, "%04x", static_cast<unsigned>(header.size()));
    Write(prefix + header);
    EXPECT_EQ(Read(message), AccountReadResult::kBroken);

    ::shutdown(fds_[1], SHUT_WR);
    EXPECT_EQ(Read(message), AccountReadResult::kBroken);
}

}  // namespace
}  // namespace orbisight
