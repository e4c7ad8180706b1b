#include "account/AccountFraming.h"

#include "account/CXOMPPackageBuilder.h"
#include "account/CXOMPPackageParser.h"
#include "platform/Socket.h"

namespace orbisight {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

AccountReadResult Broken(std::string* problem, const char* why) {
    if (problem != nullptr) {
        *problem = why;
    }
    return AccountReadResult::kBroken;
}

}  // namespace

bool ParseLengthPrefix(const char prefix[4], int& length) {
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        int digit = HexValue(prefix[i]);
        if (digit < 0) {
            return false;
        }
        value = value * 16 + digit;
    }
    length = value;
    return value > 0;
}

AccountReadResult ReadAccountMessage(int socket, const AccountReadTimeouts& timeouts,
                                     AccountMessage& out, std::string* problem) {
    out.header.clear();
    out.body.clear();
    if (socket < 0) {
        return Broken(problem, "no connection");
    }
    if (timeouts.readableMs > 0 && WaitReadable(socket, timeouts.readableMs) == 0) {
        return AccountReadResult::kIdle;
    }
    char prefix[4];
    if (ReceiveExact(timeouts.prefixMs, socket, 4, prefix) != 4) {
        return Broken(problem, "connection closed or no length prefix");
    }
    int headerLength = 0;
    if (!ParseLengthPrefix(prefix, headerLength)) {
        return Broken(problem, "length prefix is not 4 hexadecimal digits above 0");
    }
    SetSocketBuffers(65535, socket);
    out.header.resize(static_cast<size_t>(headerLength));
    if (ReceiveExact(timeouts.headerMs, socket, headerLength, out.header.data()) != headerLength) {
        return Broken(problem, "header shorter than its prefix announced");
    }
    CXOMPPackageParser parser;
    if (!parser.parse(out.header)) {
        return Broken(problem, "malformed header");
    }
    bool announced = false;
    std::string_view lengthText = parser.section("content-length", &announced);
    int bodyLength = CXOMPPackageParser::getContentLength(out.header.data(), headerLength);
    if (announced && bodyLength <= 0 && lengthText != "0") {
        return Broken(problem, "content-length is not a decimal number");
    }
    if (bodyLength > static_cast<int>(CXOMPPackageBuilder::kMaxBodyBytes)) {
        return Broken(problem, "body longer than the limit");
    }
    if (bodyLength > 0) {
        out.body.resize(static_cast<size_t>(bodyLength));
        if (ReceiveExact(timeouts.bodyMs, socket, bodyLength, out.body.data()) != bodyLength) {
            return Broken(problem, "body shorter than announced");
        }
    }
    return AccountReadResult::kMessage;
}

bool SendAccountMessage(int socket, CXOMPPackageBuilder& message, int timeoutMs) {
    int length = message.getDataLen();
    if (socket < 0 || length <= 0) {
        return false;
    }
    return SendAll(timeoutMs, length, socket, message.getBuffer()) == length;
}

}  // namespace orbisight
