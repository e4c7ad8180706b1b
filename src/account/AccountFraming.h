#pragma once

#include <string>

namespace orbisight {

class CXOMPPackageBuilder;

// One message as read from an account-service connection.
struct AccountMessage {
    std::string header;  // the bytes after the length prefix
    std::string body;    // "content-length" bytes, or empty
};

enum class AccountReadResult {
    kMessage,  // a whole message was read
    kIdle,     // nothing arrived within the readable wait
    kBroken,   // short read, closed, bad prefix, malformed header or body
};

struct AccountReadTimeouts {
    int readableMs = 0;  // 0: do not wait for readability first
    int prefixMs = 5000;
    int headerMs = 15000;
    int bodyMs = 5000;
};

// The 4-digit length prefix: exactly four hexadecimal digits with a value
// above 0. Anything else (blanks, signs, "0x", "0000") is refused.
bool ParseLengthPrefix(const char prefix[4], int& length);

// Reads one message: prefix, header and, when the header announces one, the
// body (at most CXOMPPackageBuilder::kMaxBodyBytes). A body that does not
// arrive whole leaves the stream out of step, so it counts as broken, as do
// a malformed header and an over-long body. problem (when given) says why.
AccountReadResult ReadAccountMessage(int socket, const AccountReadTimeouts& timeouts,
                                     AccountMessage& out, std::string* problem = nullptr);

// Sends the builder's message whole. Returns true when every byte went out.
bool SendAccountMessage(int socket, CXOMPPackageBuilder& message, int timeoutMs);

}  // namespace orbisight
