#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orbisight::p2p {

// The datagrams of the peer-to-peer service (docs/p2p-protocol.md): a
// client and a camera meet at the rendezvous service, which gives them a
// session and relays everything of it between them. Numbers are
// big-endian; the frame information travels as its 16 stored bytes.

constexpr uint8_t kMagic0 = 'O';
constexpr uint8_t kMagic1 = 'P';
constexpr uint8_t kVersion = 1;
constexpr size_t kHeaderSize = 4;

// The default rendezvous port on loopback.
constexpr uint16_t kDefaultRendezvousPort = 5570;

constexpr size_t kMaxIdLength = 63;      // a "tutkid://" identifier
constexpr size_t kMaxNameLength = 31;    // AV account and password
constexpr size_t kMaxIoctrlSize = 1024;  // control payload
constexpr size_t kMaxFrameSize = 1024000;
constexpr size_t kPieceSize = 1200;  // frame bytes per datagram
constexpr size_t kFrameInfoSize = 16;
constexpr size_t kMaxDatagram = 1400;

enum class Kind : uint8_t {
    kRegister = 1,    // camera -> rendezvous: identifier
    kRegistered = 2,  // rendezvous -> camera: identifier
    kConnect = 3,     // client -> rendezvous: nonce, identifier
    kOffer = 4,       // rendezvous -> camera: session, identifier
    kAccept = 5,      // camera -> rendezvous: session
    kConnected = 6,   // rendezvous -> client: nonce, session
    kRefused = 7,     // rendezvous -> client: nonce, reason
    kClose = 8,       // either way: session
    kPing = 9,        // either way: session (relayed to the other side)
    kData = 10,       // either way: session, AV message (relayed)
};

enum class RefuseReason : uint8_t {
    kUnknownId = 1,  // nobody registered the identifier
    kNoAnswer = 2,   // the camera did not accept in time
    kFull = 3,       // the rendezvous keeps no more sessions
};

enum class AvKind : uint8_t {
    kLogin = 1,       // client -> camera: channel, account, password
    kLoginReply = 2,  // camera -> client: channel, result, service type
    kIoctrl = 3,      // either way: channel, type, payload
    kFrame = 4,       // camera -> client: one piece of a frame
    kStop = 5,        // client -> camera: channel
};

// Results of an AV login.
constexpr uint8_t kLoginAccepted = 0;
constexpr uint8_t kLoginRefused = 1;

// One parsed datagram. Views point into the datagram parsed.
struct Datagram {
    Kind kind = Kind::kPing;
    std::string_view id;
    uint32_t nonce = 0;
    uint32_t session = 0;
    uint8_t reason = 0;

    // kData
    AvKind av = AvKind::kStop;
    uint8_t channel = 0;
    std::string_view account;
    std::string_view password;
    uint8_t result = 0;
    uint32_t serviceType = 0;
    uint32_t ioType = 0;
    const uint8_t* payload = nullptr;  // ioctrl payload or frame piece
    size_t payloadSize = 0;
    uint32_t frameIndex = 0;
    uint16_t piece = 0;
    uint16_t pieces = 0;
    uint32_t frameSize = 0;
    uint8_t info[kFrameInfoSize] = {};
};

// Checks and parses one datagram: the header, every length against the
// bytes that came and the limits above, and for a frame piece its place in
// the frame (piece below the count, the count matching the frame size, the
// piece's length exactly what its place holds). False for anything else.
bool ParseDatagram(const uint8_t* bytes, size_t size, Datagram& out);

// Pieces a frame of `frameSize` bytes is sent in (0 for 0 or above the limit).
uint16_t PiecesFor(size_t frameSize);

// Builders; each returns the whole datagram.
std::vector<uint8_t> BuildRegister(Kind kind, std::string_view id);  // kRegister, kRegistered
std::vector<uint8_t> BuildConnect(uint32_t nonce, std::string_view id);
std::vector<uint8_t> BuildOffer(uint32_t session, std::string_view id);
std::vector<uint8_t> BuildSessionOnly(Kind kind, uint32_t session);  // kAccept, kClose, kPing
std::vector<uint8_t> BuildConnected(uint32_t nonce, uint32_t session);
std::vector<uint8_t> BuildRefused(uint32_t nonce, RefuseReason reason);
std::vector<uint8_t> BuildAvLogin(uint32_t session, uint8_t channel, std::string_view account,
                                  std::string_view password);
std::vector<uint8_t> BuildAvLoginReply(uint32_t session, uint8_t channel, uint8_t result,
                                       uint32_t serviceType);
std::vector<uint8_t> BuildAvIoctrl(uint32_t session, uint8_t channel, uint32_t type,
                                   const uint8_t* payload, size_t size);
std::vector<uint8_t> BuildAvStop(uint32_t session, uint8_t channel);
// One piece of a frame; `data` is the whole frame, the piece is cut from it.
std::vector<uint8_t> BuildAvFramePiece(uint32_t session, uint8_t channel, uint32_t frameIndex,
                                       uint16_t piece, const uint8_t* info, const uint8_t* data,
                                       size_t frameSize);

}  // namespace orbisight::p2p
