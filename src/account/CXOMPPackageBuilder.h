#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orbisight {

// Composes one account-service message (docs/account-protocol.md):
//
//   HHHH            header length, 4 hexadecimal digits
//   header          first line, then one line per section
//   body            optional, "content-length" bytes
//
// The first line is "<command> <resource>" for requests and notifications or
// "XOMP/1.0 <code> <description>" for replies. A section is
// "<name>:<length>:<value>\r\n" with the value's byte length in decimal, so
// values may hold any bytes.
class CXOMPPackageBuilder {
  public:
    static constexpr size_t kMaxHeaderBytes = 0xFFFF;
    static constexpr size_t kMaxNameBytes = 255;
    static constexpr size_t kMaxBodyBytes = 8u << 20;

    // Discards the message.
    void reset();
    // Starts a request or notification: header text "command resource". The
    // flag is kept for callers of the classic interface and must be 1.
    // Returns false for text with a line break or NUL (nothing is started).
    bool setHeader(std::string_view headerText, int flag = 1);
    // Starts a reply with a status line (server side).
    bool setStatus(int code, std::string_view description);
    // Appends one named value; lengths are byte counts. A name may repeat.
    // Returns false (and marks the message unusable) when there is no
    // header yet, the name is empty, too long or holds ':', CR, LF or NUL,
    // or the header would pass kMaxHeaderBytes.
    bool addSection(const char* name, int nameLength, const char* value, int valueLength);
    bool addSection(std::string_view name, std::string_view value);
    // Sets the body (server side); a "content-length" section is added when
    // the buffer is built. Returns false above kMaxBodyBytes.
    bool setBody(std::string_view body);

    // True when a header was set and no section was refused.
    bool hasMessage() const { return started_ && !broken_; }
    // The encoded message (length prefix, header, body); empty when there is
    // no usable message. Valid until the next change.
    const char* getBuffer();
    int getDataLen();

  private:
    void Build();

    bool started_ = false;
    bool broken_ = false;
    bool built_ = false;
    std::string header_;  // first line and sections, without the length prefix
    std::string body_;
    bool hasBody_ = false;
    std::string buffer_;  // the encoded message, rebuilt on demand
};

}  // namespace orbisight
