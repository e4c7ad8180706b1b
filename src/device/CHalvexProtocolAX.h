#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace orbisight {

// One named field of a device message. Name and value are owned copies with
// a NUL appended, so a text value can be read as a C string.
struct Field {
    int nameLength = 0;
    int valueLength = 0;
    std::unique_ptr<char[]> name;
    std::unique_ptr<char[]> value;

    std::string_view Name() const { return {name.get(), static_cast<size_t>(nameLength)}; }
    std::string_view Value() const { return {value.get(), static_cast<size_t>(valueLength)}; }
    const char* Text() const { return value.get(); }
    const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(value.get()); }
};

// Message types of the camera protocol.
namespace msgtype {
constexpr int kCommand = 8;
constexpr int kMedia = 9;
constexpr int kRequest = 16;
constexpr int kReply = 17;
constexpr int kLogin = 8193;
constexpr int kLoginReply = 8194;
constexpr int kKeepAlive = 8195;
}  // namespace msgtype

// The message exchanged with a camera over TCP: a 14-byte ASCII-hex header
// (version, type, body length) and a list of fields, each
// "%02X" name length, "%06X" value length, name, value. No separators.
class CHalvexProtocolAX {
  public:
    static constexpr int kHeaderSize = 14;
    static constexpr int kDefaultVersion = 256;
    // Bodies longer than this parse to a message without fields.
    static constexpr int kMaxParsedBody = 1572856;

    CHalvexProtocolAX() { Reset(); }
    CHalvexProtocolAX(const CHalvexProtocolAX&) = delete;
    CHalvexProtocolAX& operator=(const CHalvexProtocolAX&) = delete;

    void Reset();

    // Adds a field at the end. A length of 0 takes the length of the
    // NUL-terminated text. A missing name or value, or a name already present
    // (case-insensitive), leaves the message unchanged: the first value wins.
    bool AddField(const char* name, const void* value, int nameLength = 0, int valueLength = 0);
    // Adds number as decimal text, zero-padded to at least width digits.
    bool AddNumberField(const char* name, int number, int width = 0);

    // The first field whose name equals name (ASCII case-insensitive).
    const Field* FindField(std::string_view name) const;
    // The field's text, or nullptr when absent.
    const char* FindText(std::string_view name) const;

    // Writes the message into the owned output buffer and returns it; the
    // caller sends exactly TotalLength() bytes.
    const uint8_t* Serialize();

    // Resets, then reads header and fields. At most `available` bytes are
    // read: a body length that runs past them parses the fields that fit.
    void Parse(const uint8_t* bytes, size_t available);

    int Version() const { return version_; }
    int Type() const { return type_; }
    void SetType(int type) { type_ = type; }
    void SetVersion(int version) { version_ = version; }
    int TotalLength() const { return totalLength_; }
    // The body length read by the last Parse.
    int ParsedBodyLength() const { return parsedBodyLength_; }
    const std::vector<std::unique_ptr<Field>>& Fields() const { return fields_; }

  private:
    void Append(const char* bytes, size_t length);

    std::vector<std::unique_ptr<Field>> fields_;  // wire order
    int version_ = kDefaultVersion;
    int type_ = msgtype::kCommand;
    int totalLength_ = kHeaderSize;
    int writePosition_ = 0;
    int parsedBodyLength_ = 0;
    std::vector<uint8_t> output_;
};

// Reads `width` ASCII hex digits (either case). False when any is not hex.
bool ParseHexDigits(const uint8_t* text, int width, int& out);

enum class ReceiveResult {
    kOk,         // a whole message was read and parsed
    kShortRead,  // the socket failed, closed or timed out
    kMalformed,  // the header's body length is not hexadecimal
    kTooLong,    // the body length is above the limit; the body was not read
};

// Reads one message from a stream socket into buffer (header, body, NUL)
// and parses it into message. The body length is checked against maxBody and
// against the buffer before anything is read into it.
ReceiveResult ReceiveMessage(int socket, int headerTimeoutMs, int bodyTimeoutMs, int maxBody,
                             uint8_t* buffer, size_t capacity, CHalvexProtocolAX& message);

// Serialises message and sends it whole with a send time-out. Returns the
// number of bytes sent (0 when the socket is closed).
int SendMessage(int socket, CHalvexProtocolAX& message, int timeoutMs = 1000);

}  // namespace orbisight
