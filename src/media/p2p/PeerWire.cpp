#include "media/p2p/PeerWire.h"

#include <algorithm>
#include <cstring>

namespace orbisight::p2p {
namespace {

// Reads fields off a datagram; any read past the end marks it bad.
class Reader {
  public:
    Reader(const uint8_t* bytes, size_t size) : p_(bytes), left_(size) {}

    bool Ok() const { return ok_; }
    size_t Left() const { return left_; }
    const uint8_t* Here() const { return p_; }

    uint8_t U8() {
        if (!Need(1)) {
            return 0;
        }
        uint8_t v = p_[0];
        Skip(1);
        return v;
    }
    uint16_t U16() {
        if (!Need(2)) {
            return 0;
        }
        uint16_t v = static_cast<uint16_t>(p_[0] << 8 | p_[1]);
        Skip(2);
        return v;
    }
    uint32_t U32() {
        if (!Need(4)) {
            return 0;
        }
        uint32_t v = static_cast<uint32_t>(p_[0]) << 24 | static_cast<uint32_t>(p_[1]) << 16 |
                     static_cast<uint32_t>(p_[2]) << 8 | static_cast<uint32_t>(p_[3]);
        Skip(4);
        return v;
    }
    // A text with a one-byte length, at most maxLength long and not empty.
    std::string_view Text(size_t maxLength) {
        size_t length = U8();
        if (!ok_ || length == 0 || length > maxLength || !Need(length)) {
            ok_ = false;
            return {};
        }
        std::string_view text(reinterpret_cast<const char*>(p_), length);
        if (text.find('\0') != std::string_view::npos) {
            ok_ = false;
        }
        Skip(length);
        return text;
    }
    const uint8_t* Bytes(size_t n) {
        if (!Need(n)) {
            return nullptr;
        }
        const uint8_t* at = p_;
        Skip(n);
        return at;
    }

  private:
    bool Need(size_t n) {
        if (!ok_ || left_ < n) {
            ok_ = false;
            return false;
        }
        return true;
    }
    void Skip(size_t n) {
        p_ += n;
        left_ -= n;
    }

    const uint8_t* p_;
    size_t left_;
    bool ok_ = true;
};

class Writer {
  public:
    explicit Writer(Kind kind) {
        bytes_ = {kMagic0, kMagic1, kVersion, static_cast<uint8_t>(kind)};
    }
    Writer& U8(uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    Writer& U16(uint16_t v) {
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
        bytes_.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Writer& U32(uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            bytes_.push_back(static_cast<uint8_t>(v >> shift));
        }
        return *this;
    }
    Writer& Text(std::string_view text, size_t maxLength) {
        size_t length = std::min(text.size(), maxLength);
        bytes_.push_back(static_cast<uint8_t>(length));
        bytes_.insert(bytes_.end(), text.begin(), text.begin() + static_cast<ptrdiff_t>(length));
        return *this;
    }
    Writer& Bytes(const uint8_t* data, size_t size) {
        if (size != 0) {
            bytes_.insert(bytes_.end(), data, data + size);
        }
        return *this;
    }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

  private:
    std::vector<uint8_t> bytes_;
};

bool ParseAv(Reader& r, Datagram& out) {
    out.av = static_cast<AvKind>(r.U8());
    out.channel = r.U8();
    switch (out.av) {
        case AvKind::kLogin:
            out.account = r.Text(kMaxNameLength);
            out.password = r.Text(kMaxNameLength);
            return r.Ok() && r.Left() == 0;
        case AvKind::kLoginReply:
            out.result = r.U8();
            out.serviceType = r.U32();
            return r.Ok() && r.Left() == 0;
        case AvKind::kIoctrl: {
            out.ioType = r.U32();
            size_t size = r.U16();
            if (!r.Ok() || size > kMaxIoctrlSize || r.Left() != size) {
                return false;
            }
            out.payload = r.Bytes(size);
            out.payloadSize = size;
            return r.Ok();
        }
        case AvKind::kFrame: {
            out.frameIndex = r.U32();
            out.piece = r.U16();
            out.pieces = r.U16();
            out.frameSize = r.U32();
            const uint8_t* info = r.Bytes(kFrameInfoSize);
            if (!r.Ok() || out.frameSize == 0 || out.frameSize > kMaxFrameSize ||
                out.pieces != PiecesFor(out.frameSize) || out.piece >= out.pieces) {
                return false;
            }
            std::memcpy(out.info, info, kFrameInfoSize);
            size_t offset = static_cast<size_t>(out.piece) * kPieceSize;
            size_t expected = std::min(kPieceSize, out.frameSize - offset);
            if (r.Left() != expected) {
                return false;
            }
            out.payload = r.Here();
            out.payloadSize = expected;
            return true;
        }
        case AvKind::kStop:
            return r.Ok() && r.Left() == 0;
    }
    return false;
}

}  // namespace

uint16_t PiecesFor(size_t frameSize) {
    if (frameSize == 0 || frameSize > kMaxFrameSize) {
        return 0;
    }
    return static_cast<uint16_t>((frameSize + kPieceSize - 1) / kPieceSize);
}

bool ParseDatagram(const uint8_t* bytes, size_t size, Datagram& out) {
    out = Datagram{};
    if (bytes == nullptr || size < kHeaderSize || size > kMaxDatagram || bytes[0] != kMagic0 ||
        bytes[1] != kMagic1 || bytes[2] != kVersion) {
        return false;
    }
    out.kind = static_cast<Kind>(bytes[3]);
    Reader r(bytes + kHeaderSize, size - kHeaderSize);
    switch (out.kind) {
        case Kind::kRegister:
        case Kind::kRegistered:
            out.id = r.Text(kMaxIdLength);
            break;
        case Kind::kConnect:
            out.nonce = r.U32();
            out.id = r.Text(kMaxIdLength);
            break;
        case Kind::kOffer:
            out.session = r.U32();
            out.id = r.Text(kMaxIdLength);
            break;
        case Kind::kAccept:
        case Kind::kClose:
        case Kind::kPing:
            out.session = r.U32();
            break;
        case Kind::kConnected:
            out.nonce = r.U32();
            out.session = r.U32();
            break;
        case Kind::kRefused:
            out.nonce = r.U32();
            out.reason = r.U8();
            break;
        case Kind::kData:
            out.session = r.U32();
            return r.Ok() && ParseAv(r, out);
        default:
            return false;
    }
    return r.Ok() && r.Left() == 0;
}

std::vector<uint8_t> BuildRegister(Kind kind, std::string_view id) {
    return Writer(kind).Text(id, kMaxIdLength).Take();
}

std::vector<uint8_t> BuildConnect(uint32_t nonce, std::string_view id) {
    return Writer(Kind::kConnect).U32(nonce).Text(id, kMaxIdLength).Take();
}

std::vector<uint8_t> BuildOffer(uint32_t session, std::string_view id) {
    return Writer(Kind::kOffer).U32(session).Text(id, kMaxIdLength).Take();
}

std::vector<uint8_t> BuildSessionOnly(Kind kind, uint32_t session) {
    return Writer(kind).U32(session).Take();
}

std::vector<uint8_t> BuildConnected(uint32_t nonce, uint32_t session) {
    return Writer(Kind::kConnected).U32(nonce).U32(session).Take();
}

std::vector<uint8_t> BuildRefused(uint32_t nonce, RefuseReason reason) {
    return Writer(Kind::kRefused).U32(nonce).U8(static_cast<uint8_t>(reason)).Take();
}

std::vector<uint8_t> BuildAvLogin(uint32_t session, uint8_t channel, std::string_view account,
                                  std::string_view password) {
    return Writer(Kind::kData)
        .U32(session)
        .U8(static_cast<uint8_t>(AvKind::kLogin))
        .U8(channel)
        .Text(account, kMaxNameLength)
        .Text(password, kMaxNameLength)
        .Take();
}

std::vector<uint8_t> BuildAvLoginReply(uint32_t session, uint8_t channel, uint8_t result,
                                       uint32_t serviceType) {
    return Writer(Kind::kData)
        .U32(session)
        .U8(static_cast<uint8_t>(AvKind::kLoginReply))
        .U8(channel)
        .U8(result)
        .U32(serviceType)
        .Take();
}

std::vector<uint8_t> BuildAvIoctrl(uint32_t session, uint8_t channel, uint32_t type,
                                   const uint8_t* payload, size_t size) {
    size = std::min(size, kMaxIoctrlSize);
    return Writer(Kind::kData)
        .U32(session)
        .U8(static_cast<uint8_t>(AvKind::kIoctrl))
        .U8(channel)
        .U32(type)
        .U16(static_cast<uint16_t>(size))
        .Bytes(payload, size)
        .Take();
}

std::vector<uint8_t> BuildAvStop(uint32_t session, uint8_t channel) {
    return Writer(Kind::kData)
        .U32(session)
        .U8(static_cast<uint8_t>(AvKind::kStop))
        .U8(channel)
        .Take();
}

std::vector<uint8_t> BuildAvFramePiece(uint32_t session, uint8_t channel, uint32_t frameIndex,
                                       uint16_t piece, const uint8_t* info, const uint8_t* data,
                                       size_t frameSize) {
    uint16_t pieces = PiecesFor(frameSize);
    size_t offset = static_cast<size_t>(piece) * kPieceSize;
    size_t length = offset < frameSize ? std::min(kPieceSize, frameSize - offset) : 0;
    return Writer(Kind::kData)
        .U32(session)
        .U8(static_cast<uint8_t>(AvKind::kFrame))
        .U8(channel)
        .U32(frameIndex)
        .U16(piece)
        .U16(pieces)
        .U32(static_cast<uint32_t>(frameSize))
        .Bytes(info, kFrameInfoSize)
        .Bytes(data + offset, length)
        .Take();
}

}  // namespace orbisight::p2p
