// Fuzzes the peer-to-peer datagram parser: whatever arrives, nothing outside
// the datagram is read, every view it hands out lies inside it, and what it
// accepts is built again byte for byte by the builders.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "media/p2p/PeerFrameInfo.h"
#include "media/p2p/PeerWire.h"

using namespace orbisight::p2p;

namespace {

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

std::vector<uint8_t> Rebuild(const Datagram& d) {
    switch (d.kind) {
        case Kind::kRegister:
        case Kind::kRegistered:
            return BuildRegister(d.kind, d.id);
        case Kind::kConnect:
            return BuildConnect(d.nonce, d.id);
        case Kind::kOffer:
            return BuildOffer(d.session, d.id);
        case Kind::kAccept:
        case Kind::kClose:
        case Kind::kPing:
            return BuildSessionOnly(d.kind, d.session);
        case Kind::kConnected:
            return BuildConnected(d.nonce, d.session);
        case Kind::kRefused:
            return BuildRefused(d.nonce, static_cast<RefuseReason>(d.reason));
        case Kind::kData:
            break;
    }
    switch (d.av) {
        case AvKind::kLogin:
            return BuildAvLogin(d.session, d.channel, d.account, d.password);
        case AvKind::kLoginReply:
            return BuildAvLoginReply(d.session, d.channel, d.result, d.serviceType);
        case AvKind::kIoctrl:
            return BuildAvIoctrl(d.session, d.channel, d.ioType, d.payload, d.payloadSize);
        case AvKind::kStop:
            return BuildAvStop(d.session, d.channel);
        case AvKind::kFrame:
            break;
    }
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's size, so that a read past it is seen.
    std::vector<uint8_t> bytes(data, data + size);
    Datagram d;
    if (!ParseDatagram(bytes.data(), bytes.size(), d)) {
        return 0;
    }
    const uint8_t* begin = bytes.data();
    const uint8_t* end = begin + bytes.size();
    auto inside = [&](const void* p, size_t n) {
        auto* q = static_cast<const uint8_t*>(p);
        return n == 0 || (q >= begin && q + n <= end);
    };
    Check(inside(d.id.data(), d.id.size()));
    Check(inside(d.account.data(), d.account.size()));
    Check(inside(d.password.data(), d.password.size()));
    Check(inside(d.payload, d.payloadSize));
    Check(d.id.size() <= kMaxIdLength);
    if (d.kind == Kind::kData && d.av == AvKind::kFrame) {
        Check(d.frameSize >= 1 && d.frameSize <= kMaxFrameSize);
        Check(d.piece < d.pieces && d.pieces == PiecesFor(d.frameSize));
        Check(static_cast<size_t>(d.piece) * kPieceSize + d.payloadSize <= d.frameSize);
        AvFrameInfo info = AvFrameInfo::Read(d.info);
        if (auto header = RebuildFrameHeader(info)) {
            Check(header->size == info.frameSize);
        }
        return 0;
    }
    Check(Rebuild(d) == bytes);
    return 0;
}
