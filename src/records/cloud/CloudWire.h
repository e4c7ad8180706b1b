#pragma once

// The framing of the cloud storage protocol, shared by the client library
// and the simulated server (docs/cloud-protocol.md). Header only: the
// library is a shared object of its own and links nothing of the engine.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace orbisight::cloudwire {

constexpr uint8_t kMagic[4] = {'O', 'C', 'S', '1'};
constexpr size_t kHeaderSize = 16;

// Message types; a reply has the request's type with kReplyBit set.
constexpr uint16_t kHello = 1;
constexpr uint16_t kCount = 2;
constexpr uint16_t kQuery = 3;
constexpr uint16_t kInfo = 4;
constexpr uint16_t kData = 5;
constexpr uint16_t kBye = 6;
constexpr uint16_t kReplyBit = 0x8000;

// Reply status values (0 = success).
constexpr int32_t kStatusOk = 0;
constexpr int32_t kStatusBadRequest = 1;
constexpr int32_t kStatusLoginRefused = 2;
constexpr int32_t kStatusNotFound = 3;
constexpr int32_t kStatusNotLoggedIn = 4;

// Limits.
constexpr uint32_t kMaxRequestBody = 4096;      // any request
constexpr uint32_t kMaxErrorBody = 1024;        // the text of a refusal
constexpr uint32_t kMaxQueryBody = 8u << 20;    // an XML list
constexpr uint32_t kMaxFileBytes = 512u << 20;  // one recording
constexpr size_t kMaxLoginText = 127;           // user, password, camera ID
constexpr size_t kMaxConditionText = 1024;      // condition or field list
constexpr int32_t kMaxQueryLimit = 100000;      // records per query

struct Header {
    uint16_t type = 0;
    int32_t status = 0;
    uint32_t length = 0;
};

inline void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline void PutU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
inline uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t GetU32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

inline void EncodeHeader(const Header& h, uint8_t out[kHeaderSize]) {
    std::memcpy(out, kMagic, 4);
    PutU16(out + 4, h.type);
    PutU16(out + 6, 0);
    PutU32(out + 8, static_cast<uint32_t>(h.status));
    PutU32(out + 12, h.length);
}

// False when the magic or the reserved field is wrong.
inline bool DecodeHeader(const uint8_t in[kHeaderSize], Header& h) {
    if (std::memcmp(in, kMagic, 4) != 0 || GetU16(in + 6) != 0) {
        return false;
    }
    h.type = GetU16(in + 4);
    h.status = static_cast<int32_t>(GetU32(in + 8));
    h.length = GetU32(in + 12);
    return true;
}

// Appends a 32-bit big-endian value.
inline void AppendU32(std::string& out, uint32_t v) {
    uint8_t b[4];
    PutU32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}

// Reads the NUL-terminated texts of a body one after another.
class TextReader {
  public:
    explicit TextReader(std::string_view body) : rest_(body) {}
    // False when no NUL ends the next text or it is longer than maxLength.
    bool Next(std::string& text, size_t maxLength) {
        size_t end = rest_.find('\0');
        if (end == std::string_view::npos || end > maxLength) {
            return false;
        }
        text.assign(rest_.substr(0, end));
        rest_.remove_prefix(end + 1);
        return true;
    }
    bool AtEnd() const { return rest_.empty(); }

  private:
    std::string_view rest_;
};

}  // namespace orbisight::cloudwire
